#include "core/data_file.h"

#include "core/file_handle.h"

#include <chrono>
#include <string>

namespace kpv {
namespace {

constexpr std::size_t TEMPORARY_NAME_MAX = 12;
constexpr unsigned TEMPORARY_ATTEMPTS = 64;
constexpr char NAME_LETTERS[] = "0123456789abcdefghijklmnopqrstuvwxyz";

// Not a secret: exclusive creation is what keeps other files safe, the randomness only
// avoids names in use. Seeded afresh from the clock and advanced on every call.
std::uint64_t nextRandom() {
    static std::uint64_t state =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    state += 0x9E3779B97F4A7C15u; // splitmix64
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
        const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
        if (x != y)
            return false;
    }
    return true;
}

// `target` with its last path element replaced by as many characters drawn from `random` (at
// most 12) as that element has, so that any path that can be written can also be written
// through its temporary. Empty when `target` ends in a separator.
std::string temporaryNameFor(const std::string& target, std::uint64_t random) {
    // Both separators and a drive colon end the folder part; on POSIX the same split keeps
    // the temporary in the target's own folder, as a name holding such characters stays whole.
    const std::size_t separator = target.find_last_of("/\\:");
    const std::size_t start = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t room = target.size() - start;
    const std::size_t length = room < TEMPORARY_NAME_MAX ? room : TEMPORARY_NAME_MAX;
    if (length == 0)
        return {};
    std::string name = target.substr(0, start);
    for (std::size_t i = 0; i < length; ++i) {
        name += NAME_LETTERS[random % 36];
        random /= 36;
    }
    if (length >= 4)
        name[start] = '~'; // recognisable as a temporary where there is room to show it
    return name;
}

// A fresh temporary beside `target`, open for writing; closed when none could be made.
FileHandle createTemporaryFor(const std::string& target, std::string& temporary) {
    for (unsigned attempt = 0; attempt < TEMPORARY_ATTEMPTS; ++attempt) {
        temporary = temporaryNameFor(target, nextRandom());
        if (temporary.empty())
            break;
        if (sameNameIgnoringCase(temporary, target))
            continue;
        CreateResult result = CreateResult::Failed;
        FileHandle file = FileHandle::createNew(temporary.c_str(), result);
        if (result == CreateResult::Created)
            return file;
        if (result == CreateResult::Failed)
            break;
    }
    temporary.clear();
    return {};
}

// Writes through `write` (which closes the file, reporting whether all reached the disk)
// into a fresh temporary, then puts that in place of `name`.
template <typename Write>
bool replaceThroughTemporary(const char* name, Write write) {
    std::string temporary;
    FileHandle file = createTemporaryFor(name, temporary);
    if (!file.isOpen())
        return false;
    if (!write(file) || !replaceFile(temporary.c_str(), name)) {
        (void)file.close();
        (void)wipeAndRemoveFile(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool loadDataFile(const char* name, RecordStream& stream) {
    FileHandle file = FileHandle::openForReading(name);
    return file.isOpen() && stream.load(file);
}

bool saveDataFile(const char* name, RecordStream& stream) {
    return replaceThroughTemporary(name, [&stream](FileHandle& file) { return stream.save(file); });
}

bool saveWholeFile(const char* name, const std::uint8_t* bytes, std::uint32_t n) {
    return replaceThroughTemporary(name, [bytes, n](FileHandle& file) {
        const bool written = file.write(bytes, n);
        return file.close() && written;
    });
}

bool isTemporaryName(const char* name) {
    std::size_t length = 0;
    for (; name[length] != 0; ++length) {
        const char c = name[length];
        const bool letter = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
        if (length == 0 ? c != '~' : !letter)
            return false;
    }
    return length >= 4 && length <= TEMPORARY_NAME_MAX;
}

unsigned removeLeftTemporaries() {
    unsigned removed = 0;
    for (const std::string& name : filesInWorkingFolder()) {
        if (isTemporaryName(name.c_str()) && wipeAndRemoveFile(name.c_str()))
            ++removed;
    }
    return removed;
}

} // namespace kpv
