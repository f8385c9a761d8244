#pragma once
// Identifiers shared by the resource script and the code. Plain macros, because the resource
// compiler reads this file too. Other tools find the controls by these numbers: keep them.

// Dialogs, menus and the icon.
#define IDD_MAIN_WINDOW 101
#define IDR_MAIN_MENU 102
#define IDD_NAME 103
#define IDR_LIST_MENU 104
#define IDD_ABOUT 105
#define IDR_TRAY_MENU 106
#define IDI_KOPIAVAKT 107
#define IDD_EXCLUDED_FILES 108
#define IDD_SETTINGS 109
#define IDD_ALERTS 110

// The tray icon's other states: a copy is outdated or unopened; the server did not answer.
#define IDI_KOPIAVAKT_ATTENTION 120
#define IDI_KOPIAVAKT_NO_CONTACT 121

// One account's rules and history: the rules dialog, the history window, and the list menu's
// items for them (appended to menu 104's items when the list menu is loaded).
#define IDD_ACCOUNT_RULES 130
#define IDD_HISTORY 131
#define IDR_RULES_MENU 132

// The state icons of the list's first column.
#define IDI_STATE_FRESH 140
#define IDI_STATE_OUTDATED 141
#define IDI_STATE_UNOPENED 142
#define IDI_STATE_ANOMALY 143
#define IDI_STATE_PAUSED 144

// Controls of the main window (101).
#define IDC_ACCOUNT_LIST 1002
#define IDC_ADD_USER 1004
#define IDC_HIDE 1005

// Name dialog (103).
#define IDC_NAME_EDIT 1006
#define IDC_NAME_CANCEL 1007
#define IDC_NAME_OK 1008

// About dialog (105).
#define IDC_ABOUT_OK 1009

// Excluded-files dialog (108).
#define IDC_EXCLUDED_CLOSE 1010
#define IDC_EXCLUDED_TEXT 1011

// Settings dialog (109).
#define IDC_SETTINGS_OK 1012
#define IDC_SETTINGS_CANCEL 1013
#define IDC_SETTINGS_PERIOD 1014

// Alerts dialog (110).
#define IDC_ALERT_WEBHOOK_URL 1100
#define IDC_ALERT_WEBHOOK_FORMAT 1101
#define IDC_ALERT_PING_URL 1102
#define IDC_ALERT_MAIL_SERVER 1103
#define IDC_ALERT_MAIL_PORT 1104
#define IDC_ALERT_MAIL_SECURITY 1105
#define IDC_ALERT_MAIL_FROM 1106
#define IDC_ALERT_MAIL_TO 1107
#define IDC_ALERT_MAIL_USER 1108
#define IDC_ALERT_MAIL_PASSWORD 1109
#define IDC_ALERT_REMINDER_HOURS 1110
#define IDC_ALERT_NO_CONTACT_HOURS 1111
#define IDC_ALERT_NOTIFICATIONS 1112
#define IDC_ALERT_PROBLEMS 1113
#define IDC_ALERT_LAST 1114
#define IDC_ALERT_TEST 1115
#define IDC_ALERT_TEST_RESULT 1116
#define IDC_ALERT_OK 1117
#define IDC_ALERT_CANCEL 1118

// Rules dialog (130).
#define IDC_RULES_OWN_PERIOD 1200
#define IDC_RULES_PERIOD_DAYS 1201
#define IDC_RULES_SIZE 1202
#define IDC_RULES_SIZE_PERCENT 1203
#define IDC_RULES_FILES 1204
#define IDC_RULES_FILES_PERCENT 1205
#define IDC_RULES_COPIES 1206
#define IDC_RULES_COPIES_PERCENT 1207
#define IDC_RULES_OK 1208
#define IDC_RULES_CANCEL 1209

// History window (131).
#define IDC_HISTORY_CHART 1220
#define IDC_HISTORY_LIST 1221
#define IDC_HISTORY_EXPORT 1222
#define IDC_HISTORY_CLOSE 1223

// Menu commands.
#define IDM_SHOW_EXCLUDED 40012
#define IDM_REMOVE_FROM_LIST 40011
#define IDM_RENAME 40030
#define IDM_REFRESH 40006
#define IDM_SETTINGS 40021
#define IDM_HIDE 40035
#define IDM_EXIT_ASK 40002
#define IDM_ADD_ACCOUNT 40022
#define IDM_REMOVE_SELECTED 40023
#define IDM_EXPORT_LIST 40028
#define IDM_IMPORT_LIST 40027
#define IDM_ABOUT 40013
#define IDM_OPEN 40033
#define IDM_EXIT_NOW 40034
// "Aviseringar...", put into the menu "Arkiv" after "Inställningar..." when the window opens.
#define IDM_ALERTS 40100
#define IDM_ACCOUNT_RULES 40150
#define IDM_SNOOZE_NEXT_COPY 40151
#define IDM_SNOOZE_1_DAY 40152
#define IDM_SNOOZE_3_DAYS 40153
#define IDM_SNOOZE_7_DAYS 40154
#define IDM_SNOOZE_END 40155
#define IDM_HISTORY 40156

// The tray icon's callback message (WM_USER + 60).
#define KPV_TRAY_CALLBACK 1084
