// The notification-area icon: its record, the shell calls, and what clicks do
// to its notification window.
#include "desktop/tray_icon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kCallback = 0x8D28;

std::vector<WPARAM> g_commands;
UINT g_defaultItem = 0;
bool g_menuShown = false;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: g_commands.push_back(wParam); return 0;
    case WM_INITMENUPOPUP:
        g_menuShown = true;
        g_defaultItem = GetMenuDefaultItem(reinterpret_cast<HMENU>(wParam), FALSE, 0);
        return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

HWND MakeWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &RecordingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MdTrayTestWnd";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"MdTrayTestWnd", L"tray owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 200, 100,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

TEST(MdTrayIcon, RecordTakesIdSizeAndTooltipOfTheResource) {
    CTrayIcon tray(201);
    EXPECT_EQ(tray.Data().cbSize, 952u);
    EXPECT_EQ(tray.Data().uID, 201u);
    EXPECT_EQ(std::wstring(tray.Data().szTip), L"Melodrift tray test");
    CTrayIcon none(999);
    EXPECT_EQ(std::wstring(none.Data().szTip), L"");
    EXPECT_FALSE(none.IsShown());
}

TEST(MdTrayIcon, NotificationWindowAndMessageRules) {
    CTrayIcon tray(201);
    EXPECT_FALSE(tray.SetNotificationWnd(nullptr, kCallback));
    EXPECT_FALSE(tray.SetNotificationWnd(reinterpret_cast<HWND>(0x1234), kCallback));
    HWND wnd = MakeWindow();
    EXPECT_TRUE(tray.SetNotificationWnd(wnd, 100));  // below WM_USER: no message
    EXPECT_EQ(tray.Data().uCallbackMessage, 0u);
    EXPECT_TRUE(tray.SetNotificationWnd(wnd, kCallback));
    EXPECT_EQ(tray.Data().uCallbackMessage, kCallback);
    EXPECT_EQ(tray.Data().hWnd, wnd);
    DestroyWindow(wnd);
}

TEST(MdTrayIcon, AddModifyDeleteThroughTheShell) {
    HWND wnd = MakeWindow();
    {
        CTrayIcon tray(201);
        ASSERT_TRUE(tray.SetNotificationWnd(wnd, kCallback));
        EXPECT_TRUE(tray.SetIcon(nullptr, nullptr));  // nothing shown: nothing to delete
        HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
        ASSERT_TRUE(tray.SetIcon(icon, L"first"));
        EXPECT_TRUE(tray.IsShown());
        EXPECT_EQ(tray.Data().uFlags, static_cast<UINT>(NIF_ICON | NIF_TIP | NIF_MESSAGE));
        EXPECT_TRUE(tray.SetIcon(icon, L"second"));  // modified
        EXPECT_EQ(std::wstring(tray.Data().szTip), L"second");
        EXPECT_TRUE(tray.SetIcon(202));
        EXPECT_EQ(std::wstring(tray.Data().szTip), L"A tooltip from the string table");
        EXPECT_TRUE(tray.SetIcon(0u));
        EXPECT_FALSE(tray.IsShown());
        EXPECT_TRUE(tray.SetIcon(icon, nullptr));
        EXPECT_TRUE(tray.IsShown());
    }  // the destructor deletes it: a second delete of the same id fails in the shell
    NOTIFYICONDATAW nid = {};
    nid.cbSize = CTrayIcon::kRecordSize;
    nid.hWnd = wnd;
    nid.uID = 201;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &nid));
    DestroyWindow(wnd);
}

TEST(MdTrayIcon, LongTooltipIsCutToTheRecord) {
    HWND wnd = MakeWindow();
    CTrayIcon tray(201);
    tray.SetNotificationWnd(wnd, kCallback);
    std::wstring tip(300, L'x');
    tip[126] = L'a';
    tip[127] = L'b';
    tray.SetIcon(LoadIconW(nullptr, IDI_APPLICATION), tip.c_str());
    std::wstring stored = tray.Data().szTip;
    EXPECT_EQ(stored.size(), 127u);
    EXPECT_EQ(stored.back(), L'a');
    DestroyWindow(wnd);
}

TEST(MdTrayIcon, ClicksBecomeCommandsOfTheWindow) {
    HWND wnd = MakeWindow();
    CTrayIcon tray(201);
    tray.SetNotificationWnd(wnd, kCallback);
    g_commands.clear();
    EXPECT_EQ(tray.OnTrayNotification(202, WM_LBUTTONDBLCLK), 0);  // another icon
    EXPECT_EQ(tray.OnTrayNotification(201, WM_MOUSEMOVE), 0);
    EXPECT_EQ(tray.OnTrayNotification(201, WM_LBUTTONUP), 0);
    EXPECT_TRUE(g_commands.empty());
    EXPECT_EQ(tray.OnTrayNotification(201, WM_LBUTTONDBLCLK), 1);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0], 14080u);
    EXPECT_EQ(tray.OnTrayNotification(201, WM_LBUTTONDOWN), 1);
    EXPECT_EQ(g_commands.size(), 1u);

    // Right release: the menu opens with Restore/Zoom as its default item; a
    // timer closes it again.
    g_menuShown = false;
    SetTimer(wnd, 1, 300, &CloseMenu);
    EXPECT_EQ(tray.OnTrayNotification(201, WM_RBUTTONUP), 1);
    KillTimer(wnd, 1);
    EXPECT_TRUE(g_menuShown);
    EXPECT_EQ(g_defaultItem, 14080u);
    DestroyWindow(wnd);
}

}  // namespace
