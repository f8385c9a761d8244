; The Kopiavakt installer: a per-user install without administrator rights.
;
; Built by installer/CMakeLists.txt (target kopiavakt-installer), which passes:
;   VERSION       the project version, e.g. 1.0.0
;   VERSION_QUAD  the same as four numbers, e.g. 1.0.0.0
;   PUBLISHER     the publisher named in Apps and in the version resource
;   CLIENT_EXE    the built kopiavakt.exe
;   CHECK_EXE     the built kopiavakt-check.exe (the command-line check for monitoring systems)
;   ICON          the program's icon
;   OUTFILE       where the installer is written
;
; Installs kopiavakt.exe, kopiavakt-check.exe and uninstall.exe into $LOCALAPPDATA\Programs\Kopiavakt, a Start-menu
; shortcut, optionally a shortcut in the user's Startup folder, and the Apps entry under HKCU.
; The user's data folder (%LOCALAPPDATA%\KPV_wd) is never touched.
;
; Exit codes (installer and uninstaller): 0 done, 1 cancelled by the user, 2 failed,
; 3 Kopiavakt was running and the user declined to close it (in silent mode: it was running;
; nothing was changed).

Unicode true
Target amd64-unicode
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Kopiavakt"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kopiavakt"
!define LINK_NAME "Kopiavakt.lnk"
!define EXIT_RUNNING 3

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
!define MUI_FINISHPAGE_RUN "$INSTDIR\kopiavakt.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Starta Kopiavakt nu"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Swedish"

LangString KPV_RUNNING ${LANG_SWEDISH} "Kopiavakt körs.$\r$\n$\r$\nAvsluta programmet först (högerklicka på ikonen i meddelandefältet och välj $\"Avsluta$\") och försök sedan igen."
LangString KPV_RUNNING_ABORT ${LANG_SWEDISH} "Avbrutet: Kopiavakt körs."

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

Function .onInit
    SetShellVarContext current
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
    ; %LOCALAPPDATA%\KPV_wd, the user's accounts and settings, stays for a later install.
SectionEnd
