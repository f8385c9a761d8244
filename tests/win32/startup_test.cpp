#include "app/win32/startup_win32.h"
#include "app/win32/window_file_win32.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <vector>

using namespace kpv;
using kpv::test::fileExists;
using kpv::test::readFileBytes;
using kpv::test::TempFolder;
using kpv::test::writeFileBytes;

TEST_CASE("a window handle survives wnd.bin's 32 bits") {
    // Handles are sign-extended 32-bit values: the high half must come back as it was.
    for (std::uint32_t value : {0x00010056u, 0x7FFFFFFFu, 0x80000001u, 0xFFFF0002u}) {
        HWND window = windowFromFileValue(value);
        CHECK(windowFileValue(window) == value);
    }
    CHECK(reinterpret_cast<std::intptr_t>(windowFromFileValue(0xFFFFFFFEu)) == -2);
    CHECK(windowFromFileValue(0) == nullptr);
}

TEST_CASE("wnd.bin holds the envelope and the handle, little-endian") {
    TempFolder folder;
    writeWindowFile(windowFromFileValue(0x00C0FFEEu));
    CHECK(readFileBytes("wnd.bin") ==
          std::vector<std::uint8_t>{0x04, 0x00, 0x00, 0x00, 0xEE, 0xFF, 0xC0, 0x00});
}

TEST_CASE("a handle that names no client window is not shown") {
    CHECK_FALSE(looksLikeMainWindow(nullptr));
    CHECK_FALSE(looksLikeMainWindow(windowFromFileValue(0x00123456u)));
    // The desktop exists but is not a "Kopiavakt" dialog.
    CHECK_FALSE(looksLikeMainWindow(GetDesktopWindow()));
}

TEST_CASE("the lock is the open file_mutex handle, not the file") {
    TempFolder folder;
    {
        UniqueNativeHandle first;
        REQUIRE(claimSingleInstance(first));
        CHECK(first.valid());
        CHECK(fileExists("file_mutex"));
        CHECK(readFileBytes("file_mutex").empty());

        // A second instance while the first runs: wnd.bin names no window (a stale handle, or
        // 0, or too short to hold one), so it quietly steps back.
        for (const auto& windowFile : {std::vector<std::uint8_t>{4, 0, 0, 0, 0x56, 0x34, 0x12, 0},
                                       std::vector<std::uint8_t>{4, 0, 0, 0, 0, 0, 0, 0},
                                       std::vector<std::uint8_t>{0, 0, 0, 0}}) {
            writeFileBytes("wnd.bin", windowFile);
            UniqueNativeHandle second;
            CHECK_FALSE(claimSingleInstance(second));
            CHECK_FALSE(second.valid());
        }
    }
    // The first instance ended (or crashed) and left the file behind: the next start claims it.
    UniqueNativeHandle next;
    CHECK(claimSingleInstance(next));
    next.reset(); // the folder can only be removed once the handle is closed
}
