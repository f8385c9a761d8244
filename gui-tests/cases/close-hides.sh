# The close box, the button "Stäng" and the menu item "Stäng" hide the window; the process
# keeps running; the tray icon's left button and "Öppna " bring it back. Esc and Enter do
# nothing in the main window and the about box.
. "$(dirname "$0")/../lib.sh"

start_client
must wait-visible --timeout 60000

# Esc and Enter neither hide the main window nor end the about box.
for vk in 27 13; do
    must key --vk $vk --title Kopiavakt --child 1002
    must wait-visible --timeout 1000
done
# (Enter on the focused OK button would press it, as in every dialog.)
must command 40013
must key --vk 27 --title Kopiavakt --child 1009
must wait-window --title Kopiavakt --child 1009 --timeout 1000
must about --close

must close
must wait-hidden
sleep 1
client_running || fail "the client ended after the close box"
must tray lbuttondown
must wait-visible

must command 1005
must wait-hidden
must command 40033
must wait-visible

must command 40035
must wait-hidden
must command 40033
must wait-visible

# The frame's close box arrives as WM_SYSCOMMAND SC_CLOSE, which becomes WM_CLOSE.
must post 0x0112 0xF060
must wait-hidden
must tray lbuttonup --settle
auto visible
expect_eq "$AUTO_RC" 4 "visibility after a button release (4 = hidden)"
must tray lbuttondown
must wait-visible
expect_eq "$(message_boxes)" 0 "message boxes"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
