#pragma once
// What the commands of the running client share: the user-interface port, the one server
// connection, the clock, the group policy read at start-up, and the main window's
// excluded-file lists that each status reply fills. Owned by the entry point for the whole
// run; no copy of the account list lives here.
#include "accounts/account_lists.h"
#include "app/user_interface.h"
#include "core/clock.h"
#include "core/managed_policy.h"
#include "status/management_act.h"

#include <vector>

namespace kpv {

class ServerConnection;

struct Client {
    UserInterface& ui;
    ServerConnection& connection;
    Clock& clock;
    AccountIdList excludedIds; // in step with excludedTexts
    BufferList excludedTexts;  // each the CR LF separated excluded-file names, zero-terminated
    bool warningShown = false; // 1 while the outdated-backup warning is on screen
    ManagedPolicy policy;      // read once at start-up; none set: the plain client
    // The accounts of the last accepted reply, in request order: which account each entry of
    // time_list.bin belongs to, so that the warning can ask each account's own rules.
    std::vector<SeenAccount> lastReply = {};
};

} // namespace kpv
