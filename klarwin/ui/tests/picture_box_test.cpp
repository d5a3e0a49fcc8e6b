// CPictureBoxEx under the virtual display: the frames of a GIF the test
// writes, composed as their disposal says and drawn one after the other over
// the background; the program's own "Loading.gif"; files it cannot read; and
// ending the animation with the window.
#include "controls_test_res.h"
#include "controls_test_support.h"
#include "klarwin/ui/picture_box.h"
#include "resource.h"
#include "test_gif.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0), kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);  // the background fill

// 24 x 24: red everywhere; then a blue square that is cleared to the
// background after it; then a green square whose first pixel is transparent.
std::vector<std::uint8_t> DisposalGif() {
    std::vector<testgif::Rgb> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {1, 2, 3}};
    testgif::Frame red = testgif::Solid(0, 0, 24, 24, 0);
    red.delayCs = 40;
    testgif::Frame blue = testgif::Solid(6, 6, 12, 12, 2);
    blue.delayCs = 40;
    blue.disposal = 2;
    testgif::Frame green = testgif::Solid(0, 0, 12, 12, 1);
    green.delayCs = 40;
    green.transparentIndex = 3;
    green.pixels[0] = 3;
    return testgif::Write(24, 24, palette, {red, blue, green}, 0);
}

std::filesystem::path WriteTemp(const std::vector<std::uint8_t>& bytes, const wchar_t* name) {
    std::filesystem::path file = uidriver::TestProgramFolder() / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file;
}

}  // namespace

TEST(KwCtlPicture, FramesAreComposedAsTheirDisposalSays) {
    std::filesystem::path file = WriteTemp(DisposalGif(), L"kwtest_disposal.gif");
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CPictureBoxEx picture;
    bool loaded = false, started = false;
    dlg.onInit = [&](CHostDialog& d) {
        picture.SubclassDlgItem(IDC_T_PICTURE, &d);
        picture.MoveWindow(20, 210, 64, 64);
        picture.SetBackgroundColor(kYellow);
        loaded = picture.Load(file.wstring());
        started = picture.Draw();
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        ASSERT_TRUE(loaded && started);
        EXPECT_EQ(picture.GetFrameCount(), 3);
        EXPECT_EQ(picture.GetFrameDelay(1), 400);
        EXPECT_EQ(picture.GetImageSize().cx, 24);
        HWND control = uidriver::FindControl(hwnd, IDC_T_PICTURE);
        // The animation sits in the middle of the 64 x 64 control: (20, 20).
        auto at = [&](int x, int y) { return uidriver::GetPixel(control, {20 + x, 20 + y}); };
        bool seen[3] = {false, false, false};
        bool restarted = false;
        uidriver::WaitUntil([&] {
            int frame = picture.GetCurrentFrame();
            long drawn = picture.GetFramesDrawn();
            if (frame < 0) return false;
            Sleep(60);  // well inside the frame's 400 ms
            if (picture.GetCurrentFrame() != frame) return false;
            EXPECT_EQ(uidriver::GetPixel(control, {2, 2}), kYellow) << "outside the animation";
            if (frame == 0) {
                EXPECT_EQ(at(12, 12), kRed);
                EXPECT_EQ(at(2, 2), kRed);
                if (drawn > 3) restarted = true;  // a new round starts from the background
            } else if (frame == 1) {
                EXPECT_EQ(at(12, 12), kBlue);
                EXPECT_EQ(at(2, 2), kRed);
            } else {
                EXPECT_EQ(at(14, 14), kYellow) << "the blue square went back to the background";
                EXPECT_EQ(at(2, 2), kGreen);
                EXPECT_EQ(at(0, 0), kRed) << "transparent pixel";
                EXPECT_EQ(at(20, 20), kRed);
            }
            seen[frame] = true;
            return seen[0] && seen[1] && seen[2] && restarted;
        }, 8000, 10);
        EXPECT_TRUE(seen[0] && seen[1] && seen[2] && restarted);
    });
    EXPECT_FALSE(picture.IsAnimating());  // the window's end stopped the thread
    EXPECT_EQ(picture.GetFrameCount(), 0);
    std::filesystem::remove(file);
}

TEST(KwCtlPicture, TheProgramsLoadingAnimationRuns) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CPictureBoxEx picture;
    bool loaded = false;
    dlg.onInit = [&](CHostDialog& d) {
        d.SetBitmap(IDB_DIALOG_LARGE);
        picture.SubclassDlgItem(IDC_T_PICTURE, &d);
        loaded = picture.Load((uidriver::TestProgramFolder() / L"Loading.gif").wstring());
        picture.Draw();
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND hwnd) {
        ASSERT_TRUE(loaded);
        EXPECT_GE(picture.GetFrameCount(), 2);
        for (int i = 0; i < picture.GetFrameCount(); ++i) EXPECT_GT(picture.GetFrameDelay(i), 10);
        HWND control = uidriver::FindControl(hwnd, IDC_T_PICTURE);
        SIZE size = uidriver::GetClientSize(control);
        std::vector<COLORREF> first, later;
        long start = picture.GetFramesDrawn();
        uidriver::GetPixels(control, RECT{0, 0, size.cx, size.cy}, first);
        ASSERT_TRUE(uidriver::WaitUntil([&] { return picture.GetFramesDrawn() >= start + 3; }, 5000));
        bool changed = uidriver::WaitUntil([&] {
            uidriver::GetPixels(control, RECT{0, 0, size.cx, size.cy}, later);
            return later != first;
        }, 3000);
        EXPECT_TRUE(changed);
        // Around the animation: the dialog's own background.
        RECT place = uidriver::GetRectInParent(control);
        EXPECT_EQ(uidriver::GetPixel(control, {0, 0}), ResourcePixel(IDB_DIALOG_LARGE, place.left, place.top));

        // Moving the control takes the background under its new place.
        RunOnUi(hwnd, [&] { picture.MoveWindow(300, 400, 64, 40); });
        SettlePainting(hwnd);
        Sleep(300);
        EXPECT_EQ(uidriver::GetPixel(control, {0, 0}), ResourcePixel(IDB_DIALOG_LARGE, 300, 400));
    });
}

TEST(KwCtlPicture, FilesItCannotReadLeaveItEmpty) {
    CHostDialog dlg(IDD_CONTROLS_TEST);
    CPictureBoxEx picture;
    bool missing = true, garbage = true, cut = true, drawn = true;
    int frames = -1;
    dlg.onInit = [&](CHostDialog& d) {
        picture.SubclassDlgItem(IDC_T_PICTURE, &d);
        missing = picture.Load(L"C:\\kwtest-missing\\Loading.gif");
        std::vector<unsigned char> junk(500, 0x47);
        garbage = picture.LoadFromMemory(junk);
        std::vector<std::uint8_t> gif = DisposalGif();
        std::vector<unsigned char> header(gif.begin(), gif.begin() + 30);
        cut = picture.LoadFromMemory(header);
        drawn = picture.Draw();
        frames = picture.GetFrameCount();
    };
    RunWithUser(dlg, L"Controls Test", [&](HWND) {});
    EXPECT_FALSE(missing);
    EXPECT_FALSE(garbage);
    EXPECT_FALSE(cut);
    EXPECT_FALSE(drawn);
    EXPECT_EQ(frames, 0);
}
