// The scan results windows: CScanResultsDialog lists the errors of the last
// scan grouped by section (CScanResultContainer, result_lists.h), lets the
// user deselect whole sections or, in CSectionResultDialog
// (CSectionResultsContainer), single errors, and then repairs the selected
// errors or keeps all of them as unresolved ("unresolvederrors.dat" and
// "IgnoredErrorsCount"). CResultStatus is the repair summary shown after a
// repair.
#pragma once

#include "fw/array.h"
#include "fw/singleton.h"
#include "fw/win/dialog.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/color_static.h"
#include "klarwin/ui/result_lists.h"

#include <string>

class CUIntArrayEx : public CArray<unsigned int> {};

class CSectionResultDialog : public CBitmapDialog {
public:
    explicit CSectionResultDialog(CWnd* parent = nullptr);
    ~CSectionResultDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    void SetSection(const std::wstring& name, CScanResultInfo** first, int count);
    BOOL OnInitDialog() override;
    void OnSave();
    void OnCancelChanges();

private:
    std::wstring m_strName;
    CScanResultInfo** m_first = nullptr;
    int m_nCount = 0;
    CUIntArrayEx m_snapshot;
    CSectionResultsContainer m_list;
    CXColorStatic m_title, m_headline, m_note;
    CBitmapButtonEx m_save, m_cancel;
};

class CScanResultsDialog : public CBitmapDialog, public CSingleton<CScanResultsDialog> {
public:
    explicit CScanResultsDialog(CWnd* parent = nullptr);
    ~CScanResultsDialog() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;
    void OnRepairProblems();
    void OnCreateReport();
    CScanResultContainer& Container() { return m_container; }

    int m_nErrorCount = 0;
    bool m_bRepairDone = false;

protected:
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);

private:
    // Moves the errors not selected (all when keepAll) out of the list into
    // the unresolved file, counts them as ignored and stores their number.
    // False, with nothing changed, when the file could not be written.
    bool StoreUnresolved(bool keepAll);

    CScanResultContainer m_container;
    CXColorStatic m_title, m_headline, m_count;
    CBitmapButtonEx m_repair, m_report;
};

class CResultStatus : public CBitmapDialog, public CSingleton<CResultStatus> {
public:
    explicit CResultStatus(CWnd* parent = nullptr);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    BOOL OnInitDialog() override;

private:
    CXColorStatic m_title, m_totals[3];
    CXColorStatic m_cells[12][4];
    CBitmapButtonEx m_close;
};
