// The scan results windows: CScanResultsDialog lists the errors of the last
// scan grouped by section (CScanResultContainer), lets the user deselect whole
// sections or, in CSectionResultDialog (CSectionResultsContainer), single
// errors, and then repairs the selected errors or keeps all of them as
// unresolved ("unresolvederrors.dat" and "IgnoredErrorsCount"). CResultStatus
// is the repair summary shown after a repair.
#pragma once

#include "fw/array.h"
#include "fw/singleton.h"
#include "fw/win/dialog.h"
#include "fw/win/gdi.h"
#include "klarwin/brisko_engine.h"
#include "klarwin/ui/bitmap_button.h"
#include "klarwin/ui/bitmap_dialog.h"
#include "klarwin/ui/color_static.h"

#include <string>
#include <vector>

class CUIntArrayEx : public CArray<unsigned int> {};

// One error of the list as the results windows show it.
class CScanResultInfo {
public:
    virtual ~CScanResultInfo() = default;
    CError error;
    int listIndex = 0;
    int section = 0;
    int indexInSection = 0;
    bool selected = true;
};

// One row of the results list: a section that has errors.
class CSectionResultInfo {
public:
    virtual ~CSectionResultInfo() = default;
    int count = 0;
    int errorCount = 0;
    int section = 0;
    bool selected = true;
    int row = 0;
    int firstError = 0;
    bool hot = false;
};

// A child dialog with a vertical scroller: a line is 60 pixels, a page the
// client height, the wheel moves by lines as the system's setting says.
class CScrollingContainer : public CDialog {
public:
    static constexpr int kLine = 60;
    explicit CScrollingContainer(UINT templateId);

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    void OnOK() override {}
    void OnCancel() override {}

    // Back to the top with `content` pixels of content.
    void ResetScroller(int content);
    int GetScrollOffset() const { return m_nPos; }
    int GetContentHeight() const { return m_nContent; }
    // Moves to `pos` (kept within 0 and content - page).
    void ScrollTo(int pos);
    // The wheel rule: the number of pixels one wheel turn of `delta` moves (signed).
    int WheelDistance(int delta) const;

protected:
    virtual void DrawContent(HDC dc, const RECT& client) = 0;
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnVScroll(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseWheel(WPARAM wParam, LPARAM lParam);
    int PageHeight() const;
    void UpdateScrollBar();

    bool m_bFilling = false;
    int m_nContent = 0;
    int m_nPos = 0;
};

class CScanResultContainer : public CScrollingContainer {
public:
    static constexpr int kRowHeight = 35;
    CScanResultContainer();
    ~CScanResultContainer() override;

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // Rebuilds the rows from the error list; returns the number of errors.
    int Fill(const CErrorListEx& errors, const SectionCounters& counters);
    std::vector<CScanResultInfo*>& Infos() { return m_infos; }
    std::vector<CSectionResultInfo*>& Rows() { return m_rows; }
    // Flips the check mark of row r and of all its errors.
    void ToggleRow(int row);
    // Severity bar bitmap for a section count (0: none).
    static UINT SeverityBitmap(int count);

protected:
    void DrawContent(HDC dc, const RECT& client) override;
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);

private:
    void Clear();
    void RedrawRow(int row);
    int RowAt(int y) const;
    bool OverDetails(POINT pt, int& row) const;
    void OpenSection(int row);

    std::vector<CScanResultInfo*> m_infos;
    std::vector<CSectionResultInfo*> m_rows;
    int m_nLastToggled = -1;
    HCURSOR m_hand = nullptr;
    HCURSOR m_arrow = nullptr;
};

class CSectionResultsContainer : public CScrollingContainer {
public:
    static constexpr int kRowHeight = 60;
    CSectionResultsContainer();

    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    void Fill(CScanResultInfo** first, int count);
    int GetCurrentRow() const { return m_nCurrent; }
    // The text under the title: the reason (registry errors) or the path (file
    // errors), every "\" followed by a blank so long paths can wrap.
    static std::wstring DetailText(const CError& error);

protected:
    void DrawContent(HDC dc, const RECT& client) override;
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);

private:
    void RedrawRow(int row);
    CScanResultInfo** m_first = nullptr;
    int m_nCount = 0;
    int m_nCurrent = -1;
};

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
