// Resource ids of Klarwin: dialog templates, menus, bitmaps, the icon, the
// controls of every window, menu commands and strings. Usable from the
// resource script and from C++.
#pragma once

// ---------------------------------------------------------------------------
// Dialog templates
// ---------------------------------------------------------------------------
#define IDD_SCAN                        129  // main window (CScanDialog)
#define IDD_SCAN_PROGRESS               130  // CScanProgressDialog
#define IDD_SCAN_RESULTS                132  // CScanResultsDialog
#define IDD_SCAN_RESULT_CONTAINER       133  // CScanResultContainer (child)
#define IDD_MANAGE_STARTUP              136  // CManageStartupDialog
#define IDD_SETTINGS                    137  // CSettingsDialog
#define IDD_REPAIR_ERRORS               142  // CRepairErrorsDialog
#define IDD_RESTORE_BACKUPS             143  // CRestoreBackupsDialog
#define IDD_SEND_LOG                    144  // CSendLogDialog
#define IDD_CUSTOM_SOLUTION             145  // CCustomSolnDialog
#define IDD_RESULT_STATUS               207  // CResultStatus
#define IDD_SECTION_RESULT              209  // CSectionResultDialog
#define IDD_SECTION_RESULTS_CONTAINER   210  // CSectionResultsContainer (child)
#define IDD_DOWNLOAD                    212  // CDownloadDialog

// ---------------------------------------------------------------------------
// Menus and the icon
// ---------------------------------------------------------------------------
#define IDR_TRAY_MENU                   138  // its first pop-up, "Tray", is the tray menu
#define IDI_KLARWIN                     227  // program icon, also the tray icon's uID

// ---------------------------------------------------------------------------
// Bitmaps (drawn by res/art/make_art.py; sizes and colour keys there)
// ---------------------------------------------------------------------------
#define IDB_MAIN_WINDOW                 149
#define IDB_CLOSE                       154
#define IDB_CLOSE_HOVER                 155
#define IDB_MINIMISE                    156
#define IDB_MINIMISE_HOVER              157
#define IDB_NAV_SCAN_HOVER              187
#define IDB_NAV_SETTINGS                188
#define IDB_NAV_SETTINGS_HOVER          189
#define IDB_NAV_SOLUTION                190
#define IDB_NAV_SOLUTION_HOVER          191
#define IDB_NAV_RESTORE                 192
#define IDB_NAV_RESTORE_HOVER           193
#define IDB_NAV_STARTUP                 194
#define IDB_NAV_STARTUP_HOVER           195
#define IDB_NAV_SCAN                    196
#define IDB_CHECK_CELLS                 197  // results lists: selected cell at x 0, not selected at x 13
#define IDB_CHECKBOX_OFF                198  // CCheckBox strip, unchecked: normal, hot, pressed
#define IDB_CHECKBOX_ON                 199  // CCheckBox strip, checked: normal, hot, pressed
#define IDB_DIALOG_LARGE                200  // 528 x 461
#define IDB_DIALOG_SMALL                201  // 450 x 393
#define IDB_BUTTON_SMALL                202  // 81 x 21
#define IDB_BUTTON_WIDE                 203  // 121 x 21
#define IDB_BUTTON_HEADER               204  // 80 x 31
#define IDB_SUMMARY                     211  // 570 x 498
#define IDB_SCAN_NOW                    237
#define IDB_SCAN_NOW_HOVER              238
#define IDB_SCAN_NOW_DISABLED           239
#define IDB_LAST_RESULTS_HOVER          240
#define IDB_LAST_RESULTS                241
#define IDB_BUTTON_LIGHT                242  // 100 x 21
#define IDB_RESULTS                     247  // 528 x 461
#define IDB_DETAILS                     248
#define IDB_SEVERITY_1                  252  // 1 to 30 errors
#define IDB_SEVERITY_2                  253  // 31 to 60
#define IDB_SEVERITY_3                  254  // 61 to 90
#define IDB_SEVERITY_4                  255  // 91 to 120
#define IDB_SEVERITY_5                  256  // more than 120
#define IDB_HEALTH_0                    257  // no problems
#define IDB_HEALTH_2                    259  // 31 to 60
#define IDB_HEALTH_3                    260  // 61 to 90
#define IDB_HEALTH_4                    261  // 91 to 120
#define IDB_HEALTH_5                    262  // more than 120
#define IDB_PROMOTION                   265
#define IDB_HEALTH_1                    267  // 1 to 30

// ---------------------------------------------------------------------------
// Controls shared by several windows
// ---------------------------------------------------------------------------
#define IDC_TITLE                       1054  // the heading of a window
#define IDC_SUBTITLE                    1061  // the line under it
#define IDC_PROGRESS                    1022  // progress bar (progress, repair, download)
#define IDC_CLOSE_WINDOW                1124  // "Close" (summary, restore, start-up manager)

// Section labels: main window (check box labels) and progress window (row names).
#define IDC_LABEL_ACTIVEX               1083
#define IDC_LABEL_APP_PATHS             1073
#define IDC_LABEL_SOUND                 1075
#define IDC_LABEL_HELP                  1076
#define IDC_LABEL_STARTUP               1082
#define IDC_LABEL_SOFTWARE              1074
#define IDC_LABEL_SHARED_DLL            1077
#define IDC_LABEL_EMPTY_KEYS            1080
#define IDC_LABEL_DRIVERS               1078
#define IDC_LABEL_UNINSTALL             1079
#define IDC_LABEL_FONTS                 1072
#define IDC_LABEL_SHORTCUTS             1081

// ---------------------------------------------------------------------------
// Main window (129)
// ---------------------------------------------------------------------------
#define IDC_CHECK_ACTIVEX               1018  // section check boxes, in section order
#define IDC_CHECK_APP_PATHS             1007
#define IDC_CHECK_SOUND                 1009
#define IDC_CHECK_HELP                  1010
#define IDC_CHECK_STARTUP               1011
#define IDC_CHECK_SOFTWARE              1008
#define IDC_CHECK_SHARED_DLL            1012
#define IDC_CHECK_EMPTY_KEYS            1015
#define IDC_CHECK_DRIVERS               1013
#define IDC_CHECK_UNINSTALL             1014
#define IDC_CHECK_FONTS                 1006
#define IDC_CHECK_SHORTCUTS             1016
#define IDC_SCAN_NOW                    1020
#define IDC_VIEW_LAST_RESULTS           1052
#define IDC_CHECK_UPDATES               1021
#define IDC_HELP_BUTTON                 1022
#define IDC_MINIMIZE                    1025
#define IDC_CLOSE                       1024
#define IDC_NAV_SCAN                    1005
#define IDC_NAV_SETTINGS                1001
#define IDC_NAV_RESTORE                 1002
#define IDC_NAV_STARTUP                 1028
#define IDC_NAV_SOLUTION                1029
#define IDC_TITLE_VERSION               1067
#define IDC_PRODUCT_VERSION             1049
#define IDC_RELEASE_DATE                1050
#define IDC_UPDATE_STATUS               1159
#define IDC_LAST_SCAN_DATE              1156
#define IDC_PROBLEMS                    1142
#define IDC_STATUS_IMAGE                1146
#define IDC_PROMOTION_IMAGE             1153
#define IDC_PROMOTION_LINK              1154

// ---------------------------------------------------------------------------
// Scan progress window (130)
// ---------------------------------------------------------------------------
#define IDC_STOP_SCAN                   1020
#define IDC_CURRENT_ITEM                1023
#define IDC_LOADING                     1084
#define IDC_COUNT_ACTIVEX               1108  // row counts, in section order
#define IDC_COUNT_APP_PATHS             1098
#define IDC_COUNT_SOUND                 1100
#define IDC_COUNT_HELP                  1101
#define IDC_COUNT_STARTUP               1107
#define IDC_COUNT_SOFTWARE              1099
#define IDC_COUNT_SHARED_DLL            1102
#define IDC_COUNT_EMPTY_KEYS            1105
#define IDC_COUNT_DRIVERS               1103
#define IDC_COUNT_UNINSTALL             1104
#define IDC_COUNT_FONTS                 1097
#define IDC_COUNT_SHORTCUTS             1106

// ---------------------------------------------------------------------------
// Results windows (132, 209) and the repair summary (207)
// ---------------------------------------------------------------------------
#define IDC_HEADLINE                    1027
#define IDC_ERROR_COUNT                 1055
#define IDC_REPAIR_PROBLEMS             1024
#define IDC_CREATE_REPORT               1052
#define IDC_SECTION_NOTE                1028
#define IDC_SAVE_SECTION                1129
#define IDC_CANCEL_SECTION              1052
#define IDC_TOTAL_FOUND                 1055
#define IDC_TOTAL_REPAIRED              1056
#define IDC_TOTAL_IGNORED               1057
#define IDC_SUMMARY_NAME_ACTIVEX        1096  // summary rows: name, found, repaired, ignored
#define IDC_SUMMARY_FOUND_ACTIVEX       1108
#define IDC_SUMMARY_REPAIRED_ACTIVEX    1120
#define IDC_SUMMARY_IGNORED_ACTIVEX     1144
#define IDC_SUMMARY_NAME_APP_PATHS      1086
#define IDC_SUMMARY_FOUND_APP_PATHS     1098
#define IDC_SUMMARY_REPAIRED_APP_PATHS  1110
#define IDC_SUMMARY_IGNORED_APP_PATHS   1134
#define IDC_SUMMARY_NAME_SOUND          1088
#define IDC_SUMMARY_FOUND_SOUND         1100
#define IDC_SUMMARY_REPAIRED_SOUND      1112
#define IDC_SUMMARY_IGNORED_SOUND       1136
#define IDC_SUMMARY_NAME_HELP           1089
#define IDC_SUMMARY_FOUND_HELP          1101
#define IDC_SUMMARY_REPAIRED_HELP       1113
#define IDC_SUMMARY_IGNORED_HELP        1137
#define IDC_SUMMARY_NAME_STARTUP        1090
#define IDC_SUMMARY_FOUND_STARTUP       1102
#define IDC_SUMMARY_REPAIRED_STARTUP    1114
#define IDC_SUMMARY_IGNORED_STARTUP     1138
#define IDC_SUMMARY_NAME_SOFTWARE       1087
#define IDC_SUMMARY_FOUND_SOFTWARE      1099
#define IDC_SUMMARY_REPAIRED_SOFTWARE   1111
#define IDC_SUMMARY_IGNORED_SOFTWARE    1135
#define IDC_SUMMARY_NAME_SHARED_DLL     1091
#define IDC_SUMMARY_FOUND_SHARED_DLL    1103
#define IDC_SUMMARY_REPAIRED_SHARED_DLL 1115
#define IDC_SUMMARY_IGNORED_SHARED_DLL  1139
#define IDC_SUMMARY_NAME_EMPTY_KEYS     1094
#define IDC_SUMMARY_FOUND_EMPTY_KEYS    1106
#define IDC_SUMMARY_REPAIRED_EMPTY_KEYS 1118
#define IDC_SUMMARY_IGNORED_EMPTY_KEYS  1142
#define IDC_SUMMARY_NAME_DRIVERS        1092
#define IDC_SUMMARY_FOUND_DRIVERS       1104
#define IDC_SUMMARY_REPAIRED_DRIVERS    1116
#define IDC_SUMMARY_IGNORED_DRIVERS     1140
#define IDC_SUMMARY_NAME_UNINSTALL      1093
#define IDC_SUMMARY_FOUND_UNINSTALL     1105
#define IDC_SUMMARY_REPAIRED_UNINSTALL  1117
#define IDC_SUMMARY_IGNORED_UNINSTALL   1141
#define IDC_SUMMARY_NAME_FONTS          1085
#define IDC_SUMMARY_FOUND_FONTS         1097
#define IDC_SUMMARY_REPAIRED_FONTS      1109
#define IDC_SUMMARY_IGNORED_FONTS       1133
#define IDC_SUMMARY_NAME_SHORTCUTS      1095
#define IDC_SUMMARY_FOUND_SHORTCUTS     1107
#define IDC_SUMMARY_REPAIRED_SHORTCUTS  1119
#define IDC_SUMMARY_IGNORED_SHORTCUTS   1143

// ---------------------------------------------------------------------------
// Repair (142), restore (143) and start-up manager (136) windows
// ---------------------------------------------------------------------------
#define IDC_REPAIR_NOTE                 1055
#define IDC_REPAIR_ITEM                 1038
#define IDC_SELECT_ALL                  1140
#define IDC_SELECT_ALL_LABEL            1141
#define IDC_BACKUP_LIST                 1040
#define IDC_DELETE_BACKUPS              1041
#define IDC_RESTORE_BACKUP              1039
#define IDC_STARTUP_LIST                1024
#define IDC_STARTUP_TITLE               1059
#define IDC_REMOVE_SELECTED             1026

// ---------------------------------------------------------------------------
// Settings window (137)
// ---------------------------------------------------------------------------
#define IDC_OPT_START_WITH_WINDOWS      1027
#define IDC_OPT_SCAN_AT_STARTUP         1028
#define IDC_OPT_TRAY_ON_CLOSE           1029
#define IDC_OPT_AUTO_UPDATES            1030
#define IDC_OPT_START_WITH_WINDOWS_LABEL 1065
#define IDC_OPT_SCAN_AT_STARTUP_LABEL   1066
#define IDC_OPT_TRAY_ON_CLOSE_LABEL     1067
#define IDC_OPT_AUTO_UPDATES_LABEL      1068
#define IDC_VIEW_REPORTS                1052
#define IDC_LANGUAGE                    1039
#define IDC_SCHEDULE                    1040
#define IDC_SCAN_TIME                   1137
#define IDC_DAY_SUNDAY                  1140  // day boxes: Task Scheduler day bit 0x01 ...
#define IDC_DAY_MONDAY                  1141  // 0x02
#define IDC_DAY_TUESDAY                 1142  // 0x04
#define IDC_DAY_WEDNESDAY               1143  // 0x08
#define IDC_DAY_THURSDAY                1144  // 0x10
#define IDC_DAY_FRIDAY                  1145  // 0x20
#define IDC_DAY_SATURDAY                1138  // 0x40
#define IDC_DAY_SUNDAY_LABEL            1170
#define IDC_DAY_MONDAY_LABEL            1171
#define IDC_DAY_TUESDAY_LABEL           1172
#define IDC_DAY_WEDNESDAY_LABEL         1173
#define IDC_DAY_THURSDAY_LABEL          1174
#define IDC_DAY_FRIDAY_LABEL            1175
#define IDC_DAY_SATURDAY_LABEL          1176
#define IDC_HEADING_GENERAL             1130
#define IDC_HEADING_REPORTS             1165
#define IDC_HEADING_LANGUAGE            1132
#define IDC_HEADING_SCHEDULER           1133
#define IDC_HEADING_TIME                1135

// ---------------------------------------------------------------------------
// Send-log (144), custom-solution (145) and download (212) windows
// ---------------------------------------------------------------------------
#define IDC_LOG_TEXT                    1055
#define IDC_REPORT_EDIT                 1041
#define IDC_NAME_LABEL                  1072
#define IDC_NAME_EDIT                   1044
#define IDC_EMAIL_LABEL                 1070
#define IDC_EMAIL_EDIT                  1042
#define IDC_DESCRIPTION_LABEL           1071
#define IDC_DESCRIPTION_EDIT            1043
#define IDC_RUN_SOLUTION                1045
#define IDC_STATUS_LABEL                1069
#define IDC_SOLUTION_STATUS             1044
#define IDC_INSTRUCTIONS_LABEL          1068
#define IDC_INSTRUCTIONS                1043
#define IDC_DL_DOWNLOADED_LABEL         1181
#define IDC_DL_SPEED_LABEL              1182
#define IDC_DL_SIZE_LABEL               1183
#define IDC_DL_ELAPSED_LABEL            1184
#define IDC_DL_DOWNLOADED               1185
#define IDC_DL_SPEED                    1186
#define IDC_DL_SIZE                     1187
#define IDC_DL_ELAPSED                  1188

// ---------------------------------------------------------------------------
// Tray menu commands
// ---------------------------------------------------------------------------
#define ID_TRAY_EXIT                    32773
#define ID_TRAY_OPEN                    32774
#define ID_TRAY_SCAN                    32777
#define ID_TRAY_CHECK_UPDATES           32778
#define ID_TRAY_LANGUAGE_ENGLISH        32781
#define ID_TRAY_STARTUP_YES             32782
#define ID_TRAY_STARTUP_NO              32783

// ---------------------------------------------------------------------------
// Strings
// ---------------------------------------------------------------------------
#define IDS_SECTION_NAME_FIRST          20000  // + section index (0-11): the section's name
#define IDS_SECTION_DESCRIPTION_FIRST   20016  // + section index: its description (tool tip)
// Application, tray and main window
#define IDS_APP_NAME                     20100
#define IDS_MAIN_TITLE                   20101
#define IDS_WAIT_FOR_SCAN                20102
#define IDS_SCAN_IN_PROGRESS             20103
#define IDS_MAKE_SELECTION               20104
#define IDS_GOOD_NEWS                    20105
#define IDS_NO_CONNECTION                20106
#define IDS_UPDATE_ASK                   20107
#define IDS_NO_UPDATES                   20108
#define IDS_UPDATES_TITLE                20109
#define IDS_UPDATE_INSTALLED             20110
#define IDS_DOWNLOAD_FAILED              20111
#define IDS_VERSION_FORMAT               20112
#define IDS_PROBLEMS_FIRST               20113
#define IDS_ZERO_ERRORS                  20114
#define IDS_ERRORS_FORMAT                20115
#define IDS_CHECKING                     20116
#define IDS_UPDATE_STATUS_AVAILABLE      20117
#define IDS_UPDATE_STATUS_NONE           20118
#define IDS_SCAN_BUTTON_TIP              20119
#define IDS_PROBLEMS_TIP                 20120
#define IDS_DOWNLOAD_NOW                 20121
// Scan progress window
#define IDS_PROGRESS_CAPTION             20140
#define IDS_PROGRESS_HEADING             20141
#define IDS_PROGRESS_NOTE                20142
#define IDS_STOP_SCAN                    20143
#define IDS_SECTION_COUNT_FORMAT         20144
#define IDS_SCAN_COMPLETED               20145
#define IDS_SCAN_INTERRUPTED             20146
// Results windows and repair summary
#define IDS_RESULTS_CAPTION              20160
#define IDS_RESULTS_HEADING              20161
#define IDS_RESULTS_HEADLINE_FORMAT      20162
#define IDS_REPAIR_PROBLEMS              20163
#define IDS_CREATE_REPORT                20164
#define IDS_REPORT_SAVED_FORMAT          20165
#define IDS_REPORT_FAILED                20166
#define IDS_SECTION_CAPTION              20167
#define IDS_SECTION_HEADLINE_FORMAT      20168
#define IDS_SECTION_NOTE                 20169
#define IDS_SAVE                         20170
#define IDS_CANCEL                       20171
#define IDS_SUMMARY_CAPTION              20172
#define IDS_SUMMARY_HEADING              20173
#define IDS_CLOSE                        20174
// Repair, restore and start-up manager windows
#define IDS_REPAIR_CAPTION               20180
#define IDS_REPAIR_HEADING               20181
#define IDS_REPAIR_NOTE                  20182
#define IDS_ABORT                        20183
#define IDS_REPAIR_DONE                  20184
#define IDS_RESTORE_CAPTION              20185
#define IDS_RESTORE_HEADING              20186
#define IDS_RESTORE_NOTE                 20187
#define IDS_SELECT_ALL                   20188
#define IDS_DELETE                       20189
#define IDS_RESTORE                      20190
#define IDS_SINGLE_SELECTION             20191
#define IDS_RESTORED                     20192
#define IDS_SELECTION_FIRST              20193
#define IDS_BACKUP_DATE_FORMAT           20194
#define IDS_STARTUP_CAPTION              20195
#define IDS_STARTUP_HEADING              20196
#define IDS_REMOVE_SELECTED              20197
#define IDS_COLUMN_PROGRAM               20198
#define IDS_COLUMN_FILE_NAME             20199
#define IDS_COLUMN_LOCATION              20200
#define IDS_SELECT_ITEM_FIRST            20201
#define IDS_STARTUP_REMOVED              20202
#define IDS_REPAIR_NO_BACKUP             20203
#define IDS_REPAIR_PART_BACKUP           20204
#define IDS_RESTORE_UNREADABLE           20205
#define IDS_RESTORE_PARTIAL              20206
#define IDS_RESTORE_DAMAGED              20207
#define IDS_EXIT_DURING_REPAIR           20208
#define IDS_RESULTS_STILL_OPEN           20209
#define IDS_RESTORE_NOT_WRITTEN          20175
#define IDS_REPAIR_NOT_STARTED           20282
#define IDS_REPAIR_UNREADABLE            20283
#define IDS_REPAIR_NOT_DELETED           20284
#define IDS_REPAIR_REST_DONE             20285
#define IDS_REPAIR_LEFT_KEPT             20286
#define IDS_REPAIR_LEFT_NOT_SAVED        20287
#define IDS_SCAN_NOT_STARTED             20288
#define IDS_SECTION_NOT_CHECKED_FORMAT   20289
// Settings window
#define IDS_SETTINGS_CAPTION             20210
#define IDS_SETTINGS_HEADING             20211
#define IDS_HEADING_GENERAL              20212
#define IDS_HEADING_REPORTS              20213
#define IDS_HEADING_LANGUAGE             20214
#define IDS_HEADING_SCHEDULER            20215
#define IDS_HEADING_TIME                 20216
#define IDS_OPT_START_WITH_WINDOWS       20217
#define IDS_OPT_SCAN_AT_STARTUP          20218
#define IDS_OPT_TRAY_ON_CLOSE            20219
#define IDS_OPT_AUTO_UPDATES             20220
#define IDS_VIEW_REPORTS                 20221
#define IDS_LANGUAGE_ENGLISH             20222
#define IDS_SCHEDULE_NONE                20223
#define IDS_SCHEDULE_DAILY               20224
#define IDS_SCHEDULE_WEEKLY              20225
#define IDS_TIME_FORMAT                  20226
#define IDS_SUNDAY                       20227
#define IDS_MONDAY                       20228
#define IDS_TUESDAY                      20229
#define IDS_WEDNESDAY                    20230
#define IDS_THURSDAY                     20231
#define IDS_FRIDAY                       20232
#define IDS_SATURDAY                     20233
#define IDS_SETTINGS_SAVED               20234
// Send-log and custom-solution windows
#define IDS_SEND_LOG_CAPTION             20240
#define IDS_ADVANCED_REPAIR              20241
#define IDS_LOG_INTRO                    20242
#define IDS_LOG_TEXT                     20243
#define IDS_NAME_LABEL                   20244
#define IDS_EMAIL_LABEL                  20245
#define IDS_DESCRIPTION_LABEL            20246
#define IDS_SEND_REPORT                  20247
#define IDS_ENTER_NAME                   20248
#define IDS_ENTER_EMAIL                  20249
#define IDS_BAD_EMAIL                    20250
#define IDS_ENTER_DESCRIPTION            20251
#define IDS_LOG_LANGUAGE_FORMAT          20252
#define IDS_SOLUTION_CAPTION             20253
#define IDS_SOLUTION_STATUS_LABEL        20254
#define IDS_INSTRUCTIONS_LABEL           20255
#define IDS_RUN_SOLUTION                 20256
#define IDS_SOLUTION_AVAILABLE           20257
#define IDS_SOLUTION_PENDING             20258
#define IDS_SOLUTION_NOT_YET             20259
#define IDS_SOLUTION_DONE                20260
// Download window
#define IDS_DOWNLOAD_HEADING             20270
#define IDS_DOWNLOAD_NOTE                20271
#define IDS_DL_DOWNLOADED_LABEL          20272
#define IDS_DL_SPEED_LABEL               20273
#define IDS_DL_SIZE_LABEL                20274
#define IDS_DL_ELAPSED_LABEL             20275
#define IDS_KB_FORMAT                    20276
#define IDS_ELAPSED_FORMAT               20277
#define IDS_ELAPSED_ZERO                 20278
#define IDS_SPEED_INITIALIZING           20279
#define IDS_SPEED_FORMAT                 20280
#define IDS_UPDATE_REJECTED              20281
