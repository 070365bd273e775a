// Resource ids of the main program: dialogs, menu, icons, cursors, strings and controls.
// Plain preprocessor constants, free of windows.h, so the resource compiler, the core, the
// tests and the language-file coverage check all see the same numbers. The ids are part of
// the language-file format: translators address controls and strings by these numbers.
#ifndef QLY_RESOURCES_RESOURCE_H
#define QLY_RESOURCES_RESOURCE_H

// Dialog templates.
#define IDD_MAIN 101           // main window, shown as the About box
#define IDD_TRAY_PROGRAMS 108  // settings page "Tray Programs"
#define IDD_CHANGE_PASSWORD 113
#define IDD_INSTALL_DIR 117
#define IDD_MODELESS_MESSAGE 118
#define IDD_ADVANCED 119        // settings page "Advanced"
#define IDD_USER_INTERFACE 120  // settings page "User Interface"
#define IDD_ENTER_PASSWORD 121
#define IDD_AUTOSTART 122  // settings page "AutoStart Programs"

// Menu.
#define IDR_TRAY_MENU 103  // one popup, "Quillory Menu"

// Icons (RT_GROUP_ICON). 105 exists as an icon and as a cursor; the types do not clash.
#define IDI_ABOUT 102
#define IDI_PASSWORD_NONE 104
#define IDI_PASSWORD_SET 105
#define IDI_SETTINGS 109
#define IDI_HELP 111
#define IDI_MENU_DEFAULT 114    // menu entry without an icon of its own
#define IDI_WINDOW_DEFAULT 115  // window or program without an icon
#define IDI_EXIT 116
#define IDI_QUILLORY 117  // program icon, tray icon once the tray is intercepted
#define IDI_REGISTRY_GROUP 119
#define IDI_FOLDER_GROUP 120
#define IDI_QUILLORY_WAITING 121  // tray icon before the tray is intercepted

// Cursors (RT_GROUP_CURSOR).
#define IDC_HAND_LINK 105
#define IDC_DRAG_TO_TRAY 118

// Commands of the main window and the tray menu.
#define ID_CMD_OK 1
#define ID_CMD_CANCEL 2
#define ID_CMD_HELP 203
#define ID_CMD_SETTINGS 1004
#define ID_CMD_ABOUT 1005
#define ID_CMD_EXIT 40001
#define ID_CMD_TELL_A_FRIEND 40052

// Main window / About box (101). The face is painted; the icon sits left of the name.
#define IDC_MAIN_ICON 1000

// Tray Programs page (108).
#define IDC_TP_LIST 1044
#define IDC_TP_TOOLTIP_LABEL 1045
#define IDC_TP_TOOLTIP 1006
#define IDC_TP_PROCESS_LABEL 1047
#define IDC_TP_PROCESS_ID 1015
#define IDC_TP_PROCESS 1007
#define IDC_TP_WINDOW_LABEL 1048
#define IDC_TP_WINDOW_HANDLE 1014
#define IDC_TP_WINDOW 1008
#define IDC_TP_ICON_LABEL 1046
#define IDC_TP_ICON 1010
#define IDC_TP_TRAY_ID_LABEL 1049
#define IDC_TP_TRAY_ID 1013
#define IDC_TP_TRAY_VISIBLE_LABEL 1036
#define IDC_TP_TRAY_VISIBLE 1041
#define IDC_TP_MENU_VISIBLE_LABEL 1035
#define IDC_TP_MENU_VISIBLE 1042
#define IDC_TP_ALL_ICONS 1058
#define IDC_TP_SPECIAL_POSITION 1056
#define IDC_TP_POSITION 1016
#define IDC_TP_POSITION_DOWN 1055
#define IDC_TP_POSITION_UP 1057
#define IDC_TP_DELETE 1059

// Change password dialog (113).
#define IDC_CPW_NOTICE 1001
#define IDC_CPW_OLD_LABEL 1024
#define IDC_CPW_NEW_LABEL 1025
#define IDC_CPW_AGAIN_LABEL 1026
#define IDC_CPW_OLD 1027
#define IDC_CPW_NEW 1028
#define IDC_CPW_AGAIN 1004

// Install-directory dialog (117).
#define IDC_INST_BROWSE 1001
#define IDC_INST_LABEL 1002
#define IDC_INST_FOLDER 1042
#define IDC_INST_CUSTOM 1234

// Modeless message window (118).
#define IDC_MSG_TEXT 1001

// Advanced page (119).
#define IDC_ADV_HELP 1015
#define IDC_ADV_DEFAULTS_GROUP 1017
#define IDC_ADV_DEFAULT_TRAY 1004
#define IDC_ADV_DEFAULT_MENU 1005
#define IDC_ADV_OTHER_GROUP 1018
#define IDC_ADV_INTERCEPT_LABEL 1036
#define IDC_ADV_INTERCEPT 1041
#define IDC_ADV_ORDER_LABEL 1054
#define IDC_ADV_ORDER 1053
#define IDC_ADV_DUMP_ALWAYS 1009
#define IDC_ADV_NOTIFY 1006
#define IDC_ADV_AUTO_TRAY 1008
#define IDC_ADV_AUTOSTART_GROUP 1021
#define IDC_ADV_AUTOSTART_ALL 1016
#define IDC_ADV_STARTUP_CHECK 1010
#define IDC_ADV_AUTOSTART_OTHERS 1019
#define IDC_ADV_AUTOSTART_NONE 1020
#define IDC_ADV_DELAY_LABEL 1050
#define IDC_ADV_DELAY 1051
#define IDC_ADV_NEW_USERS 1007

// User Interface page (120).
#define IDC_UI_HELP 1015
#define IDC_UI_LANGUAGE_GROUP 1031
#define IDC_UI_LANGUAGE 1029
#define IDC_UI_CREDIT 1033
#define IDC_UI_HOTKEY_GROUP 1018
#define IDC_UI_MENU_KEY_LABEL 1035
#define IDC_UI_MENU_KEY 1030
#define IDC_UI_MENU_KEY_WIN 1034
#define IDC_UI_SETTINGS_KEY_LABEL 1037
#define IDC_UI_SETTINGS_KEY 1032
#define IDC_UI_SETTINGS_KEY_WIN 1036
#define IDC_UI_USE_MINIMIZE 1057
#define IDC_UI_MINIMIZE_KEY 1041
#define IDC_UI_MINIMIZE_KEY_WIN 1042
#define IDC_UI_PASSWORD 1014
#define IDC_UI_ADD_TRAY_ICON 1039
#define IDC_UI_EXIT 1040
#define IDC_UI_MENU_PASSWORD 1010
#define IDC_UI_HOVER_MENU 1052
#define IDC_UI_NORMAL_PRIORITY 1053
#define IDC_UI_NO_SOUNDS 1058
#define IDC_UI_MENU_ORDER 1054

// Enter password dialog (121).
#define IDC_PW_NOTICE 1001
#define IDC_PW_LABEL 1002
#define IDC_PW_EDIT 1043

// AutoStart Programs page (122).
#define IDC_AS_TREE 1061
#define IDC_AS_NAME_LABEL 1058
#define IDC_AS_NAME 1060
#define IDC_AS_VALUE_LABEL 1059
#define IDC_AS_VALUE 1009
#define IDC_AS_PROCESS_LABEL 1047
#define IDC_AS_PROCESS 1007
#define IDC_AS_PROCESS_ID 1015
#define IDC_AS_WINDOW_LABEL 1048
#define IDC_AS_WINDOW 1008
#define IDC_AS_WINDOW_HANDLE 1014
#define IDC_AS_TRAY_ID_LABEL 1049
#define IDC_AS_TRAY_ID 1013
#define IDC_AS_ICON_LABEL 1046
#define IDC_AS_ICON 1010
#define IDC_AS_ENABLED 1056
#define IDC_AS_WEB_INFO 1055

// String table.
#define IDS_HELP_ADVANCED 1
#define IDS_HELP_USER_INTERFACE 2
#define IDS_VISIBLE_ALWAYS 3
#define IDS_VISIBLE_NEVER 4
#define IDS_VISIBLE_DEFAULT_ON 5
#define IDS_VISIBLE_DEFAULT_OFF 6
#define IDS_NOT_ACTIVE_LOGOFF 7
#define IDS_PROBLEM_CAPTION 8
#define IDS_RUNONCE_FAILED 9
#define IDS_APP_NAME 10
#define IDS_ALREADY_RUNNING 11
#define IDS_ERROR_CAPTION 12
#define IDS_OLD_PASSWORD_WRONG 13
#define IDS_BAD_PASSWORD_CAPTION 14
#define IDS_NEW_PASSWORDS_DIFFER 15
#define IDS_NOT_ACTIVE_RESTART 16
#define IDS_SETTINGS_CAPTION 17
#define IDS_PROGRAM_NOT_RUNNING 18
#define IDS_ORDER_DEFAULT 19  // 19..21 tray order, index = ReverseTray
#define IDS_ORDER_REVERSE 20
#define IDS_ORDER_SORT 21
#define IDS_INTERCEPT_ON_CREATE 22  // 22..25 interception, index = LateIntercept
#define IDS_INTERCEPT_ON_NOTIFY 23
#define IDS_INTERCEPT_AFTER_FIND 24
#define IDS_INTERCEPT_FORCE_NOTIFY 25
#define IDS_MENU_ORDER_INITIAL 26  // 26..28 menu order, index = SortMenu
#define IDS_MENU_ORDER_ALPHA 27
#define IDS_MENU_ORDER_QUILLORY 28
#define IDS_ADMIN_ON 29
#define IDS_ADMIN_OFF 30  // also the base of 31..33: 30 + TokenElevationType
#define IDS_ELEVATION_DEFAULT 31
#define IDS_ELEVATION_FULL 32
#define IDS_ELEVATION_LIMITED 33
#define IDS_HELP_MISSING 34     // the help's viewer or file is missing; "%s" names it
#define IDS_HELP_NOT_OPENED 35  // the help file is there but did not open; "%s" names it
// 1001..1309: the pop-up texts of the settings pages' controls, each under its own help
// context number (app/ui/help_topics.h).

#endif  // QLY_RESOURCES_RESOURCE_H
