// Resource ids of the media-library chooser (res/library.rc).
#pragma once

#define IDD_LIBRARY 21100
#define IDC_LIBRARY_TREE 21101
