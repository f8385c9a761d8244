# "Avsluta" in the tray menu ends the client at once, without a question, with exit code 0,
# also while the window is hidden.
. "$(dirname "$0")/../lib.sh"

start_client
must wait-visible --timeout 60000
must close
must wait-hidden

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
