// Whole data files on the platform's own file system: what a crash leaves behind, and saving
// while another program reads.
#include "core/data_file.h"
#include "core/file_handle.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <thread>
#endif

using kpv::RecordStream;
using kpv::test::fileExists;
using kpv::test::readFileBytes;
using kpv::test::TempFolder;
using kpv::test::writeFileBytes;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes SECRET(300, 0x5A);

RecordStream streamOf(const Bytes& bytes) {
    RecordStream stream;
    stream.contents.append(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return stream;
}

} // namespace

TEST_CASE("start-up removes only the client's own temporaries, wiped, in the working folder") {
    TempFolder folder;
    const std::vector<std::string> temporaries = {"~k3x", "~0a1b2c3d4e5", "~abcdefg"};
    const std::vector<std::string> others = {"~ab",           "~ABCD",   "~abc.bin",
                                             "~abcdefghijkl", "x~abcde", "account_list.bin"};
    for (const std::string& name : temporaries)
        writeFileBytes(name, SECRET);
    for (const std::string& name : others)
        writeFileBytes(name, SECRET);
    std::filesystem::create_directory("~dir1");
    writeFileBytes("~dir1/~abcd", SECRET);
    // A second name for one temporary's content shows what the removal left on the disk.
    std::filesystem::create_hard_link("~abcdefg", "keeps_the_content");

    CHECK(kpv::removeLeftTemporaries() == temporaries.size());
    for (const std::string& name : temporaries)
        CHECK_FALSE(fileExists(name));
    for (const std::string& name : others)
        CHECK(readFileBytes(name) == SECRET);
    CHECK(readFileBytes("~dir1/~abcd") == SECRET);
    CHECK(readFileBytes("keeps_the_content") == Bytes(SECRET.size(), 0));
#ifndef _WIN32
    // A link of the pattern is not followed: what it points to is not ours.
    writeFileBytes("elsewhere", SECRET);
    std::filesystem::create_symlink("elsewhere", "~lnk1");
    CHECK(kpv::removeLeftTemporaries() == 0);
    CHECK(readFileBytes("elsewhere") == SECRET);
#endif
}

TEST_CASE("a save replaces a file that another program is reading") {
    TempFolder folder;
    RecordStream first = streamOf(SECRET);
    REQUIRE(kpv::saveDataFile("account_list.bin", first));
    SUBCASE("a reader of the client's own kind") {
        kpv::FileHandle reader = kpv::FileHandle::openForReading("account_list.bin");
        REQUIRE(reader.isOpen());
        RecordStream second = streamOf(Bytes{1, 2, 3});
        CHECK(kpv::saveDataFile("account_list.bin", second));
    }
#ifdef _WIN32
    SUBCASE("a reader that does not share deletion, for a short while") {
        HANDLE reader = CreateFileA("account_list.bin", GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        REQUIRE(reader != INVALID_HANDLE_VALUE);
        std::thread release([reader] {
            Sleep(300);
            CloseHandle(reader);
        });
        RecordStream second = streamOf(Bytes{1, 2, 3});
        CHECK(kpv::saveDataFile("account_list.bin", second));
        release.join();
    }
    SUBCASE("the target's attributes stay") {
        REQUIRE(SetFileAttributesA("account_list.bin", FILE_ATTRIBUTE_HIDDEN));
        RecordStream second = streamOf(Bytes{1, 2, 3});
        CHECK(kpv::saveDataFile("account_list.bin", second));
        CHECK((GetFileAttributesA("account_list.bin") & FILE_ATTRIBUTE_HIDDEN) != 0);
        REQUIRE(SetFileAttributesA("account_list.bin", FILE_ATTRIBUTE_NORMAL));
    }
#endif
    RecordStream loaded;
    REQUIRE(kpv::loadDataFile("account_list.bin", loaded));
    CHECK(loaded.length() == 3);
    CHECK(kpv::removeLeftTemporaries() == 0);
}
