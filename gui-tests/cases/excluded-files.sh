# The excluded-files dialog shows the selected account's names, one a line, and ignores Esc
# and Enter; nothing for an account whose status was not opened; no dialog without a selection.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3

must select --id 7
must command 40012
# Esc does nothing where the focus starts (on "Stäng", where Enter would press it); Esc and
# Enter do nothing in the text.
for key in "27" "27 --to 1011" "13 --to 1011"; do
    must key --vk $key --title "Utesluta filer" --child 1011
    must wait-window --title "Utesluta filer" --child 1011 --timeout 1000
done
must excluded --close
expect_eq "$AUTO_OUT" "$(printf 'Utesluta filer\nhemligt.doc\nbild på älg.jpg\n')" "excluded files of 7"

must select --id 12
must command 40012
must excluded --close
expect_eq "$AUTO_OUT" "$(printf 'Utesluta filer\n')" "excluded files of the unopened account"

must select --none
must command 40012 --settle
auto wait-window --child 1011 --timeout 1000
expect_eq "$AUTO_RC" 1 "dialog without a selection (1 = none appeared)"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
