// The About box as the frame opens it: modal, owned by the frame, with the
// product, the program's version and a Close button. A second thread finds
// the box, reads it and closes it the way a user would (the button).
#include "fw/testing/find_window.h"
#include "mediview/mediview.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

std::wstring WindowText(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

struct Seen {
    std::wstring caption;
    std::wstring product;
    std::wstring version;
    std::wstring maker;
    std::wstring button;
    HWND owner = nullptr;
    RECT rect = {};
    bool visible = false;
    bool found = false;
};

// Waits (generously) for this process's About box, records what it shows and
// presses its Close button.
std::thread CloseAboutWhenShown(Seen& seen)
{
    return std::thread([&seen] {
        HWND about = fw::testing::WaitForProcessWindow(0, nullptr, MEDIVIEW_ABOUT_CAPTION, 60000);
        if (!about) {
            return;
        }
        seen.found = true;
        seen.visible = IsWindowVisible(about) != FALSE;
        seen.caption = WindowText(about);
        seen.product = WindowText(GetDlgItem(about, MEDIVIEW_IDC_PRODUCT));
        seen.version = WindowText(GetDlgItem(about, MEDIVIEW_IDC_VERSION));
        seen.maker = WindowText(GetDlgItem(about, MEDIVIEW_IDC_COPYRIGHT));
        seen.button = WindowText(GetDlgItem(about, MEDIVIEW_IDC_CLOSE));
        seen.owner = GetWindow(about, GW_OWNER);
        GetWindowRect(about, &seen.rect);
        SendMessageW(GetDlgItem(about, MEDIVIEW_IDC_CLOSE), BM_CLICK, 0, 0);
    });
}

TEST(MediviewAbout, ShowsProductVersionAndClosesWithItsButton)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 800, 600,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    Seen seen;
    std::thread closer = CloseAboutWhenShown(seen);
    EXPECT_EQ(ShowMMInfo(MEDIVIEW_PRODUCT_MELODRIFT, owner), 1);
    closer.join();
    ASSERT_TRUE(seen.found);
    EXPECT_TRUE(seen.visible);
    EXPECT_EQ(seen.caption, L"About Melodrift");
    EXPECT_EQ(seen.product, L"Melodrift");
    EXPECT_EQ(seen.version, L"Version 4.2.17");
    EXPECT_EQ(seen.maker, L"\u00A9 Corvena. All rights reserved.");
    EXPECT_EQ(seen.button, L"Close");
    EXPECT_EQ(seen.owner, owner);
    // Over the middle of its owner.
    EXPECT_NEAR((seen.rect.left + seen.rect.right) / 2, 500, 2);
    EXPECT_NEAR((seen.rect.top + seen.rect.bottom) / 2, 350, 2);
    EXPECT_TRUE(IsWindowEnabled(owner));   // modal state ended
    DestroyWindow(owner);
}

TEST(MediviewAbout, OpensWithoutOwnerAndAgain)
{
    for (int round = 0; round < 2; ++round) {
        Seen seen;
        std::thread closer = CloseAboutWhenShown(seen);
        EXPECT_EQ(ShowMMInfo(MEDIVIEW_PRODUCT_MELODRIFT, nullptr), 1);
        closer.join();
        EXPECT_TRUE(seen.found);
        EXPECT_EQ(seen.owner, nullptr);
    }
}

TEST(MediviewAbout, UnknownProductShowsNothing)
{
    EXPECT_EQ(ShowMMInfo(0, nullptr), 0);
    EXPECT_EQ(ShowMMInfo(MEDIVIEW_PRODUCT_MELODRIFT + 1, nullptr), 0);
}

// The frame loads the DLL at run time and looks the functions up by name.
TEST(MediviewAbout, FunctionsFoundByNameAtRunTime)
{
    HMODULE dll = LoadLibraryW(L"Mediview.dll");
    ASSERT_NE(dll, nullptr);
    using Show = int(MEDIVIEW_CALL*)(unsigned long, HWND);
    auto show = reinterpret_cast<Show>(reinterpret_cast<void*>(GetProcAddress(dll, "ShowMMInfo")));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show(0, nullptr), 0);
    EXPECT_NE(GetProcAddress(dll, "MediviewGetProgramVersion"), nullptr);
    FreeLibrary(dll);
}

TEST(MediviewAbout, ProgramVersionFromTheVersionResource)
{
    wchar_t buffer[32] = {};
    EXPECT_EQ(MediviewGetProgramVersion(buffer, 32), 6);
    EXPECT_STREQ(buffer, L"4.2.17");
    EXPECT_EQ(MediviewGetProgramVersion(buffer, 6), 0);   // no room for the zero
    EXPECT_EQ(MediviewGetProgramVersion(nullptr, 32), 0);
}

}  // namespace
