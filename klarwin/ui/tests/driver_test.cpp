// The test driver against another program: it finds the peer's dialog by its
// title and process, reads texts, check states, places and colours, clicks,
// answers the peer's message box, and photographs the window.
#include "ui_driver.h"
#include "ui_test_peer_res.h"

#include <gtest/gtest.h>

TEST(KwDriver, DrivesTheWindowsOfAnotherProgram) {
    uidriver::CProcess peer;
    ASSERT_TRUE(peer.Start(uidriver::TestProgramFolder() / L"klarwin_ui_test_peer.exe", L"--dialog"));
    uidriver::WindowQuery query;
    query.title = L"Driver Peer";
    query.processId = peer.Id();
    HWND dlg = uidriver::WaitForTopWindow(query);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(uidriver::GetClass(dlg), L"#32770");
    // Another process's window is not found with our own process id.
    query.processId = GetCurrentProcessId();
    EXPECT_EQ(uidriver::FindTopWindow(query), nullptr);

    EXPECT_EQ(uidriver::GetControlText(dlg, IDC_PEER_TEXT), L"Peer text");
    HWND option = uidriver::FindControl(dlg, IDC_PEER_OPTION);
    EXPECT_EQ(uidriver::GetCheck(option), BST_UNCHECKED);
    ASSERT_TRUE(uidriver::PostClick(option));
    EXPECT_TRUE(uidriver::WaitUntil([&] { return uidriver::GetCheck(option) == BST_CHECKED; }, 5000));

    // Another program's window is read from the screen: keep it uncovered.
    SetWindowPos(dlg, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    HWND panel = uidriver::FindControl(dlg, IDC_PEER_PANEL);
    RECT place = uidriver::GetRectInParent(panel);
    EXPECT_GT(place.right - place.left, 50);
    SIZE size = uidriver::GetClientSize(panel);
    COLORREF middle = CLR_INVALID;
    EXPECT_TRUE(uidriver::WaitUntil(
        [&] { return (middle = uidriver::GetPixel(panel, {size.cx / 2, size.cy / 2})) == RGB(255, 0, 0); }, 5000))
        << std::hex << middle;
    EXPECT_EQ(uidriver::GetPixel(dlg, {place.left + 3, place.top + 3}), RGB(255, 0, 0));
    EXPECT_FALSE(uidriver::SaveScreenshot(dlg, L"klarwin_driver_peer").empty());

    ASSERT_TRUE(uidriver::PostClick(uidriver::FindControl(dlg, IDC_PEER_ASK)));
    uidriver::MessageBoxInfo box;
    ASSERT_TRUE(uidriver::WaitForMessageBox(box, peer.Id(), L"Peer"));
    EXPECT_EQ(box.text, L"Peer question?");
    EXPECT_EQ(box.buttons, (std::vector<int>{IDYES, IDNO}));
    EXPECT_FALSE(uidriver::AnswerMessageBox(box.hwnd, IDOK));  // no such button
    ASSERT_TRUE(uidriver::AnswerMessageBox(box.hwnd, IDYES));
    DWORD code = 0;
    ASSERT_TRUE(peer.WaitForExit(10000, &code));
    EXPECT_EQ(code, 10u + IDYES);
    EXPECT_TRUE(uidriver::WaitForWindowGone(dlg, 2000));
}

TEST(KwDriver, MissingWindowsAndProgramsGiveEmptyAnswers) {
    uidriver::WindowQuery query;
    query.title = L"No window is called like this";
    EXPECT_EQ(uidriver::WaitForTopWindow(query, 200), nullptr);
    EXPECT_EQ(uidriver::GetText(nullptr), L"");
    EXPECT_EQ(uidriver::GetCheck(nullptr), -1);
    EXPECT_EQ(uidriver::GetPixel(nullptr, {0, 0}), CLR_INVALID);
    EXPECT_FALSE(uidriver::PostClick(nullptr));
    uidriver::MessageBoxInfo box;
    EXPECT_FALSE(uidriver::WaitForMessageBox(box, 0, L"", 100));
    uidriver::CProcess nothing;
    EXPECT_FALSE(nothing.Start(uidriver::TestProgramFolder() / L"no-such-program.exe"));
    EXPECT_FALSE(nothing.WaitForExit(10));
}
