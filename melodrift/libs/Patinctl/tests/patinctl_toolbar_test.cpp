// Module toolbars made from "ModuleToolbar" skin elements: buttons placed from
// their children, real clicks reaching the toolbar's parent, tooltips as
// names, buttons whose pictures are missing left out, and the picture files
// released when the toolbar goes.
#include "pt_test_support.h"

#include <oleacc.h>

#include "fw/testing/input.h"

#include <gtest/gtest.h>

using namespace pttest;

namespace {

const int kFrameW = 20, kFrameH = 16;

// A skin file of its own in `dir` (so that pictures are found relative to
// it) and a 4-state button strip "Tb\<name>.png" beside it.
class ToolbarSkin {
public:
    ToolbarSkin() {
        WriteText(m_dir.File(L"Toolbar-eng.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<SKIN_MM Caption=\"Toolbar\" Width=\"300\" Height=\"200\"><MAINFRAME/></SKIN_MM>\n");
        LoadStandardSkin(m_dir.File(L"Toolbar-eng.xml").c_str());
        CreateDirectoryW(m_dir.File(L"Tb").c_str(), nullptr);
    }
    ~ToolbarSkin() {
        for (const std::wstring& file : m_files) DeleteFileW(file.c_str());
        RemoveDirectoryW(m_dir.File(L"Tb").c_str());
    }
    std::wstring Picture(const std::wstring& name, COLORREF normal) {
        std::wstring path = m_dir.File(L"Tb\\" + name + L".png");
        WritePng(path, 4 * kFrameW, kFrameH, [normal](int x, int) {
            COLORREF c = x < kFrameW ? normal : RGB(0, 0, 200);
            return 0xFF000000u | (static_cast<DWORD>(GetRValue(c)) << 16) | (static_cast<DWORD>(GetGValue(c)) << 8) |
                   GetBValue(c);
        });
        m_files.push_back(path);
        return path;
    }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
    std::vector<std::wstring> m_files;
};

// A "ModuleToolbar" element with one "Button" child per entry.
using Attrs = std::vector<std::pair<const wchar_t*, const wchar_t*>>;
std::unique_ptr<enXml> Toolbar(const Attrs& attributes, const std::vector<Attrs>& buttons) {
    auto toolbar = std::make_unique<enXml>(L"ModuleToolbar");
    for (const auto& [key, value] : attributes) toolbar->SetAttribute(key, value);
    for (const Attrs& b : buttons) {
        auto button = std::make_unique<enXml>(L"Button");
        for (const auto& [key, value] : b) button->SetAttribute(key, value);
        toolbar->AddChild(button.release());
    }
    return toolbar;
}

RECT RectIn(HWND control, HWND parent) {
    RECT rc;
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::wstring Text(HWND window) {
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return text;
}

std::wstring AccessibleName(HWND window) {
    IAccessible* acc = nullptr;
    if (AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                   reinterpret_cast<void**>(&acc)) != S_OK)
        return L"";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring result;
    if (acc->get_accName(self, &name) == S_OK && name) result = name;
    SysFreeString(name);
    acc->Release();
    return result;
}

bool CommandSeen(Host& host, WORD id) {
    for (const Message& m : host.Of(WM_COMMAND))
        if (LOWORD(m.wParam) == id) return true;
    return false;
}

TEST(PatinctlToolbar, ButtonsArePlacedNamedAndClickedThroughToTheParent) {
    ToolbarSkin skin;
    skin.Picture(L"add", RGB(200, 0, 0));
    skin.Picture(L"remove", RGB(0, 160, 0));
    skin.Picture(L"shuffle", RGB(200, 200, 0));
    // Where no other test's window lies: real mouse clicks.
    Host host(420, 200, 760, 720);
    auto element = Toolbar({{L"ID", L"Main"}, {L"Height", L"30"}, {L"Background", L"#203040"}},
                           {{{L"Command", L"41001"}, {L"Source", L"Tb\\add.png"}, {L"Tip", L"Add files"}},
                            {{L"Command", L"41003"}, {L"Source", L"Tb\\remove.png"}, {L"Tip", L"Remove"}},
                            {{L"Command", L"41007"},
                             {L"Source", L"Tb\\shuffle.png"},
                             {L"Type", L"Check"},
                             {L"States", L"4"},
                             {L"Tip", L"Shuffle"},
                             {L"Right", L"6"},
                             {L"Y", L"7"}},
                            {{L"Source", L"Tb\\add.png"}, {L"Tip", L"No command"}}});
    HWND toolbar = PtCreateModuleToolbar(host.Hwnd(), element.get(), 77);
    ASSERT_TRUE(toolbar);
    EXPECT_EQ(GetParent(toolbar), host.Hwnd());
    EXPECT_EQ(GetDlgCtrlID(toolbar), 77);
    EXPECT_TRUE(IsWindowVisible(toolbar));
    RECT bar = RectIn(toolbar, host.Hwnd());
    RECT client;
    GetClientRect(host.Hwnd(), &client);
    EXPECT_EQ(bar.left, 0);
    EXPECT_EQ(bar.top, 0);
    EXPECT_EQ(bar.right, client.right);
    EXPECT_EQ(bar.bottom, 30);
    // The panel's fill comes from the element.
    EXPECT_TRUE(Near(PixelAt(toolbar, 200, 2), RGB(0x20, 0x30, 0x40)));

    HWND add = GetDlgItem(toolbar, 41001), remove = GetDlgItem(toolbar, 41003), shuffle = GetDlgItem(toolbar, 41007);
    ASSERT_TRUE(add && remove && shuffle);
    int buttons = 0;
    for (HWND child = GetWindow(toolbar, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) ++buttons;
    EXPECT_EQ(buttons, 3);  // the one without a command is left out
    // Without placement: a row from the left, 4 pixels apart, centred across.
    RECT rc = RectIn(add, toolbar);
    EXPECT_EQ(rc.left, 4);
    EXPECT_EQ(rc.top, (30 - kFrameH) / 2);
    EXPECT_EQ(rc.right - rc.left, kFrameW);
    rc = RectIn(remove, toolbar);
    EXPECT_EQ(rc.left, 4 + kFrameW + 4);
    rc = RectIn(shuffle, toolbar);
    EXPECT_EQ(rc.right, client.right - 6);
    EXPECT_EQ(rc.top, 7);
    EXPECT_TRUE(Near(PixelAt(add, kFrameW / 2, kFrameH / 2), RGB(200, 0, 0)));

    EXPECT_EQ(Text(add), L"Add files");
    EXPECT_EQ(Text(shuffle), L"Shuffle");
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    EXPECT_EQ(AccessibleName(remove), L"Remove");
    CoUninitialize();

    SetForegroundWindow(host.Hwnd());
    Pump(100);
    ASSERT_TRUE(fw::testing::ClickWindowCentre(remove));
    ASSERT_TRUE(WaitFor([&] { return CommandSeen(host, 41003); }));
    ASSERT_TRUE(fw::testing::ClickWindowCentre(shuffle));
    ASSERT_TRUE(WaitFor([&] { return CommandSeen(host, 41007); }));
    EXPECT_EQ(SendMessageW(shuffle, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(CommandSeen(host, 41001));
    DestroyWindow(toolbar);
}

TEST(PatinctlToolbar, MissingPicturesLeaveOnlyTheirButtonsOut) {
    ToolbarSkin skin;
    skin.Picture(L"play", RGB(200, 0, 0));
    Host host;
    auto element = Toolbar({{L"ID", L"Main"}},
                           {{{L"Command", L"13000"}, {L"Source", L"Tb\\missing.png"}},
                            {{L"Command", L"13010"}, {L"Source", L"Tb\\play.png"}},
                            {{L"Command", L"13020"}, {L"Source", L"Tb\\play.png"}, {L"SourceAlpha", L"Tb\\gone.png"}},
                            {{L"Command", L"13030"}}});
    HWND toolbar = PtCreateModuleToolbar(host.Hwnd(), element.get(), 1);
    ASSERT_TRUE(toolbar);
    EXPECT_FALSE(GetDlgItem(toolbar, 13000));
    EXPECT_FALSE(GetDlgItem(toolbar, 13020));
    EXPECT_FALSE(GetDlgItem(toolbar, 13030));
    HWND play = GetDlgItem(toolbar, 13010);
    ASSERT_TRUE(play);
    EXPECT_EQ(RectIn(play, toolbar).left, 4);  // the first in the row now
    // Without "Height": the tallest button with 4 pixels above and below.
    EXPECT_EQ(RectIn(toolbar, host.Hwnd()).bottom, kFrameH + 8);
    DestroyWindow(toolbar);

    // Nothing to make a toolbar from.
    EXPECT_FALSE(PtCreateModuleToolbar(host.Hwnd(), nullptr, 1));
    auto empty = Toolbar({{L"ID", L"Main"}}, {{{L"Command", L"13000"}, {L"Source", L"Tb\\missing.png"}}});
    EXPECT_FALSE(PtCreateModuleToolbar(host.Hwnd(), empty.get(), 1));
    auto other = Element(L"ModuleButton", {{L"Source", L"Tb\\play.png"}});
    other->AddChild(Element(L"Button", {{L"Command", L"13010"}, {L"Source", L"Tb\\play.png"}}).release());
    EXPECT_FALSE(PtCreateModuleToolbar(host.Hwnd(), other.get(), 1));
    EXPECT_FALSE(PtCreateModuleToolbar(nullptr, element.get(), 1));
    EXPECT_FALSE(GetWindow(host.Hwnd(), GW_CHILD));  // nothing left behind
}

TEST(PatinctlToolbar, DestroyingTheToolbarReleasesItsPictureFiles) {
    ToolbarSkin skin;
    std::wstring picture = skin.Picture(L"stop", RGB(200, 0, 0));
    std::wstring mask = skin.Dir().File(L"Tb\\stop_mask.bmp");
    ASSERT_TRUE(WriteBmp(mask, 4 * kFrameW, kFrameH, [](int, int) { return RGB(255, 255, 255); }));
    Host host;
    auto element = Toolbar({{L"ID", L"Main"}}, {{{L"Command", L"13020"},
                                                  {L"Source", L"Tb\\stop.png"},
                                                  {L"SourceAlpha", L"Tb\\stop_mask.bmp"}}});
    HWND toolbar = PtCreateModuleToolbar(host.Hwnd(), element.get(), 1);
    ASSERT_TRUE(toolbar);
    ASSERT_TRUE(GetDlgItem(toolbar, 13020));
    // Held open while the toolbar lives: the files cannot be replaced.
    HANDLE writer = CreateFileW(picture.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    DestroyWindow(toolbar);
    EXPECT_TRUE(DeleteFileW(picture.c_str())) << GetLastError();
    EXPECT_TRUE(DeleteFileW(mask.c_str())) << GetLastError();
    skin.Picture(L"stop", RGB(0, 0, 200));  // written again in its place
}

}  // namespace
