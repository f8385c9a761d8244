# "Uppdatera" with the server gone: one error box, an empty list, no warning. A timer update
# with the server gone shows no error but still judges the stored times.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3
cp "$WORK_FOLDER/time_list.bin" "$KPV_CASE_DIR/time_list.before"
stop_server

must command 40006
must msgbox --buttons --owner
expect_eq "$AUTO_OUT" "$(printf 'Fel: Fick ingen kontakt med servern.\nbuttons: ok\nowner: main')" \
    "error box"
must rows --count 0
must msgbox --press ok
must settle
sleep 1
expect_eq "$(message_boxes)" 0 "message boxes after the error (no warning for a manual update)"
cmp -s "$WORK_FOLDER/time_list.bin" "$KPV_CASE_DIR/time_list.before" ||
    fail "time_list.bin changed by a failed update"

# Timer tick, server still gone: the stored times hold an outdated account, so the warning
# (not the error) appears.
must timer
must msgbox
expect_eq "$AUTO_OUT" "Varning! Minst en säkerhetskopia är föråldrad och har inte uppdaterats! Avsluta programmet för att stäng av automatiska kontroller, eller ändra tiden för varningar." \
    "box after a failed timer update"
must msgbox --press ok

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
