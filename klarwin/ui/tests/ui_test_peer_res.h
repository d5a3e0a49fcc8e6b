// Ids of the test peer program's dialog.
#pragma once

#define IDD_PEER        100
#define IDC_PEER_TEXT   1001
#define IDC_PEER_OPTION 1002
#define IDC_PEER_ASK    1003
#define IDC_PEER_PANEL  1004
