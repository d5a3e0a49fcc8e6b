// The secondary windows that the main window and the application object open,
// each the one instance of its class. Until their own content is built they
// show their template, caption and background, and close with the close box
// or Escape. The windows already built (results, summary, repair, restore,
// start-up manager) come in with their own headers.
#pragma once

#include "fw/singleton.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/repair_dialogs.h"
#include "klarwin/ui/scan_results_dialog.h"

class CSecondaryDialog : public CBitmapDialog {
public:
    CSecondaryDialog(UINT templateId, UINT bitmapId, CWnd* parent = nullptr);
    BOOL OnInitDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

protected:
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    UINT m_nBitmap;
};

#define KLARWIN_SECONDARY_DIALOG(ClassName)                                       \
    class ClassName : public CSecondaryDialog, public CSingleton<ClassName> {     \
    public:                                                                       \
        explicit ClassName(CWnd* parent = nullptr);                               \
    }

KLARWIN_SECONDARY_DIALOG(CSettingsDialog);
KLARWIN_SECONDARY_DIALOG(CSendLogDialog);
KLARWIN_SECONDARY_DIALOG(CCustomSolnDialog);
KLARWIN_SECONDARY_DIALOG(CDownloadDialog);

#undef KLARWIN_SECONDARY_DIALOG
