# Start-up: the first update fills the rows from the reference server before the window shows.
. "$(dirname "$0")/../lib.sh"

demo_accounts
start_server
start_client

must rows --count 3 --timeout 60000
rows=$AUTO_OUT
AUTO_OUT=$rows
expect_eq "$(field_of 7 2)" "Åsa Öberg" "name of the fresh account"
expect_eq "$(field_of 7 4)" "1234" "files of the fresh account"
expect_eq "$(field_of 7 5)" "4 882 KB" "total size of the fresh account"
expect_eq "$(field_of 7 6)" "2" "excluded files of the fresh account"
expect_eq "$(field_of 7 7)" "10" "copy runs of the fresh account"
expect_eq "$(field_of 7 8)" "3" "stored copies of the fresh account"
expect_eq "$(field_of 7 9)" "8 789 KB" "disk space of the fresh account"
expect_eq "$(field_of 300 2)" "Bertil" "name of the outdated account"
expect_eq "$(field_of 300 3)" "$(date -d @$(($(date +%s) - 864000)) '+%Y-%m-%d %H:%M')" \
    "latest copy of the outdated account, in local time"
# The status that cannot be opened shows zeros and the start of the epoch in local time.
expect_eq "$(printf '%s\n' "$rows" | awk -F'\t' '$1 == 12' | cut -f2-)" \
    "$(printf 'Cesar\t1970-01-01 01:00\t0\t0 bytes\t0\t0\t0\t0 bytes')" "unopenable account's row"
# Rows are sorted by name.
expect_eq "$(printf '%s\n' "$rows" | cut -f1 | tr '\n' ' ')" "7 300 12 " "row order by name"

must visible
must texts
expect_line "$AUTO_OUT" "caption	Kopiavakt" "main window caption"
expect_line "$AUTO_OUT" "1004	Button	Lägg till användare..." "add button"
expect_line "$AUTO_OUT" "1005	Button	Stäng" "hide button"
must headers
expect_eq "$(printf '%s' "$AUTO_OUT" | tr '\n' '|')" \
    "Namn|Senaste kopiering|Antal filer|Total storlek|Antal uteslutna filer|Antal kopieringar utförda|Antal lagrade kopior|Diskutrymme" \
    "column headers"

expect_eq "$(server_requests)" "1" "status requests at start-up"
# time_list.bin: three requested accounts, two opened (7 and 300, in list order).
expect_eq "$(head -c 6 "$WORK_FOLDER/time_list.bin" | hex_of /dev/stdin)" "0A 00 00 00 03 00" \
    "time_list.bin envelope and count"
expect_eq "$(hex_of "$WORK_FOLDER/wnd.bin" | cut -c1-11)" "04 00 00 00" "wnd.bin envelope"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
