# Export through the save dialog copies account_list.bin; importing that file back (after a
# change) through the open dialog and the question restores it byte for byte.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3
cp "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.original"

must command 40028
must file-dialog --print-name --path "$FILES_WIN\\export åäö.ulf"
expect_eq "$AUTO_OUT" "$(printf 'Välj plats för filen...\nAnvändarlista.ulf')" \
    "save dialog title and initial name"
wait_for_file "$FILES_DIR/export åäö.ulf" 5
must settle
cmp -s "$FILES_DIR/export åäö.ulf" "$KPV_CASE_DIR/list.original" ||
    fail "the exported file differs from account_list.bin"
expect_eq "$(message_boxes)" 0 "message boxes after exporting"

must select --id 300
must command 40023
must msgbox --press yes
must rows --count 2 --lacks Bertil

# No to the question keeps the list.
must command 40027
must file-dialog --path "$FILES_WIN\\export åäö.ulf"
expect_eq "$AUTO_OUT" "Användarlista..." "open dialog title"
must msgbox --buttons --expect "VARNING! De användare som lagras i programmet kommer att skrivas över! Vill du fortsätta?" \
    --press no
expect_line "$AUTO_OUT" "buttons: yes no" "buttons of the import question"
must settle
must rows --count 2

must command 40027
must file-dialog --path "$FILES_WIN\\export åäö.ulf"
must msgbox --press yes
must msgbox --buttons --expect "Användarlistan importerad från fil!" --press ok
expect_line "$AUTO_OUT" "buttons: ok" "buttons of the import message"
must rows --count 3 --contains Bertil
cmp -s "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.original" ||
    fail "account_list.bin after export and import differs from the original"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
