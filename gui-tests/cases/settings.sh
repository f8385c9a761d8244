# The settings dialog: default "3 dagar", "15 dagar" + OK writes 02 00 00 00 0F 00 and shows
# again; Avbryt and the close box write nothing; an odd stored value shows "3 dagar".
. "$(dirname "$0")/../lib.sh"

start_client
must wait-visible --timeout 60000
settings=$WORK_FOLDER/settings.bin
[ -e "$settings" ] && fail "settings.bin exists before any choice"

items='  1 dag	1
  2 dagar	2
  3 dagar	3
  5 dagar	5
  7 dagar	7
  10 dagar	10
  15 dagar	15'

must command 40021
must settings --days 15 --ok
expect_eq "$AUTO_OUT" "Inställningar
$(printf '%s\n' "$items" | sed 's/^  3 dagar/* 3 dagar/')" "dialog at first"
wait_for_file "$settings" 5
expect_eq "$(hex_of "$settings")" "02 00 00 00 0F 00" "settings.bin after 15 dagar"

must command 40021
must settings --days 1 --cancel
expect_line "$AUTO_OUT" "* 15 dagar	15" "selection after reopening"
must command 40021
must settings --days 2 --close
must settle
expect_eq "$(hex_of "$settings")" "02 00 00 00 0F 00" "settings.bin after Avbryt and close"

printf '\002\000\000\000\004\000' >"$settings"
must command 40021
must settings --cancel
expect_line "$AUTO_OUT" "* 3 dagar	3" "selection for a stored 4"
expect_eq "$(hex_of "$settings")" "02 00 00 00 04 00" "settings.bin kept by Avbryt"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
