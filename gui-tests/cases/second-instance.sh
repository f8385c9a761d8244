# A second start while the first window is hidden: the first window comes back, the second
# process ends with exit code 1.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client
client_ready 3
first=$CLIENT_PID

must close
must wait-hidden
start_client
wait_client_exit 30
expect_eq "$CLIENT_RC" 1 "exit code of the second instance"
must wait-visible --foreground
kill -0 "$first" 2>/dev/null || fail "the first instance ended"
must count-windows --title Kopiavakt --class '#32770' --child 1002 --hidden-too
expect_eq "$AUTO_OUT" 1 "main windows"
expect_eq "$(message_boxes)" 0 "message boxes shown by the second instance"

CLIENT_PID=$first
must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code of the first instance"
