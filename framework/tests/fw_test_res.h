/* Resource ids of the framework tests. */
#ifndef FW_TEST_RES_H
#define FW_TEST_RES_H

#define IDD_PROOF 100
#define IDD_SIMPLE 101
#define IDD_MISSING 199

#define IDC_NAME 1001
#define IDC_REMEMBER 1002
#define IDC_STATUS 1003
#define IDC_APPLY 1004
#define IDC_GREETING 1005

#define IDR_TESTFRAME 200
#define IDB_TEST 300
#define IDR_DATA 301

#define ID_OPEN 40001
#define ID_SAVE 40002
#define ID_RECENT 40003
#define ID_UNHANDLED 40004
#define ID_CHILDONLY 40005
#define ID_SKIN_FIRST 40010
#define ID_SKIN_LAST 40015

#define IDS_HELLO 1
#define IDS_CYRILLIC 17
#define IDS_EMPTYLINE 18

#endif
