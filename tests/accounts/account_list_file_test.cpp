#include "accounts/account_list_file.h"
#include "tests/support/release_probe.h"
#include "tests/support/temp_folder.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <vector>

#ifndef _WIN32
#include "tests/support/file_size_limit.h"
#endif

using namespace kpv;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Lists {
    AccountIdList ids;
    BufferList keys;
    BufferList names;

    void add(std::uint32_t id, const Bytes& key, const Bytes& name) {
        ids.append(id);
        keys.appendCopy(SecureBuffer::ofBytes(key.data(), static_cast<std::uint32_t>(key.size())));
        names.appendCopy(
            SecureBuffer::ofBytes(name.data(), static_cast<std::uint32_t>(name.size())));
    }
    void load() { loadAccountList(ids, keys, names); }
    bool save() const { return saveAccountList(ids, keys, names); }
};

Bytes contentOf(const SecureBuffer& b) {
    return {b.data(), b.data() + b.length()};
}

} // namespace

TEST_CASE("no account_list.bin loads as an empty list") {
    test::TempFolder folder;
    Lists lists;
    lists.load();
    CHECK(lists.ids.length() == 0);
    CHECK(lists.keys.length() == 0);
    CHECK(lists.names.length() == 0);
}

TEST_CASE("the empty list is the 8-byte file") {
    test::TempFolder folder;
    Lists empty;
    REQUIRE(empty.save());
    CHECK(test::readFileBytes("account_list.bin") == Bytes{4, 0, 0, 0, 0, 0, 0, 0});
    Lists loaded;
    loaded.load();
    CHECK(loaded.ids.length() == 0);
}

TEST_CASE("one account is written as 25 bytes and read back") {
    test::TempFolder folder;
    Lists one;
    one.add(7, {0xA1, 0xA2, 0xA3}, {'A', 0});
    REQUIRE(one.save());
    const Bytes expected{0x15, 0, 0, 0,    1,    0,    0, 0, 7, 0, 0,   0, 3,
                         0,    0, 0, 0xA1, 0xA2, 0xA3, 2, 0, 0, 0, 'A', 0};
    CHECK(test::readFileBytes("account_list.bin") == expected);

    Lists loaded;
    loaded.load();
    REQUIRE(loaded.ids.length() == 1);
    CHECK(loaded.ids[0] == 7);
    CHECK(contentOf(loaded.keys[0]) == Bytes{0xA1, 0xA2, 0xA3});
    CHECK(contentOf(loaded.names[0]) == Bytes{'A', 0});
}

TEST_CASE("stored names are made printable on load and normalised on the next save") {
    test::TempFolder folder;
    // Names: empty, 41 42 without a zero, 41 09 42 00.
    test::writeFileBytes("account_list.bin",
                         {0x2E, 0, 0, 0, 3, 0, 0, 0,                         //
                          1,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,             //
                          2,    0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x41, 0x42, //
                          3,    0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0x41, 0x09, 0x42, 0});
    Lists lists;
    lists.load();
    REQUIRE(lists.names.length() == 3);
    CHECK(contentOf(lists.names[0]) == Bytes{0});
    CHECK(contentOf(lists.names[1]) == Bytes{0x41, 0x42, 0});
    CHECK(contentOf(lists.names[2]) == Bytes{0x41, 0x20, 0x42, 0});
    CHECK(lists.keys[0].empty());

    REQUIRE(lists.save());
    Lists again;
    again.load();
    CHECK(contentOf(again.names[1]) == Bytes{0x41, 0x42, 0});
    const Bytes file = test::readFileBytes("account_list.bin");
    CHECK(file.size() == 4 + 4 + (12 + 1) + (12 + 3) + (12 + 4));
}

TEST_CASE("a count larger than the records present fills in empty accounts") {
    test::TempFolder folder;
    test::writeFileBytes("account_list.bin", {0x15, 0, 0, 0,    3,    0,    0, 0, 7, 0, 0,   0, 3,
                                              0,    0, 0, 0xA1, 0xA2, 0xA3, 2, 0, 0, 0, 'A', 0});
    Lists lists;
    lists.load();
    REQUIRE(lists.ids.length() == 3);
    CHECK(lists.ids[0] == 7);
    for (std::uint32_t i = 1; i < 3; ++i) {
        CHECK(lists.ids[i] == 0);
        CHECK(lists.keys[i].empty());
        CHECK(contentOf(lists.names[i]) == Bytes{0});
    }
}

TEST_CASE("a damaged count cannot run away") {
    test::TempFolder folder;
    test::writeFileBytes("account_list.bin", {4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    Lists lists;
    lists.load();
    CHECK(lists.ids.length() == MAX_PLACEHOLDER_FILL);
    CHECK(lists.names.length() == MAX_PLACEHOLDER_FILL);

    // Even beside many stored records, invented ones leave room for one add in a request.
    RecordStream content;
    content.appendU32(0xFFFFFFFF);
    for (std::uint32_t i = 0; i < MAX_FILLED_LIST - 4; ++i) {
        content.appendU32(i + 1);
        content.appendU32(0);
        content.appendU32(0);
    }
    Lists many;
    readAccountList(content, many.ids, many.keys, many.names);
    CHECK(many.ids.length() == MAX_FILLED_LIST);
    CHECK(many.ids[MAX_FILLED_LIST - 5] == MAX_FILLED_LIST - 4);
    CHECK(many.ids[MAX_FILLED_LIST - 1] == 0);
    many.add(1, {}, {0});
    REQUIRE(many.save());
    Lists reloaded;
    reloaded.load();
    CHECK(reloaded.ids.length() == 65535);
}

TEST_CASE("files the envelope refuses load as an empty list") {
    test::TempFolder folder;
    test::writeFileBytes("account_list.bin", {100, 0, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0});
    Lists shortFile;
    shortFile.load();
    CHECK(shortFile.ids.length() == 0);

    test::writeFileBytes("account_list.bin", {1, 0, 0, 0x40, 1, 0, 0, 0});
    Lists overLimit;
    overLimit.load();
    CHECK(overLimit.ids.length() == 0);
}

TEST_CASE("a failed save keeps the previous list whole") {
    test::TempFolder folder;
    Lists one;
    one.add(7, {1, 2, 3}, {'A', 0});
    REQUIRE(one.save());
    const Bytes before = test::readFileBytes("account_list.bin");

    Lists two = one;
    two.add(8, {4}, {'B', 0});
    {
#ifdef _WIN32
        // Held open by a reader that does not share deletion, the file cannot be replaced.
        std::FILE* reader = std::fopen("account_list.bin", "rb");
        REQUIRE(reader != nullptr);
        CHECK_FALSE(two.save());
        std::fclose(reader);
#else
        test::FileSizeLimit limit(16); // the write of the new list is cut short
        CHECK_FALSE(two.save());
#endif
    }
    CHECK(test::readFileBytes("account_list.bin") == before);
    CHECK(std::distance(std::filesystem::directory_iterator("."),
                        std::filesystem::directory_iterator()) == 1); // the temporary is gone
}

TEST_CASE("list containers keep order and wipe what they drop") {
    test::ReleaseProbe probe;
    {
        BufferList list;
        for (std::uint8_t i = 1; i <= 30; ++i)
            list.appendCopy(SecureBuffer::ofBytes(&i, 1));
        list.removeAt(0);
        CHECK(list[0].at(0) == 2);
        list.replaceAt(1, SecureBuffer::fromCString("x"));
        BufferList copy(list);
        CHECK(contentOf(copy.copyAt(1)) == Bytes{'x', 0});
        copy.assignFrom(list);
        list.clear();
        CHECK(list.length() == 0);
        CHECK_THROWS_AS(list.copyAt(0), int);
    }
    CHECK(probe.dirtyBlocks() == 0);

    AccountIdList ids;
    for (std::uint32_t id : {5u, 6u, 5u})
        ids.append(id);
    std::uint32_t at = 99;
    CHECK(ids.find(5, at));
    CHECK(at == 0);
    ids.removeAt(0);
    CHECK(ids.find(5, at));
    CHECK(at == 1);
    CHECK_FALSE(ids.find(7, at));
    CHECK_THROWS_AS(ids[2], int);
    AccountIdList copy;
    copy.assignFrom(ids);
    CHECK(copy.length() == 2);
}
