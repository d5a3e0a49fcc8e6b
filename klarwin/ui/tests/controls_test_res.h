// Ids of the test dialog of the control tests (controls_test.rc).
#pragma once

#define IDD_CONTROLS_TEST   30001
#define IDC_T_BUTTON        30101
#define IDC_T_BUTTON2       30102
#define IDC_T_PLAIN_BUTTON  30103
#define IDC_T_CHECK         30104
#define IDC_T_CHECK2        30105
#define IDC_T_COLOR         30106
#define IDC_T_COLOR2        30107
#define IDC_T_PLAIN_STATIC  30108
#define IDC_T_LINK          30109
#define IDC_T_PICTURE       30110
#define IDC_T_LIST          30111
#define IDC_T_ICON          30112
