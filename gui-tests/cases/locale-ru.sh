# Under a Russian system locale (ANSI code page 1251, not 1252) the client's own texts still
# read back right through the W calls: captions, buttons, headers, dialogs, boxes, menus.
. "$(dirname "$0")/../lib.sh"

[ -n "${KPV_RU_LOCPATH:-}" ] || fail "no ru_RU.UTF-8 locale could be built (localedef)"
export LOCPATH=$KPV_RU_LOCPATH LANG=ru_RU.UTF-8

accounts=$KPV_CASE_DIR/accounts.json
keytool account --id 7 --accounts "$accounts" --name "Anna" --age 3600 --exclude "fil.doc"
keytool account --id 8 --accounts "$accounts" --name "Boris" --age 60
mkdir -p "$WORK_FOLDER"
keytool userlist --out "$WORK_FOLDER/account_list.bin" --from-accounts "$accounts"
start_server
start_client
client_ready 2

must codepage
expect_line "$AUTO_OUT" "acp 1251" "ANSI code page under ru_RU"

must texts
soft_line "$AUTO_OUT" "caption	Kopiavakt" "main window caption"
soft_line "$AUTO_OUT" "1004	Button	Lägg till användare..." "add button"
soft_line "$AUTO_OUT" "1005	Button	Stäng" "hide button"
soft_line "$AUTO_OUT" "header	Antal kopieringar utförda" "column header"
must rows --count 2
soft_eq "$(printf '%s\n' "$AUTO_OUT" | cut -f2 | tr '\n' ' ')" "Anna Boris " "names"

must menus --exe "$(client_exe_windows_path)" 102 104 106
menus=$AUTO_OUT
for line in "102: Arkiv > Inställningar...	40021" "102: Konton > Lägg till konto...	40022" \
    "102: Hjälp > Om...	40013" "104: Lista > Ta bort från listan	40011" \
    "106: Ikon > Öppna 	40033" "106: Ikon > Avsluta	40034"; do
    soft_line "$menus" "$line" "menu item"
done

must command 40021
must texts --child 1014
labels=$(printf '%s\n' "$AUTO_OUT" | cut -f3)
soft_line "$labels" "Föråldrade kopior:" "settings group box"
soft_line "$labels" "Tid för varning:" "settings label"
soft_line "$labels" "Avbryt" "settings button"
must settings --cancel
soft_line "$AUTO_OUT" "Inställningar" "settings caption"
soft_line "$AUTO_OUT" "* 3 dagar	3" "settings selection"

must select --id 7
must command 40030
must texts --child 1006
soft_line "$(printf '%s\n' "$AUTO_OUT" | cut -f3)" "Namn för detta konto:" "name dialog label"
must name-dialog --cancel
soft_eq "$AUTO_OUT" "$(printf 'Välj namn\nAnna')" "name dialog"

must command 40012
must excluded --close
soft_eq "$AUTO_OUT" "$(printf 'Utesluta filer\nfil.doc')" "excluded-files dialog"

must command 40013
must about --close
soft_line "$AUTO_OUT" "Kopiavakt v1.0" "about box"

must command 40022
must file-dialog --cancel
soft_eq "$AUTO_OUT" "Välj fjärr-logg fil..." "file dialog title"

must select --none
must command 40023
must msgbox --press ok
soft_eq "$AUTO_OUT" "Fel: Inget konto är markerat i listan." "error box"

must command 40002
must msgbox --press no
soft_eq "$AUTO_OUT" "Om programmet avslutas kommer inga varningar visas om föråldrade kopior. Vill du ändå avsluta?" \
    "exit question"

must command 40034
wait_client_exit 20
expect_eq "$CLIENT_RC" 0 "exit code"
checks_done
