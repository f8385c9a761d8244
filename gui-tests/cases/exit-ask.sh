# "Avsluta" in the menu bar asks first: No keeps the client, Yes ends it with exit code 0.
. "$(dirname "$0")/../lib.sh"

start_client
must wait-visible --timeout 60000

must command 40002
must msgbox --buttons --owner --press no
expect_eq "$AUTO_OUT" "$(printf '%s\nbuttons: yes no\nowner: main' "Om programmet avslutas kommer inga varningar visas om föråldrade kopior. Vill du ändå avsluta?")" \
    "exit question"
must settle
client_running || fail "the client ended after No"
must visible

must command 40002
must msgbox --press yes
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
