# What needs attention is shown: after an update with one outdated and one fresh account the
# outdated row is drawn in the warning colour and the tray tooltip names it, also after a new
# taskbar; a longer period in "Inställningar" marks the rows again without an exchange; a timer
# update that finds no server says so in the tooltip, and one under way says that it runs.
. "$(dirname "$0")/../lib.sh"

accounts=$KPV_CASE_DIR/accounts.json
keytool account --id 7 --accounts "$accounts" --name "Färsk" --age 3600
keytool account --id 300 --accounts "$accounts" --name "Gammal" --age 864000
mkdir -p "$WORK_FOLDER"
keytool userlist --out "$WORK_FOLDER/account_list.bin" --from-accounts "$accounts"
start_server
start_client
client_ready 2

must tray-tip --expect 'Kopiavakt\n1 konto har en föråldrad kopia'
must settle
must row-colour --id 300
expect_eq "$AUTO_OUT" FFC7CE "colour of the outdated row"
must row-colour --id 7
fresh=$AUTO_OUT
[ "$fresh" != FFC7CE ] || fail "the fresh row is drawn as outdated"
must taskbar-created
must tray-tip --expect 'Kopiavakt\n1 konto har en föråldrad kopia'

requests=$(server_requests)
must command 40021
must settings --days 15 --ok
must tray-tip --expect 'Kopiavakt'
must settle
must row-colour --id 300
expect_eq "$AUTO_OUT" "$fresh" "colour of the 10-day-old row with a 15-day period"
expect_eq "$(server_requests)" "$requests" "status requests for a new period"
must rows --count 2

stop_server
must timer
must tray-tip --starts 'Kopiavakt\nIngen kontakt med servern sedan '
expect_eq "$(message_boxes)" 0 "message boxes after a timer update without the server"

# While a slow reply keeps the window blocked, the tooltip says that an update runs.
start_server --fault slow --delay-ms 3000
must command 40006
must tray-tip --expect 'Kopiavakt\nUppdaterar status…'
must tray-tip --expect 'Kopiavakt' --timeout 20000

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
