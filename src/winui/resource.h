// Identifiers of the native window's resources: dialog templates, their controls, the icon and the
// manifest. Read by windres and by C++; plain #defines only.
//
// The main dialog's controls carry the ids of qx::ctl (MainDialogRules.h), and each of them shows
// the string of its own id. The sub-dialogs' controls are numbered from 1300 up, by dialog.
#pragma once

#define IDC_STATIC (-1)

// Dialogs.
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_TASK_LIST 130
#define IDD_DRIVE_SELECT 132
#define IDD_DELETE_LIST 134
#define IDD_DRIVE_LIST 136
#define IDD_TASK_EDITOR 140
#define IDD_TASK_PARAMETERS 141
#define IDD_DELETE_EDITOR 142
#define IDD_DRIVE_EDITOR 143
#define IDD_WATCHDOG_BOX 150
#define IDD_JOB_WATCHER 151
#define IDD_CONFERENCE 152
#define IDD_TEST_DELETE 153

// The program's icon.
#define IDI_MAINFRAME 128

// System menu command of the About box.
#define IDM_ABOUTBOX 16

// Main dialog (the values of qx::ctl).
#define IDC_SAVE 1000
#define IDC_CLOCK 1001
#define IDC_WEEK 1002
#define IDC_WEEKLY 1003
#define IDC_MONTHLY 1004
#define IDC_NO_MOVE 1005
#define IDC_DEL_LOG_FILES 1006
#define IDC_WAIT_LIST 1007
#define IDC_WAIT_UNIT 1008
#define IDC_ABOUT 1009
#define IDC_START_TASKS 1010
#define IDC_CANCEL 1011
#define IDC_START_2ND_BATCH 1022
#define IDC_TEST_MOVE 1023
#define IDC_TEST_DELETE 1024
#define IDC_TEST_BATCH 1025
#define IDC_HD_ACTIVE 1028
#define IDC_SELECT_DRIVES 1029
#define IDC_MIN_SPACE 1031
#define IDC_DIAL_PHONE 1032
#define IDC_PHONE_NUMBER 1033
#define IDC_SEND_SMS 1034
#define IDC_SMS_NUMBER 1035
#define IDC_START_ALARM 1036
#define IDC_ALARM_LIST 1037
#define IDC_CHECK_HOUR 1038
#define IDC_DRIVE_LIST 1039
#define IDC_DRIVES_LABEL 1040
#define IDC_MIN_SPACE_LABEL 1041
#define IDC_MB_LABEL 1042
#define IDC_START_BATCH 1043
#define IDC_BATCH_PROG 1044
#define IDC_CONFERENCE 1045
#define IDC_PRINT_REPORT 1046
#define IDC_PRINT_NOW 1047
#define IDC_CHECK_JOB_FILES 1070
#define IDC_WATCHDOG 1071
#define IDC_BACKUP_ACTIVE 1072
#define IDC_BACKUP_PATH 1073
#define IDC_CONFERENCE_SETTINGS 1085
#define IDC_DEL_ALARM_WAV 1087
#define IDC_DEL_ALARM_WAV_LIST 1088
#define IDC_DELETE_MORE_FILES 1106
#define IDC_DELETE_MORE_SETTINGS 1107
#define IDC_EDIT_BATCH 1108
#define IDC_EXTENDED_MONITOR 1122
#define IDC_PRINT_DAILY 1132
#define IDC_PRINT_WEEKLY 1133
#define IDC_PICTURE 1150
#define IDC_BUSY 1151

// The three list dialogs (Back is IDCANCEL).
#define IDC_LIST_ROWS 1300
#define IDC_LIST_ADD 1301
#define IDC_LIST_EDIT 1302
#define IDC_LIST_DELETE 1303

// The editors: the heading says whether an entry is added or edited.
#define IDC_EDITOR_HEADING 1310

// Task editor.
#define IDC_TASK_DAY 1320
#define IDC_TASK_HOUR 1321
#define IDC_TASK_KIND_PROGRAM 1322
#define IDC_TASK_KIND_MODULE 1323
#define IDC_TASK_KIND_ALARM 1324
#define IDC_TASK_PROGRAM 1325
#define IDC_TASK_BROWSE 1326
#define IDC_TASK_WEEK_PARAMETER 1327
#define IDC_TASK_MODULE 1328
#define IDC_TASK_PARAMETERS 1329
#define IDC_TASK_ALARM 1330

// Task parameters: texts s1..s9 and numbers i1..i9.
#define IDC_PARAM_TEXT_FIRST 1340
#define IDC_PARAM_NUMBER_FIRST 1350
#define IDC_PARAM_COUNT 9

// Deletion rule editor.
#define IDC_DEL_PATH 1360
#define IDC_DEL_BROWSE 1361
#define IDC_DEL_ALL 1362
#define IDC_DEL_ONLY 1363
#define IDC_DEL_PATTERN 1364
#define IDC_DEL_WEEKS 1365

// Drive monitor editor.
#define IDC_DRV_DRIVE 1370
#define IDC_DRV_PERCENT 1371
#define IDC_DRV_PERCENT_SPIN 1372
#define IDC_DRV_ALARM 1373

// Watchdog box (Save is IDOK).
#define IDC_WD_ACTIVE 1400
#define IDC_WD_NUMBER 1401
#define IDC_WD_INTERVAL 1402
#define IDC_WD_ALARM_NO_ANSWER 1403
#define IDC_WD_NO_ANSWER_ALARM 1404
#define IDC_WD_SEND_CODE 1405
#define IDC_WD_SEND_CODE_TEXT 1406
#define IDC_WD_GET_CODE 1407
#define IDC_WD_CONF_CODE 1408
#define IDC_WD_NO_CODE_ALARM 1409
#define IDC_WD_WRITE_WARNING 1410
#define IDC_WD_WARNING 1411
#define IDC_WD_TEST_CALL 1412
#define IDC_WD_LOGFILE 1413

// Job watcher: slot n (0..2) uses IDC_JOB_SLOT_FIRST + 10 * n plus the offsets below.
#define IDC_JOB_SLOT_FIRST 1420
#define IDC_JOB_SLOT_STRIDE 10
#define IDC_JOB_OFS_BOX 0
#define IDC_JOB_OFS_CHECK 1
#define IDC_JOB_OFS_DIR 2
#define IDC_JOB_OFS_DIR_BROWSE 3
#define IDC_JOB_OFS_MOVE 4
#define IDC_JOB_OFS_MOVE_DIR 5
#define IDC_JOB_OFS_MOVE_BROWSE 6
#define IDC_JOB_ON_PROGRAM 1450
#define IDC_JOB_ON_ALARM 1451
#define IDC_JOB_PROGRAM 1452
#define IDC_JOB_ALARM 1453

// Drive selection: C: to F:.
#define IDC_SEL_DRIVE_FIRST 1460

// Conference recordings (Save is IDOK).
#define IDC_CONF_MOVE 1470
#define IDC_CONF_MOVE_WEEKS 1471
#define IDC_CONF_MOVE_WEEKS_SPIN 1472
#define IDC_CONF_MOVE_TO 1473
#define IDC_CONF_MOVE_TO_BROWSE 1474
#define IDC_CONF_DELETE 1475
#define IDC_CONF_DELETE_WEEKS 1476
#define IDC_CONF_DELETE_WEEKS_SPIN 1477
#define IDC_CONF_DELETE_FROM 1478
#define IDC_CONF_DELETE_FROM_BROWSE 1479
#define IDC_CONF_DAILY 1480
#define IDC_CONF_TEST_DELETE 1481

// Test delete of the conference recordings (Close is IDCANCEL).
#define IDC_TD_CAPTION 1490
#define IDC_TD_FILES 1491
#define IDC_TD_DELETE_NOW 1492

// About box.
#define IDC_ABOUT_ICON 1500
#define IDC_ABOUT_TITLE 1501
#define IDC_ABOUT_VERSION 1502
#define IDC_ABOUT_TEXT 1503
