// Mediview: the media-info library of Melodrift; here its About box.
//
// A plain C boundary: a product identifier, window handles and numbers; no
// C++ object and no exception crosses it.
#ifndef MEDIVIEW_MEDIVIEW_H
#define MEDIVIEW_MEDIVIEW_H

#include <windows.h>

#ifdef MEDIVIEW_BUILD
#  define MEDIVIEW_API __declspec(dllexport)
#else
#  define MEDIVIEW_API __declspec(dllimport)
#endif
#define MEDIVIEW_CALL __cdecl

// Product identifiers known to ShowMMInfo.
#define MEDIVIEW_PRODUCT_MELODRIFT 0x4D440401UL

// Caption of the About box of Melodrift and the control identifiers of its
// dialog (for automation and tests).
#define MEDIVIEW_ABOUT_CAPTION L"About Melodrift"
#define MEDIVIEW_IDC_PRODUCT 1001    // static: the product name
#define MEDIVIEW_IDC_VERSION 1002    // static: "Version " and the version
#define MEDIVIEW_IDC_COPYRIGHT 1003  // static: the maker's line
#define MEDIVIEW_IDC_CLOSE IDCANCEL  // the "Close" button

#ifndef RC_INVOKED

#ifdef __cplusplus
extern "C" {
#endif

// Shows the About information of the product as a modal dialog owned by
// `owner` (may be null) and returns when it is closed. The version is read
// from the version resource of the program (the process's .exe) when it has
// one. 1 when the box was shown, 0 for an unknown product or when the dialog
// could not be created.
MEDIVIEW_API int MEDIVIEW_CALL ShowMMInfo(unsigned long productId, HWND owner);

// The version text ShowMMInfo shows ("4.0.96"), copied into `buffer` of
// `capacity` wide characters with its terminating zero. Answers the length,
// or 0 when the program has no version resource or the buffer is too small.
MEDIVIEW_API int MEDIVIEW_CALL MediviewGetProgramVersion(wchar_t* buffer, int capacity);

#ifdef __cplusplus
}
#endif

#endif  // RC_INVOKED

#endif
