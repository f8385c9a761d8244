# Adding an account through the real file dialog and name dialog; the same file again is
# refused before the name dialog; cancelling the name dialog changes nothing.
. "$(dirname "$0")/../lib.sh"

demo_accounts
keytool account --id 55 --accounts "$KPV_CASE_DIR/accounts.json" \
    --rlf "$FILES_DIR/nytt konto å.rlf" --age 120 --files 9
keytool account --id 56 --accounts "$KPV_CASE_DIR/accounts.json" --rlf "$FILES_DIR/56.rlf" --age 5
start_server
start_client
client_ready 3

must command 40022
must file-dialog --path "$FILES_WIN\\nytt konto å.rlf"
expect_eq "$AUTO_OUT" "Välj fjärr-logg fil..." "file dialog title"
must name-dialog --text "Nytt åäö" --ok
expect_eq "$AUTO_OUT" "$(printf 'Välj namn\n')" "name dialog title and empty field"
must rows --count 4 --contains "Nytt åäö"
expect_eq "$(field_of 55 2)" "Nytt åäö" "name of the added account"
expect_eq "$(field_of 55 4)" "9" "files of the added account (status opened)"
expect_eq "$(list_accounts "$WORK_FOLDER/account_list.bin" | tail -n1)" "55	Nytt åäö" \
    "last account of account_list.bin"

# The button does the same; the second time the id is already there.
must command 1004
must file-dialog --path "$FILES_WIN\\nytt konto å.rlf"
must msgbox --expect "Fel: Detta kontot är redan tillagt i klienten." --press ok
must count-windows --child 1006
expect_eq "$AUTO_OUT" 0 "name dialogs after the duplicate"

cp "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.before"
must command 40022
must file-dialog --path "$FILES_WIN\\56.rlf"
must name-dialog --text "Ångrad" --cancel
must command 40022
must file-dialog --cancel
must settle
cmp -s "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.before" ||
    fail "account_list.bin changed by a cancelled add"
must rows --count 4
expect_eq "$(message_boxes)" 0 "message boxes after cancelling"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
