# Renaming the selected account through the name dialog, which opens with the current name;
# Avbryt and the close box change nothing.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3

must select --id 300
must command 40030
must name-dialog --text "Bertil Ärlig" --ok
expect_eq "$AUTO_OUT" "$(printf 'Välj namn\nBertil')" "name dialog with the current name"
must rows --count 3 --contains "Bertil Ärlig"
expect_eq "$(field_of 300 2)" "Bertil Ärlig" "row after renaming"
expect_eq "$(list_accounts "$WORK_FOLDER/account_list.bin" | tr '\n' '|')" \
    "7	Åsa Öberg|300	Bertil Ärlig|12	Cesar|" "account_list.bin after renaming (same place)"

cp "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.before"
must select --id 300
must command 40030
must name-dialog --text "Något annat" --cancel
expect_line "$AUTO_OUT" "Bertil Ärlig" "name dialog shows the new name"
must select --id 300
must command 40030
must name-dialog --text "Något annat" --close
must settle
cmp -s "$WORK_FOLDER/account_list.bin" "$KPV_CASE_DIR/list.before" ||
    fail "account_list.bin changed by a cancelled rename"
must rows --count 3 --contains "Bertil Ärlig"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
