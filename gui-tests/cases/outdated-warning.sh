# A timer tick finds an outdated copy: the hidden window comes back with the warning, and a
# tick while the warning is open runs its update but opens no second box.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3
must close
must wait-hidden
requests=$(server_requests)

must timer
must msgbox --buttons --owner
expect_eq "$AUTO_OUT" "$(printf '%s\nbuttons: ok\nowner: main' "Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar.")" \
    "warning box"
must wait-visible
wait_for_requests $((requests + 1)) 10

must timer --settle
wait_for_requests $((requests + 2)) 10
must settle
sleep 1
expect_eq "$(message_boxes)" 1 "message boxes while the warning is open and a tick came"
must rows --count 3

must msgbox --press ok
must settle
expect_eq "$(message_boxes)" 0 "message boxes after the warning was closed"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
