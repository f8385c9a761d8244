#pragma once
// The group-policy values of a managed deployment (HKLM, then HKCU,
// SOFTWARE\Policies\Kopiavakt), read once at start-up and checked here: a value of the wrong
// type, out of range or malformed counts as not set, so the built-in value or the user's own
// choice applies, exactly as without any policy.
#include "core/policy.h"

#include <cstdint>
#include <string>

namespace kpv {

inline constexpr const char* POLICY_SERVER_HOST = "ServerHost";      // REG_SZ
inline constexpr const char* POLICY_WARNING_DAYS = "WarningDays";    // REG_DWORD 1-15
inline constexpr const char* POLICY_LOCK_ACCOUNTS = "LockAccounts";  // REG_DWORD, 1 locks
inline constexpr const char* POLICY_USER_LIST_FILE = "UserListFile"; // REG_SZ, a *.ulf path

inline constexpr std::uint16_t POLICY_MIN_WARNING_DAYS = 1;
inline constexpr std::uint16_t POLICY_MAX_WARNING_DAYS = 15;
// A DNS name is at most 253 characters; a path fits the ANSI file calls' MAX_PATH (260).
inline constexpr std::size_t POLICY_MAX_HOST_NAME = 253;
inline constexpr std::size_t POLICY_MAX_PATH = 259;

struct ManagedPolicy {
    std::string serverHost;        // empty: the build's host name
    std::uint16_t warningDays = 0; // 1-15; 0: the user's setting (settings.bin)
    bool accountsLocked = false;   // adding, removing, renaming and importing are refused
    std::string userListFile;      // UTF-8; empty: no preset list
};

// The checked values of `source`. A host name must be 1-253 letters, digits, dots, hyphens
// or underscores; WarningDays must be 1-15; any LockAccounts other than 0 locks; the user list
// path must be 1-259 bytes without control characters.
ManagedPolicy readManagedPolicy(const PolicySource& source);

// True for a text that can be handed to name resolution as a host name or IPv4 address.
bool isAcceptableHostName(const std::string& name);

} // namespace kpv
