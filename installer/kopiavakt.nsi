; The Kopiavakt installer: a per-user install without administrator rights.
;
; Built by installer/CMakeLists.txt (target kopiavakt-installer), which passes:
;   VERSION       the project version, e.g. 1.0.0
;   VERSION_QUAD  the same as four numbers, e.g. 1.0.0.0
;   PUBLISHER     the publisher named in Apps and in the version resource
;   APP_USER_MODEL_ID  the client's AppUserModelID, written on its shortcuts
;   CLIENT_EXE    the built kopiavakt.exe
;   CHECK_EXE     the built kopiavakt-check.exe (the command-line check for monitoring systems)
;   ICON          the program's icon
;   OUTFILE       where the installer is written
;
; Installs kopiavakt.exe, kopiavakt-check.exe and uninstall.exe into $LOCALAPPDATA\Programs\Kopiavakt, a Start-menu
; shortcut, optionally a shortcut in the user's Startup folder, and the Apps entry under HKCU.
; The user's data folder (%LOCALAPPDATA%\KPV_wd) is kept, unless the uninstaller is asked to
; remove it (its check box, or /REMOVEDATA in silent mode).
;
; Started elevated (as administrator) the installer would install into the administrator's
; profile: it asks first, and in silent mode stops unless /ELEVATED says that is meant. It never
; starts the client elevated.
;
; Exit codes (installer and uninstaller): 0 done, 1 cancelled by the user, 2 failed,
; 3 Kopiavakt was running and the user declined to close it (in silent mode: it was running;
; nothing was changed), 4 (installer, silent mode) started elevated without /ELEVATED; nothing
; was changed, 5 (installer) Kopiavakt is already installed for every user of the machine (the
; MSI); nothing was changed.

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma
; The same sources give the same installer: no file times are stored with the files.
SetDateSave off

; A signed release (scripts/release.sh --sign) signs the uninstaller before it is packed into
; the installer, and the finished installer; a signing failure fails the build.
!ifdef SIGN_COMMAND
    !uninstfinalize '${SIGN_COMMAND} "%1"' = 0
    !finalize '${SIGN_COMMAND} "%1"' = 0
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "Kopiavakt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kopiavakt"
!define LINK_NAME "Kopiavakt.lnk"
!define EXIT_RUNNING 3
!define EXIT_ELEVATED 4
!define EXIT_MACHINE_INSTALL 5
; Written by the per-machine package (installer/msi/kopiavakt.wxs): where it installed.
!define MACHINE_KEY "Software\Kopiavakt"
!define DATA_DIR "$LOCALAPPDATA\KPV_wd"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kopiavakt"
; An upgrade goes where the previous version was installed.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Starta Kopiavakt nu"
!define MUI_FINISHPAGE_RUN_FUNCTION startClient
!define MUI_PAGE_CUSTOMFUNCTION_SHOW showFinishPage
!insertmacro MUI_PAGE_FINISH

UninstPage custom un.showDataPage un.leaveDataPage
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Swedish"

LangString KPV_RUNNING ${LANG_SWEDISH} "Kopiavakt körs.$\r$\n$\r$\nAvsluta programmet först (högerklicka på ikonen i meddelandefältet och välj $\"Avsluta$\") och försök sedan igen."
LangString KPV_RUNNING_ABORT ${LANG_SWEDISH} "Avbrutet: Kopiavakt körs."
LangString KPV_ELEVATED ${LANG_SWEDISH} "Installationsprogrammet körs som administratör.$\r$\n$\r$\nKopiavakt installeras för den inloggade användaren och behöver ingen administratörsbehörighet. Fortsätter du installeras Kopiavakt för kontot $\"$0$\", och programmet startas inte härifrån.$\r$\n$\r$\nVill du fortsätta ändå?"
LangString KPV_MACHINE_INSTALL ${LANG_SWEDISH} "Kopiavakt är redan installerat för alla användare på den här datorn (i $\"$0$\").$\r$\n$\r$\nDen installationen räcker, och ingen egen installation görs: Kopiavakt finns på Start-menyn och startar när du loggar in."
LangString KPV_DATA_TITLE ${LANG_SWEDISH} "Dina uppgifter"
LangString KPV_DATA_SUBTITLE ${LANG_SWEDISH} "Välj om kontolistan och inställningarna ska finnas kvar."
LangString KPV_DATA_TEXT ${LANG_SWEDISH} "Dina konton och inställningar i $\"${DATA_DIR}$\" finns kvar efter avinstallationen, så att en senare installation hittar dem igen."
LangString KPV_DATA_BOX ${LANG_SWEDISH} "Ta även bort kontolistan och inställningarna"
LangString KPV_DATA_NOTE ${LANG_SWEDISH} "Kontolistan innehåller kontonas nycklar. Den skrivs över innan den tas bort. Exportera den först från Kopiavakt om du vill behålla den."

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "FileDescription" "Installation av ${PRODUCT}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SWEDISH} "LegalCopyright" "© ${PUBLISHER}"

; Defines <prefix>kpvRunning, which pushes 1 when Kopiavakt runs for this user and 0 otherwise,
; and <prefix>closeRunningClient, which returns once it does not run: it asks the user to close
; it (Retry/Cancel) and on Cancel, or at once in silent mode, ends with exit code 3.
;
; The client holds its lock file open without sharing for its whole life, so an open that fails
; means a running instance, even one still starting or with its window hidden in the tray. Its
; main window, a dialog titled "Kopiavakt", also catches an instance whose data folder lies
; elsewhere (a redirected application-data folder).
!macro KPV_RUNNING_FUNCTIONS PREFIX
Function ${PREFIX}kpvRunning
    Push $0
    Push $1
    StrCpy $0 0
    FindWindow $1 "#32770" "Kopiavakt"
    ${If} $1 <> 0
        StrCpy $0 1
    ${ElseIf} ${FileExists} "$LOCALAPPDATA\KPV_wd\file_mutex"
        ClearErrors
        FileOpen $1 "$LOCALAPPDATA\KPV_wd\file_mutex" r
        ${If} ${Errors}
            StrCpy $0 1
        ${Else}
            FileClose $1
        ${EndIf}
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd

Function ${PREFIX}closeRunningClient
    Push $0
check:
    Call ${PREFIX}kpvRunning
    Pop $0
    StrCmp $0 0 done
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(KPV_RUNNING)" /SD IDCANCEL IDRETRY check
    SetErrorLevel ${EXIT_RUNNING}
    Abort "$(KPV_RUNNING_ABORT)"
done:
    Pop $0
FunctionEnd
!macroend

!insertmacro KPV_RUNNING_FUNCTIONS ""
!insertmacro KPV_RUNNING_FUNCTIONS "un."

; Gives the shortcut at $0 the AppUserModelID the client claims for its process, so that
; Windows shows the client's notifications as Kopiavakt's and keeps them in the notification
; centre. Debian's NSIS has no plug-in for shortcut properties: the shell's own COM objects are
; called through the System plug-in (vtable slots: IUnknown 0-2; IPersistFile Load 5, Save 6;
; IPropertyStore SetValue 6, Commit 7). A step that fails leaves the shortcut as it was.
Function setShortcutAppId
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    ; CLSID_ShellLink, IID_IShellLinkW, CLSCTX_INPROC_SERVER
    System::Call 'ole32::CoCreateInstance(g "{00021401-0000-0000-C000-000000000046}", p 0, i 1, g "{000214F9-0000-0000-C000-000000000046}", *p .r1) i .r2'
    ${If} $2 = 0
        ; IID_IPersistFile, then Load(path, STGM_READWRITE)
        System::Call '$1->0(g "{0000010b-0000-0000-C000-000000000046}", *p .r3) i .r2'
        ${If} $2 = 0
            System::Call '$3->5(w r0, i 2) i .r2'
            ${If} $2 = 0
                ; IID_IPropertyStore
                System::Call '$1->0(g "{886d8eeb-8cf2-4446-8d02-cdba1dbdcf99}", *p .r4) i .r2'
                ${If} $2 = 0
                    ; PKEY_AppUserModel_ID, and a PROPVARIANT of type VT_LPWSTR (31) that
                    ; points to a copy of the ID
                    System::Call '*(g "{9F4C2855-9F79-4B39-A8D0-E1D42DE1D5F3}", i 5) p .r5'
                    System::Call '*(&w128 "${APP_USER_MODEL_ID}") p .r7'
                    System::Call '*(&i2 31, &i2 0, &i2 0, &i2 0, p r7, p 0) p .r6'
                    System::Call '$4->6(p r5, p r6) i .r2'
                    ${If} $2 = 0
                        System::Call '$4->7() i .r2'
                    ${EndIf}
                    System::Free $6
                    System::Free $7
                    System::Free $5
                    System::Call '$4->2()'
                    ${If} $2 = 0
                        ; Save(NULL, TRUE): back to the file it was loaded from
                        System::Call '$3->6(p 0, i 1) i .r2'
                    ${EndIf}
                ${EndIf}
            ${EndIf}
            System::Call '$3->2()'
        ${EndIf}
        System::Call '$1->2()'
    ${EndIf}
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
FunctionEnd

Var elevated ; 1 when the installer runs with an administrator's elevated token
Var removeData ; 1 when the uninstaller also wipes the data folder
Var removeDataBox

Section "Kopiavakt" SEC_PROGRAM
    SectionIn RO
    SetShellVarContext current
    Call closeRunningClient

    SetOutPath "$INSTDIR"
    File "/oname=kopiavakt.exe" "${CLIENT_EXE}"
    File "/oname=kopiavakt-check.exe" "${CHECK_EXE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortCut "$SMPROGRAMS\${LINK_NAME}" "$INSTDIR\kopiavakt.exe" "" \
        "$INSTDIR\kopiavakt.exe" 0 SW_SHOWNORMAL "" "Bevakar säkerhetskopiornas status"
    StrCpy $0 "$SMPROGRAMS\${LINK_NAME}"
    Call setShortcutAppId

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kopiavakt.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Starta vid inloggning" SEC_STARTUP
    SetShellVarContext current
    CreateShortCut "$SMSTARTUP\${LINK_NAME}" "$INSTDIR\kopiavakt.exe" "" \
        "$INSTDIR\kopiavakt.exe" 0 SW_SHOWNORMAL "" "Bevakar säkerhetskopiornas status"
    StrCpy $0 "$SMSTARTUP\${LINK_NAME}"
    Call setShortcutAppId
SectionEnd

Section "-finish"
    SetShellVarContext current
    ; Upgrading without the Startup section takes away a shortcut an earlier install made.
    ${IfNot} ${SectionIsSelected} ${SEC_STARTUP}
        Delete "$SMSTARTUP\${LINK_NAME}"
    ${EndIf}
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Sets $elevated from the process token: elevated means an administrator's full token (UAC's
; "Run as administrator", or an administrator with UAC turned off), not merely membership of
; the Administrators group.
Function detectElevation
    StrCpy $elevated 0
    System::Call 'kernel32::GetCurrentProcess() p .r2'
    System::Call 'advapi32::OpenProcessToken(p r2, i 8, *p .r1) i .r0' ; TOKEN_QUERY
    ${If} $0 <> 0
        ; TokenElevation (20): a DWORD that is non-zero when the token is elevated.
        System::Call 'advapi32::GetTokenInformation(p r1, i 20, *i .r2, i 4, *i .r3) i .r0'
        ${If} $0 <> 0
        ${AndIf} $2 <> 0
            StrCpy $elevated 1
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p r1)'
    ${EndIf}
FunctionEnd

; An elevated start installs into the elevated account's profile, which is rarely the user's:
; it needs a yes (default no), or /ELEVATED in silent mode.
Function confirmElevatedStart
    Call detectElevation
    ${If} $elevated = 0
        Return
    ${EndIf}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/ELEVATED" $1
    ${IfNot} ${Errors}
        Return
    ${EndIf}
    ${If} ${Silent}
        SetErrorLevel ${EXIT_ELEVATED}
        Quit
    ${EndIf}
    ReadEnvStr $0 USERNAME
    MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(KPV_ELEVATED)" IDYES done
    SetErrorLevel 1
    Quit
done:
FunctionEnd

; "Starta Kopiavakt nu": never from an elevated installer, whose child would run elevated too.
Function startClient
    ${If} $elevated = 0
        Exec '"$INSTDIR\kopiavakt.exe"'
    ${EndIf}
FunctionEnd

Function showFinishPage
    ${If} $elevated = 1
        SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
        ShowWindow $mui.FinishPage.Run ${SW_HIDE}
    ${EndIf}
FunctionEnd

; The per-machine package already gives every user the client (and starts it at login): a second,
; per-user client would watch the same list twice. Says so and installs nothing.
Function refuseOverMachineInstall
    SetRegView 64
    ReadRegStr $0 HKLM "${MACHINE_KEY}" "MachineInstall"
    SetRegView default
    ${If} $0 != ""
        MessageBox MB_OK|MB_ICONINFORMATION "$(KPV_MACHINE_INSTALL)" /SD IDOK
        SetErrorLevel ${EXIT_MACHINE_INSTALL}
        Quit
    ${EndIf}
FunctionEnd

Function .onInit
    SetShellVarContext current
    Call refuseOverMachineInstall
    Call confirmElevatedStart
    ; An upgrade keeps the user's choice: a Startup shortcut removed since the last install is
    ; not put back.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIfNot} ${FileExists} "$SMSTARTUP\${LINK_NAME}"
        !insertmacro UnselectSection ${SEC_STARTUP}
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext current
    Call un.closeRunningClient

    Delete "$SMPROGRAMS\${LINK_NAME}"
    Delete "$SMSTARTUP\${LINK_NAME}"
    Delete "$INSTDIR\kopiavakt.exe"
    Delete "$INSTDIR\kopiavakt-check.exe"
    Delete "$INSTDIR\uninstall.exe"
    ; Not recursive: a folder the user chose may hold files of their own.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; %LOCALAPPDATA%\KPV_wd, the user's accounts and settings, stays for a later install unless
    ; the user asked to remove it.
    ${If} $removeData = 1
        Call un.wipeDataFolder
    ${EndIf}
SectionEnd

Function un.onInit
    SetShellVarContext current
    StrCpy $removeData 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVEDATA" $1
    ${IfNot} ${Errors}
        StrCpy $removeData 1
    ${EndIf}
FunctionEnd

Function un.showDataPage
    !insertmacro MUI_HEADER_TEXT "$(KPV_DATA_TITLE)" "$(KPV_DATA_SUBTITLE)"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 30u "$(KPV_DATA_TEXT)"
    Pop $0
    ${NSD_CreateCheckbox} 0 36u 100% 12u "$(KPV_DATA_BOX)"
    Pop $removeDataBox
    ${If} $removeData = 1
        ${NSD_Check} $removeDataBox
    ${EndIf}
    ${NSD_CreateLabel} 12u 52u -12u 30u "$(KPV_DATA_NOTE)"
    Pop $0
    nsDialogs::Show
FunctionEnd

Function un.leaveDataPage
    ${NSD_GetState} $removeDataBox $0
    ${If} $0 = ${BST_CHECKED}
        StrCpy $removeData 1
    ${Else}
        StrCpy $removeData 0
    ${EndIf}
FunctionEnd

; Overwrites every file of the data folder with zeros and flushes it before deleting, so that
; the account list's key material does not stay readable in the freed disk space (as far as
; the disk writes in place), then removes the folder.
Function un.wipeDataFolder
    FindFirst $0 $1 "${DATA_DIR}\*"
    ${DoWhile} $1 != ""
        ${IfNot} ${FileExists} "${DATA_DIR}\$1\*"
            ClearErrors
            FileOpen $2 "${DATA_DIR}\$1" a
            ${IfNot} ${Errors}
                FileSeek $2 0 END $3
                FileSeek $2 0 SET
                ; Zeros from a cleared block (System::Alloc zero-fills), 4 KB at a time.
                System::Alloc 4096
                Pop $4
                ${DoWhile} $3 > 0
                    ${If} $3 > 4096
                        StrCpy $5 4096
                    ${Else}
                        StrCpy $5 $3
                    ${EndIf}
                    System::Call 'kernel32::WriteFile(p r2, p r4, i r5, *i .r6, p 0) i .r7'
                    ${If} $7 = 0
                        ${Break}
                    ${EndIf}
                    IntOp $3 $3 - $5
                ${Loop}
                System::Free $4
                System::Call 'kernel32::FlushFileBuffers(p r2)'
                FileClose $2
            ${EndIf}
        ${EndIf}
        FindNext $0 $1
    ${Loop}
    FindClose $0
    RMDir /r "${DATA_DIR}"
FunctionEnd
