#include "controls_test_support.h"

#include "fw/strutil.h"
#include "klarwin/ui/item_list.h"

#include <gtest/gtest.h>

#include <thread>

const CMessageMap& CHostDialog::GetThisMessageMap() {
    static const CMessageMap map = CMessageMap::Build<CHostDialog>(&CBitmapDialog::GetThisMessageMap())
        .OnMessage(kRunMessage, &CHostDialog::OnRun)
        .OnMessage(WM_ITEM_STATE_CLICKED, &CHostDialog::OnStateClick);
    return map;
}

BOOL CHostDialog::OnInitDialog() {
    CBitmapDialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
}

BOOL CHostDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    }
    return CBitmapDialog::OnCommand(wParam, lParam);
}

BOOL CHostDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* nm = reinterpret_cast<const NMHDR*>(lParam);
    if (nm && nm->code == NM_CLICK) ++m_notifyClicks;
    return CBitmapDialog::OnNotify(wParam, lParam, result);
}

std::vector<std::pair<int, int>> CHostDialog::Commands() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commands;
}

std::vector<WPARAM> CHostDialog::StateClicks() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_stateClicks;
}

LRESULT CHostDialog::OnRun(WPARAM, LPARAM lParam) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 1;
}

LRESULT CHostDialog::OnStateClick(WPARAM wParam, LPARAM) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_stateClicks.push_back(wParam);
    return 1;
}

void RunOnUi(HWND hwnd, const std::function<void()>& fn) {
    SendMessageW(hwnd, CHostDialog::kRunMessage, 0, reinterpret_cast<LPARAM>(&fn));
}

INT_PTR RunWithUser(CDialog& dialog, const std::wstring& title, const std::function<void(HWND)>& user) {
    std::thread driver([&] {
        uidriver::WindowQuery query;
        query.title = title;
        query.processId = GetCurrentProcessId();
        HWND hwnd = uidriver::WaitForTopWindow(query);
        if (hwnd) {
            SettlePainting(hwnd);
            user(hwnd);
            PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        } else {
            ADD_FAILURE_AT(__FILE__, __LINE__) << "no window titled " << fw::ToUtf8(title);
        }
    });
    INT_PTR result = dialog.DoModal();
    driver.join();
    return result;
}

namespace {
bool LoadResourceBits(UINT id, std::vector<std::uint32_t>& bits, SIZE& size) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    BITMAP bm = {};
    GetObjectW(bitmap, sizeof bm, &bm);
    size = {bm.bmWidth, bm.bmHeight};
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bits.assign(static_cast<std::size_t>(bm.bmWidth) * bm.bmHeight, 0);
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), bits.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    return rows == bm.bmHeight;
}
}  // namespace

COLORREF ResourcePixel(UINT id, int x, int y) {
    std::vector<std::uint32_t> bits;
    SIZE size = {};
    if (!LoadResourceBits(id, bits, size) || x < 0 || y < 0 || x >= size.cx || y >= size.cy) return CLR_INVALID;
    std::uint32_t p = bits[static_cast<std::size_t>(y) * size.cx + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

SIZE ResourceBitmapSize(UINT id) {
    std::vector<std::uint32_t> bits;
    SIZE size = {};
    LoadResourceBits(id, bits, size);
    return size;
}

void SettlePainting(HWND hwnd) {
    // A message sent through the window's queue comes back only after the
    // messages before it; painting follows when the queue is empty.
    for (int i = 0; i < 3; ++i) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Sleep(30);
    }
}
