// The lists of the results windows: the errors of the last scan as rows and
// their check marks. CScanResultContainer shows a row a section with errors
// (a click on its box checks or clears the whole section, its details icon
// opens the section window); CSectionResultsContainer shows the errors of one
// section, each with its own box. Both scroll by CScrollingContainer.
#pragma once

#include "fw/win/dialog.h"
#include "klarwin/brisko_engine.h"

#include <windows.h>

#include <string>
#include <vector>

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
