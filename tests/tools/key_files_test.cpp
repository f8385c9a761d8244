#include "tests/support/temp_folder.h"
#include "tests/tools/tool_test_support.h"
#include "tools/common/hex.h"
#include "tools/common/secure_file.h"
#include "tools/keytool/accounts_edit.h"
#include "tools/keytool/key_files.h"
#include "tools/server/accounts_file.h"

#include <doctest/doctest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

namespace {

SecureBuffer cp(const char* s) {
    return SecureBuffer::ofBytes(s, static_cast<std::uint32_t>(std::char_traits<char>::length(s)));
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

AccountDirectory loadOrFail(const std::string& path) {
    AccountDirectory accounts;
    std::string error;
    CHECK_MESSAGE(loadAccountsFile(path, 1000, accounts, error), error);
    return accounts;
}

int runKeytool(const std::string& arguments) {
    const std::string command =
        std::string(KPV_KEYTOOL_PATH) + " " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST_CASE("remote log file: the 18-byte example, byte for byte") {
    // Content length 14, format tag 0, account id 7, four bytes of key material.
    CHECK(bytesOf(encodeRemoteLogFile(7, bufferOf(hexBytes("a1 b2 c3 d4")))) ==
          hexBytes("0E000000 0000 07000000 04000000 a1b2c3d4"));
    const Bytes withSecret = bytesOf(encodeRemoteLogFile(0x01020304, SecureBuffer::zeros(32)));
    CHECK(withSecret.size() == 4 + 10 + 32);
    CHECK(u32At(withSecret, 0) == 42);
    CHECK(u32At(withSecret, 6) == 0x01020304);
    CHECK(u32At(withSecret, 10) == 32);
}

TEST_CASE("user list: the account_list.bin layout, byte for byte") {
    // No accounts: the 8-byte empty list.
    CHECK(bytesOf(encodeUserList({})) == hexBytes("04000000 00000000"));
    // Id 7, three key bytes, the name A: 25 bytes with a content length of 21.
    std::vector<UserListEntry> entries(1);
    entries[0].id = 7;
    entries[0].secret = bufferOf(hexBytes("0a0b0c"));
    entries[0].name = cp("A");
    CHECK(bytesOf(encodeUserList(entries)) ==
          hexBytes("15000000 01000000 07000000 03000000 0a0b0c 02000000 4100"));
    // The empty name is stored as the single zero byte; the order of entries is kept.
    entries.resize(2);
    entries[1].id = 1;
    CHECK(bytesOf(encodeUserList(entries)) ==
          hexBytes("22000000 02000000 07000000 03000000 0a0b0c 02000000 4100"
                   "01000000 00000000 01000000 00"));
}

TEST_CASE("names the client keeps as they are") {
    CHECK(isStorableName(cp("")));
    CHECK(isStorableName(cp("Lagret \xe5\xe4\xf6")));
    CHECK_FALSE(isStorableName(cp("tab\there")));
    CHECK_FALSE(isStorableName(cp("del\x7f")));
    SecureBuffer longest = SecureBuffer::zeros(1024);
    for (std::uint32_t i = 0; i < 1024; ++i)
        longest.data()[i] = 'x';
    CHECK_FALSE(isStorableName(longest));
    longest.dropBack(1);
    CHECK(isStorableName(longest));
}

TEST_CASE("editing the accounts file: add, update, keep, remove") {
    TempFolder folder;
    AccountEdit edit;
    edit.id = 5;
    edit.secret = bufferOf(hexBytes("00112233445566778899aabbccddeeff"));
    edit.name = "Sommarstugan";
    edit.status = WipingJson::object();
    edit.status["ageSeconds"] = 600;
    edit.status["fileCount"] = 42;
    std::string error;
    REQUIRE_MESSAGE(updateAccountsFile("accounts.json", edit, error), error);
    struct stat info {};
    REQUIRE(::stat("accounts.json", &info) == 0);
    CHECK((info.st_mode & 0777) == 0600);

    AccountDirectory accounts = loadOrFail("accounts.json");
    REQUIRE(accounts.count(5) == 1);
    CHECK(accounts.at(5).status.fileCount == 42);

    // A second account, then a new key for the first that keeps its status and name.
    AccountEdit second;
    second.id = 6;
    second.secret = bufferOf(hexBytes("ff"));
    REQUIRE(updateAccountsFile("accounts.json", second, error));
    AccountEdit rekey;
    rekey.id = 5;
    rekey.secret = bufferOf(hexBytes("000102030405060708090a0b0c0d0e0f1011121314151617"));
    rekey.clientKey = bufferOf(hexBytes("abcd"));
    rekey.setClientKey = true;
    REQUIRE(updateAccountsFile("accounts.json", rekey, error));
    accounts = loadOrFail("accounts.json");
    REQUIRE(accounts.size() == 2);
    CHECK(accounts.at(5).secret.length() == 24);
    CHECK(accounts.at(5).hasStatus);
    CHECK_FALSE(accounts.at(6).hasStatus);

    SecureBuffer secret;
    REQUIRE(secretFromAccountsFile("accounts.json", 5, secret, error));
    CHECK(secret.length() == 24);
    CHECK_FALSE(secretFromAccountsFile("accounts.json", 7, secret, error));

    std::vector<UserListEntry> list;
    REQUIRE(userListFromAccountsFile("accounts.json", list, error));
    REQUIRE(list.size() == 2);
    CHECK(list[0].id == 5);
    CHECK(bytesOf(list[0].secret) == hexBytes("abcd")); // the client's key, not the server's
    CHECK(bytesOf(list[0].name) == bytesOf(cp("Sommarstugan")));
    CHECK(list[1].id == 6);
    CHECK(bytesOf(list[1].name) == bytesOf(cp("6"))); // no name: the id

    rekey.removeStatus = true;
    rekey.setClientKey = false;
    REQUIRE(updateAccountsFile("accounts.json", rekey, error));
    CHECK_FALSE(loadOrFail("accounts.json").at(5).hasStatus);

    // An edit that would make the file invalid is refused and leaves it untouched.
    const Bytes before = readFileBytes("accounts.json");
    AccountEdit bad;
    bad.id = 6;
    bad.secret = bufferOf(hexBytes("ff"));
    bad.status = WipingJson::object();
    bad.status["fileCount"] = 1; // neither time nor age
    CHECK_FALSE(updateAccountsFile("accounts.json", bad, error));
    CHECK(error.find("exactly one of") != std::string::npos);
    CHECK(readFileBytes("accounts.json") == before);
    CHECK_FALSE(fileExists("accounts.json.tmp"));

    // A damaged file is never overwritten.
    writeText("broken.json", "{\"accounts\": [");
    CHECK_FALSE(updateAccountsFile("broken.json", second, error));
}

TEST_CASE("kpv-keytool writes the files the client reads") {
    TempFolder folder;
    CHECK(runKeytool("account --id 7 --rlf seven.rlf --secret a1B2c3d4") == 0);
    CHECK(readFileBytes("seven.rlf") == hexBytes("0E000000 0000 07000000 04000000 a1b2c3d4"));
    // Empty key material is written as asked (the client adds such an account, but never opens
    // its status).
    CHECK(runKeytool("account --id 3 --rlf empty.rlf --secret ''") == 0);
    CHECK(readFileBytes("empty.rlf") == hexBytes("0A000000 0000 03000000 00000000"));

    // A fresh secret goes to the remote log file and to the server alike.
    REQUIRE(runKeytool("account --id 9 --rlf nine.rlf --accounts accounts.json --name 'Lagret – "
                       "fel nyckel' --age 60 --files 3 --exclude 'gammal.tmp' --fault bad-tag") ==
            0);
    const Bytes rlf = readFileBytes("nine.rlf");
    REQUIRE(rlf.size() == 46);
    AccountDirectory accounts = loadOrFail("accounts.json");
    REQUIRE(accounts.count(9) == 1);
    CHECK(Bytes(rlf.begin() + 14, rlf.end()) == bytesOf(accounts.at(9).secret));
    CHECK(accounts.at(9).status.fileCount == 3);
    CHECK(accounts.at(9).faults.has(Fault::BadTag));
    // Two fresh secrets differ.
    REQUIRE(runKeytool("account --id 10 --rlf ten.rlf --secret-length 16") == 0);
    const Bytes ten = readFileBytes("ten.rlf");
    CHECK(ten.size() == 30);

    // --keep-secret writes the same key material again.
    REQUIRE(runKeytool("account --id 9 --rlf again.rlf --accounts accounts.json --keep-secret") ==
            0);
    CHECK(readFileBytes("again.rlf") == rlf);

    REQUIRE(runKeytool("userlist --out list.ulf --account '7:0a0b0c:A' --from-accounts "
                       "accounts.json") == 0);
    const Bytes list = readFileBytes("list.ulf");
    REQUIRE(list.size() > 25);
    // "Lagret – fel nyckel" in Windows-1252, the dash as 0x96, then the zero byte.
    const Bytes name = hexBytes("4c61677265742096206665 6c206e79636b656c 00");
    CHECK(Bytes(list.end() - static_cast<std::ptrdiff_t>(name.size()), list.end()) == name);
    CHECK(u32At(list, 4) == 2);

    CHECK(runKeytool("account --id 1 --rlf x.rlf --secret abc") == 2);
    CHECK(runKeytool("account --rlf x.rlf") == 2);
    CHECK(runKeytool("userlist --out y.ulf --account '1:00:Ω'") == 2);
    CHECK(runKeytool("account --id 1 --rlf x.rlf --age 5 --last-copy 5") == 2);
    CHECK_FALSE(fileExists("x.rlf"));
    CHECK_FALSE(fileExists("y.ulf"));
}

TEST_CASE("kpv-keytool takes key material from a file or standard input") {
    TempFolder folder;
    writeText("key.txt", "a1B2c3d4\n");
    writeText("lines.txt", "7:0a0b0c:A b\r\n\n8:0d:C\n");
    const Bytes expected = hexBytes("0E000000 0000 07000000 04000000 a1b2c3d4");
    CHECK(runKeytool("account --id 7 --rlf file.rlf --secret-file key.txt") == 0);
    CHECK(readFileBytes("file.rlf") == expected);
    CHECK(runKeytool("account --id 7 --rlf input.rlf --secret-file - < key.txt") == 0);
    CHECK(readFileBytes("input.rlf") == expected);
    CHECK(runKeytool("userlist --out list.ulf --account-file - < lines.txt") == 0);
    CHECK(u32At(readFileBytes("list.ulf"), 4) == 2);

    CHECK(runKeytool("account --id 7 --rlf x.rlf --secret-file - --client-secret-file - "
                     "< key.txt") == 2); // standard input holds one secret
    CHECK(runKeytool("account --id 7 --rlf x.rlf --secret-file lines.txt") == 2);
    CHECK(runKeytool("account --id 7 --rlf x.rlf --secret-file missing.txt") == 2);
    CHECK(runKeytool("account --id 7 --rlf x.rlf --secret-file key.txt --secret 00") == 2);
    CHECK_FALSE(fileExists("x.rlf"));
}

TEST_CASE("whole files: limits and atomic replacement") {
    TempFolder folder;
    REQUIRE(writeFileAtomically("f.bin", bufferOf(hexBytes("010203"))));
    SecureBuffer read;
    REQUIRE(readWholeFile("f.bin", read));
    CHECK(bytesOf(read) == hexBytes("010203"));
    CHECK_FALSE(readWholeFile("f.bin", read, 2));
    CHECK(read.empty());
    CHECK_FALSE(readWholeFile("missing.bin", read));
    CHECK_FALSE(writeFileAtomically("no-such-folder/f.bin", bufferOf(hexBytes("01"))));
}

TEST_CASE("the key tool's files: planted temporaries and links are never used or removed") {
    TempFolder folder;
    // What the old fixed temporary names invited: a readable file, and a link to elsewhere.
    writeText("list.ulf.tmp", "planted");
    REQUIRE(::chmod("list.ulf.tmp", 0644) == 0);
    writeText("victim.txt", "victim");
    REQUIRE(::symlink("victim.txt", "out.ulf.tmp") == 0);
    for (const char* path : {"list.ulf", "out.ulf"}) {
        REQUIRE(writeFileAtomically(path, bufferOf(hexBytes("0102030405"))));
        struct stat info {};
        REQUIRE(::lstat(path, &info) == 0);
        CHECK(S_ISREG(info.st_mode));
        CHECK((info.st_mode & 0777) == 0600);
    }
    CHECK(readFileBytes("list.ulf.tmp") ==
          std::vector<std::uint8_t>{'p', 'l', 'a', 'n', 't', 'e', 'd'});
    CHECK(readFileBytes("victim.txt") == std::vector<std::uint8_t>{'v', 'i', 'c', 't', 'i', 'm'});
    // A failure removes only its own temporary.
    CHECK_FALSE(writeFileAtomically("missing/out.ulf", bufferOf(hexBytes("01"))));
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        (void)entry;
        ++entries;
    }
    CHECK(entries == 5); // the two lists, the planted file, the link and its target
}
