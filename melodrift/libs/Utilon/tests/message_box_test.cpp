// The skinned message boxes, run for real and answered from another thread
// the way a user would: by clicking, by Enter and by Escape.
#include "fw/testing/find_window.h"
#include "utilon/utilon.h"

#include "fw/strutil.h"
#include "fw/testing/screenshot.h"
#include "patinex/patinex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

namespace {

// Unique to the process: several test processes may show boxes at the same time.
const std::wstring kTitle = fw::Format(L"Utilon box under test %lu", GetCurrentProcessId());

HWND WaitForBox(const wchar_t* title) {
    return fw::testing::WaitForProcessWindow(0, L"#32770", title, 10000);
}

std::vector<std::wstring> ButtonTexts(HWND box) {
    std::vector<std::wstring> texts;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {}, text[64] = {};
        GetClassNameW(c, cls, 32);
        GetWindowTextW(c, text, 64);
        if (fw::EqualsNoCase(cls, L"Button")) texts.push_back(text);
    }
    return texts;
}

std::wstring StaticText(HWND box) {
    wchar_t text[256] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 256);
    return text;
}

void Press(HWND box, int id) {
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// A key as the user types it: to the control that has the keyboard focus.
void Key(HWND box, UINT vk) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    DWORD thread = GetWindowThreadProcessId(box, nullptr);
    HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus ? info.hwndFocus : box;
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
}

// Shows a box on this thread while `user` acts on it from another.
int RunWith(const std::function<int()>& show, const std::function<void(HWND)>& user, const wchar_t* title = nullptr) {
    if (!title) title = kTitle.c_str();
    std::atomic<bool> found{false};
    std::thread other([&] {
        HWND box = WaitForBox(title);
        if (!box) return;
        found = true;
        user(box);
    });
    int result = show();
    other.join();
    EXPECT_TRUE(found.load()) << "the box never appeared";
    return result;
}

class MdUtilonBox : public ::testing::Test {
protected:
    void SetUp() override { SetMessageBoxTitle(kTitle.c_str()); }
    void TearDown() override { SetMessageBoxTitle(nullptr); }
};

TEST_F(MdUtilonBox, ShowsTheTextAndButtonsAndReturnsThePressedOne) {
    std::vector<std::wstring> buttons;
    std::wstring text;
    int result = RunWith([] { return AfxPtMessageBox(L"Changing language need program restart.\n\nDo you want restart now?",
                                                     MB_YESNO | MB_ICONQUESTION, 0); },
                         [&](HWND box) {
                             buttons = ButtonTexts(box);
                             text = StaticText(box);
                             fw::testing::SaveWindowScreenshot(box, fw::testing::ScreenshotPath(L"md_utilon_box.png"));
                             Press(box, IDNO);
                         });
    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(buttons, (std::vector<std::wstring>{L"&Yes", L"&No"}));
    EXPECT_EQ(text, L"Changing language need program restart.\n\nDo you want restart now?");
}

TEST_F(MdUtilonBox, EnterPressesTheDefaultButton) {
    EXPECT_EQ(RunWith([] { return AfxPtMessageBox(L"Default?", MB_YESNOCANCEL | MB_DEFBUTTON2, 0); },
                      [](HWND box) { Key(box, VK_RETURN); }),
              IDNO);
    EXPECT_EQ(RunWith([] { return AfxPtMessageBox(L"Default?", MB_OKCANCEL, 0); },
                      [](HWND box) { Key(box, VK_RETURN); }),
              IDOK);
}

TEST_F(MdUtilonBox, EscapeAnswersCancelOnlyWhereABoxCanBeCancelled) {
    EXPECT_EQ(RunWith([] { return AfxPtMessageBox(L"Escape", MB_OKCANCEL, 0); },
                      [](HWND box) { Key(box, VK_ESCAPE); }),
              IDCANCEL);
    EXPECT_EQ(RunWith([] { return AfxPtMessageBox(L"Escape", MB_OK, 0); }, [](HWND box) { Key(box, VK_ESCAPE); }),
              IDOK);
    // Yes/No has no answer for Escape: the box stays until a button is pressed.
    bool stillOpen = false;
    EXPECT_EQ(RunWith([] { return AfxPtMessageBox(L"Escape", MB_YESNO, 0); },
                      [&](HWND box) {
                          Key(box, VK_ESCAPE);
                          PostMessageW(box, WM_CLOSE, 0, 0);
                          Sleep(300);
                          stillOpen = IsWindowVisible(box) != FALSE;
                          Press(box, IDYES);
                      }),
              IDYES);
    EXPECT_TRUE(stillOpen);
}

TEST_F(MdUtilonBox, ShowMessageBoxTakesStringIdsAndTheOwner) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED | WS_VISIBLE, 10, 10, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, owner, nullptr, nullptr,
                                 nullptr);
    HWND boxOwner = nullptr;
    bool ownerDisabled = false;
    std::wstring text;
    int result = RunWith([&] { return ShowMessageBox(100, 101, MB_RETRYCANCEL | MB_ICONEXCLAMATION, 0, child); },
                         [&](HWND box) {
                             boxOwner = GetWindow(box, GW_OWNER);
                             ownerDisabled = !IsWindowEnabled(owner);
                             text = StaticText(box);
                             Press(box, IDRETRY);
                         },
                         L"Caption from the string table");
    EXPECT_EQ(result, IDRETRY);
    EXPECT_EQ(boxOwner, owner);  // the top-level window of the parent given
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(text, L"Text from the string table");

    // Texts as pointers; caption 0 takes the title that was set.
    const wchar_t* literal = L"Literal text";
    EXPECT_EQ(RunWith([&] { return ShowMessageBox(reinterpret_cast<UINT_PTR>(literal), 0, MB_OK, 0, nullptr); },
                      [&](HWND box) {
                          text = StaticText(box);
                          Press(box, IDOK);
                      }),
              IDOK);
    EXPECT_EQ(text, L"Literal text");
    DestroyWindow(owner);
}

TEST_F(MdUtilonBox, DrawnInTheColoursOfTheCurrentSkin) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring skin = std::wstring(temp) + fw::Format(L"utilon_skin_%lu.xml", GetCurrentProcessId());
    std::ofstream(std::filesystem::path(skin), std::ios::binary)
        << "<SKIN_MM Caption=\"c\"><Colors><Color Name=\"MessageBoxBackground\" Value=\"#2040A0\"/></Colors></SKIN_MM>";
    ASSERT_EQ(LoadStandardSkin(skin.c_str()), S_OK);
    fw::testing::Image image;
    RECT client = {};
    POINT origin = {};
    RunWith([] { return AfxPtMessageBox(L"Skinned", MB_OK, 0); },
            [&](HWND box) {
                Sleep(200);
                fw::testing::CaptureWindow(box, image);
                GetClientRect(box, &client);
                ClientToScreen(box, &origin);
                RECT w = {};
                GetWindowRect(box, &w);
                origin.x -= w.left;
                origin.y -= w.top;
                fw::testing::SaveImage(image, fw::testing::ScreenshotPath(L"md_utilon_box_skinned.png"));
                Press(box, IDOK);
            });
    ASSERT_GT(image.width, 0);
    // A point of the client area right of the text, above the button row.
    std::uint32_t pixel = image.At(origin.x + client.right - 4, origin.y + 4) & 0xFFFFFF;
    EXPECT_EQ(pixel, 0x2040A0u);
    DeleteFileW(skin.c_str());
}

}  // namespace
