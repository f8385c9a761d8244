#pragma once
// The platform's own file handles, unbuffered: bytes go straight between the caller's memory
// and the system, so no library stream buffer (which would be freed without wiping) ever
// holds a copy of a file that carries key material.
#include "core/native_handle.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kpv {

// What creating a file that must not exist yet came to.
enum class CreateResult { Created, Exists, Failed };

// One open file; closed when destroyed. Move-only, so it is never closed twice.
class FileHandle {
  public:
    FileHandle() noexcept = default;
    FileHandle(FileHandle&& other) noexcept
        : native_(std::move(other.native_)), flushOnClose_(other.flushOnClose_) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            (void)close();
            native_ = std::move(other.native_);
            flushOnClose_ = other.flushOnClose_;
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { (void)close(); }

    // An existing file for reading. Others may read it meanwhile, and replace or remove it (on
    // Windows too), so that a save never fails because someone is reading. Closed when the
    // file cannot be opened.
    static FileHandle openForReading(const char* name) noexcept;
    // A new file for writing, only when nothing of that name exists; a symbolic link in its
    // place counts as existing and is never followed. On POSIX only the owner may read it.
    static FileHandle createNew(const char* name, CreateResult& result) noexcept;

    bool isOpen() const noexcept { return native_.valid(); }
    // Up to n bytes into `into`; fewer only at the end of the file or on a read error.
    std::uint32_t read(void* into, std::uint32_t n) noexcept;
    // All n bytes, or false.
    bool write(const void* from, std::uint32_t n) noexcept;
    // A file made by createNew is first flushed to stable storage. False when that or the
    // close itself fails (written bytes may then be lost); true for a closed handle.
    bool close() noexcept;

  private:
    UniqueNativeHandle native_;
    bool flushOnClose_ = false;
};

// Puts `source` in place of `target` in one step (an existing target is replaced), and on
// POSIX makes the new folder entry durable. On Windows an existing target's attributes and
// access rules pass to the new file, so a file an administrator protected stays protected, and
// a replace that another program's open handle blocks is tried again for up to about 2 s.
// False, with both untouched, on failure.
bool replaceFile(const char* source, const char* target) noexcept;
// Removes a file; false when it could not be removed.
bool removeFile(const char* name) noexcept;
// Overwrites a regular file's content with zeros, makes that reach the disk, then removes the
// file. A symbolic link or folder of that name is left alone. False when it is still there.
bool wipeAndRemoveFile(const char* name) noexcept;
// The names of the entries in the current directory (no folders), in no particular order.
std::vector<std::string> filesInWorkingFolder();

} // namespace kpv
