// Resource identifiers of Mediview.dll.
#pragma once

#define IDD_MEDIVIEW_ABOUT 100
#define IDC_MEDIVIEW_ICON 1000
