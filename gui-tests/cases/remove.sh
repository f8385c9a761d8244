# Removing: no selection is an error; the Yes/No question; No keeps the account, Yes (from the
# list's context menu item) removes it and keeps the others in order.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3
cp "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.before"

must select --none
must command 40023
must msgbox --buttons --expect "Fel: Inget konto är markerat i listan." --press ok
expect_line "$AUTO_OUT" "buttons: ok" "buttons of the error"

must select --id 300
must command 40023
must msgbox --buttons --owner --expect "Vill du verkligen ta bort det markerade kontot från Kopiavakt?" \
    --press no
expect_line "$AUTO_OUT" "buttons: yes no" "buttons of the question"
expect_line "$AUTO_OUT" "owner: main" "owner of the question"
must settle
cmp -s "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.before" ||
    fail "account_list.bin changed after No"
must rows --count 3

must select --id 300
must command 40011
must msgbox --press yes
must rows --count 2 --lacks Bertil
expect_eq "$(list_accounts "$WORK_FOLDER/account_list.bin" | tr '\n' '|')" \
    "7	Åsa Öberg|12	Cesar|" "account_list.bin after removing"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
