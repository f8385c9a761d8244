// The process: working folder, single-instance lock, group policy, server endpoint and
// connection, then the main window until "Avsluta", then everything torn down in a fixed
// order.
#include "app/client.h"
#include "app/win32/app_identity_win32.h"
#include "app/win32/main_window_win32.h"
#include "app/win32/startup_win32.h"
#include "app/win32/win32_user_interface.h"
#include "core/clock.h"
#include "core/data_file.h"
#include "core/managed_policy.h"
#include "net/server_address.h"
#include "net/server_connection.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <utility>

#ifndef KPV_SERVER_HOST
#error "KPV_SERVER_HOST must name the monitoring service's host (set by CMake)"
#endif

namespace kpv {

namespace {

// policyHost: the host a policy names instead of the build's; empty for none.
ServerAddress serverAddress(const std::string& policyHost) {
    ServerAddress address;
    address.address = 0; // resolve the name at every exchange
    address.port = DEFAULT_SERVER_PORT;
    SecureBuffer name =
        SecureBuffer::fromCString(policyHost.empty() ? KPV_SERVER_HOST : policyHost.c_str());
    address.hostName = name.printableCopy();
    return address;
}

int runClient(HINSTANCE instance) {
    enterWorkingFolder();

    UniqueNativeHandle lock;
    if (!claimSingleInstance(lock))
        return 1;
    // A save cut short by a crash leaves its temporary, key material and all; no other
    // instance can be saving now.
    (void)removeLeftTemporaries();

    // The list view is a common control; its class must be registered before dialog 101.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);

    ManagedPolicy policy = readManagedPolicy(systemPolicy());
    ServerAddress address = serverAddress(policy.serverHost);
    // A failed Winsock start-up is not fatal: the window opens and each exchange reports it.
    bool socketsFailed = false;
    auto connection = std::make_unique<ServerConnection>(address, socketsFailed);

    INT_PTR ended = 0;
    {
        Win32UserInterface ui(instance);
        Client client{ui, *connection, systemClock(), {}, {}, false, std::move(policy)};
        MainWindow mainWindow(instance, client, ui);
        ended = mainWindow.run();
    }

    connection.reset(); // destroys a pending action and stops the sockets
    lock.reset();       // releases the single-instance lock
    address.hostName.release();
    return ended == -1 ? 1 : 0;
}

} // namespace

} // namespace kpv

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    kpv::claimAppUserModelId(); // before any window, also a message box's
    return kpv::runClient(instance);
}
