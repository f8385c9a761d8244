#include "tests/tools/tool_test_support.h"
#include "tools/common/hex.h"
#include "tools/common/wiping_heap.h"
#include "tools/server/accounts_file.h"

#include <doctest/doctest.h>

#include <string>

using namespace kpv;
using namespace kpv::test;
using namespace kpv::tools;

namespace {

constexpr std::uint64_t NOW = 1800000000;

bool parse(const std::string& json, AccountDirectory& out, std::string& error) {
    return parseAccounts(
        SecureBuffer::ofBytes(json.data(), static_cast<std::uint32_t>(json.size())), NOW, out,
        error);
}

std::string failureOf(const std::string& json) {
    AccountDirectory out;
    std::string error;
    if (parse(json, out, error))
        return "(accepted)";
    CHECK(out.empty());
    return error;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_CASE("an accounts file with every field loads") {
    const std::string json = R"({"accounts": [
      {"id": 4294967295, "key": "000102030405060708090A0B0C0D0E0F", "name": "Kontoret",
       "status": {"lastCopyTime": 1700000000, "fileCount": 12, "totalSize": 18446744073709551615,
                  "excludedFiles": ["a.tmp", "kö.lock"], "diskSpace": 4294967296,
                  "storedCopies": 3, "copiesMade": 9},
       "faults": ["bad-tag", "slow"]},
      {"id": 2, "key": "", "status": null},
      {"id": 3, "key": "aabb", "clientKey": "ccdd", "status": {"ageSeconds": 3600}},
      {"id": 4, "key": "aabb", "status": {"ageSeconds": 9000000000}}
    ]})";
    AccountDirectory accounts;
    std::string error;
    REQUIRE_MESSAGE(parse(json, accounts, error), error);
    REQUIRE(accounts.size() == 4);

    const ServerAccount& full = accounts.at(4294967295u);
    CHECK(bytesOf(full.secret) == hexBytes("000102030405060708090a0b0c0d0e0f"));
    REQUIRE(full.hasStatus);
    CHECK(full.status.lastCopyTime == 1700000000);
    CHECK(full.status.fileCount == 12);
    CHECK(full.status.totalSize == 18446744073709551615ull);
    REQUIRE(full.status.excludedNames.size() == 2);
    CHECK(bytesOf(full.status.excludedNames[1]) == hexBytes("6b f6 2e 6c 6f 63 6b")); // "kö.lock"
    CHECK(full.status.diskSpace == 4294967296ull);
    CHECK(full.status.storedCopies == 3);
    CHECK(full.status.copiesMade == 9);
    CHECK(full.faults.has(Fault::BadTag));
    CHECK(full.faults.has(Fault::Slow));
    CHECK_FALSE(full.faults.has(Fault::Chunked));

    CHECK(accounts.at(2).secret.empty());
    CHECK_FALSE(accounts.at(2).hasStatus);
    // Ages count back from the moment of the request; an age beyond 1970 stops at 0.
    CHECK(accounts.at(3).status.lastCopyTime == NOW - 3600);
    CHECK(bytesOf(accounts.at(3).secret) == hexBytes("aabb")); // the server seals with "key"
    CHECK(accounts.at(4).status.lastCopyTime == 0);
}

TEST_CASE("mistakes in the accounts file are refused with a reason") {
    CHECK(contains(failureOf("{"), "accounts file:"));
    CHECK(contains(failureOf("[]"), "must be an object"));
    CHECK(contains(failureOf(R"({})"), "needs an \"accounts\" array"));
    CHECK(contains(failureOf(R"({"accounts": [], "extra": 1})"), "unknown member \"extra\""));
    CHECK(contains(failureOf(R"({"accounts": [{"key": "00"}]})"), "id missing"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1}]})"), "key missing"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": -1, "key": ""}]})"), "whole number"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 4294967296, "key": ""}]})"), "whole number"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1.5, "key": ""}]})"), "whole number"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "0g"}]})"), "not hexadecimal"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "abc"}]})"), "not hexadecimal"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "", "clientKey": "x"}]})"),
                   "clientKey"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": ""}, {"id": 1, "key": ""}]})"),
                   "id given twice"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "", "Status": {}}]})"),
                   "unknown member \"Status\""));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "", "status": {}}]})"),
                   "exactly one of"));
    CHECK(contains(
        failureOf(
            R"({"accounts": [{"id": 1, "key": "", "status": {"ageSeconds": 1, "lastCopyTime": 1}}]})"),
        "exactly one of"));
    CHECK(contains(
        failureOf(
            R"({"accounts": [{"id": 1, "key": "", "status": {"ageSeconds": 1, "fileCount": 4294967296}}]})"),
        "fileCount"));
    CHECK(contains(
        failureOf(
            R"({"accounts": [{"id": 1, "key": "", "status": {"ageSeconds": 1, "excludedFiles": ["日本"]}}]})"),
        "Windows-1252"));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "", "faults": ["loud"]}]})"),
                   "unknown fault \"loud\""));
    CHECK(contains(failureOf(R"({"accounts": [{"id": 1, "key": "", "faults": "slow"}]})"),
                   "array of fault names"));
}

TEST_CASE("a syntax error names its place, never the key text, and its heap blocks are wiped") {
    const std::size_t wipedBefore = wipedHeapBlocks();
    // Cut off inside the key: the library's own message would quote it.
    const std::string error = failureOf(R"({"accounts": [{"id": 1, "key": "00112233445566778899)");
    CHECK(contains(error, "syntax error at byte"));
    CHECK_FALSE(contains(error, "0011223344"));
    CHECK(wipedHeapBlocks() > wipedBefore); // the lexer's copy of the key went through the wipe
}

TEST_CASE("a missing accounts file is an error, not an empty list") {
    AccountDirectory accounts;
    std::string error;
    CHECK_FALSE(loadAccountsFile("/nonexistent/accounts.json", NOW, accounts, error));
    CHECK(contains(error, "cannot be read"));
}

TEST_CASE("hexadecimal key material") {
    SecureBuffer out;
    REQUIRE(decodeHex("00ff7Fa0", out));
    CHECK(bytesOf(out) == hexBytes("00 ff 7f a0"));
    std::string back;
    appendHex(out, back);
    CHECK(back == "00ff7fa0");
    CHECK_FALSE(decodeHex("0", out));
    CHECK(out.empty());
    CHECK_FALSE(decodeHex("0 ", out));
    CHECK_FALSE(decodeHex("zz", out));
    REQUIRE(decodeHex("", out));
    CHECK(out.empty());
}
