// The full skins as the program finds them in its Skins folder: each skin file read
// through the XML document model, every control of the frame's table and every panel
// present, and every picture it names read through GDI+ (as the skinned controls read
// them) with the size and the cut its element asks for.
#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include <objidl.h>
// GDI+ uses min and max unqualified.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "xml/enxml.h"

using mdxml::NameEquals;

namespace {

// The frame's control table: the element names a full skin must hold.
const wchar_t* const kControlNames[] = {
    L"PLAYER_GOTOPREV", L"PLAYER_BACKWARD", L"PLAYER_PLAY",    L"PLAYER_PAUSE",   L"PLAYER_STOP",
    L"PLAYER_FORWARD",  L"PLAYER_GOTONEXT", L"PLAYER_RECORD",  L"PLAYER_SHUFFLE", L"PLAYER_REPEAT",
    L"PLAYER_POSITION", L"PLAYER_VOLUME",   L"PLAYER_BALANCE", L"EQUA_SLIDER1",   L"EQUA_SLIDER2",
    L"EQUA_SLIDER3",    L"EQUA_SLIDER4",    L"EQUA_SLIDER5",   L"EQUA_SLIDER6",   L"EQUA_SLIDER7",
    L"EQUA_SLIDER8",    L"EQUA_SLIDER9",    L"EQUA_SLIDER10",  L"SURR_SHOW",      L"SURR_VIEW",
    L"EQUA_TURN",       L"EQUA_PRESET",     L"STATUS_BAR",     L"MENU_FILE",      L"MENU_EDIT",
    L"MENU_VIEW",       L"MENU_PLAY",       L"MENU_MORPH",     L"MENU_WINDOW",    L"MENU_HELP",
    L"FRAME_MINI",      L"FRAME_ZOOM",      L"FRAME_CLOSE"};
const wchar_t* const kPanels[] = {L"FramePanelUp", L"FramePanelDown", L"FramePanelLeft", L"FramePanelRight",
                                  L"FramePanelPlayer"};
const wchar_t* const kTwoState[] = {L"PLAYER_SHUFFLE", L"PLAYER_REPEAT", L"SURR_SHOW", L"EQUA_TURN", L"ModuleButton"};

std::wstring SkinsFolder() {
    std::string unixPath = MD_SKINS_DIR;
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path + L"\\";
}

bool Is(const enXml* el, const wchar_t* name) { return el && NameEquals(el->Name(), name); }

std::wstring Attr(const enXml* el, const wchar_t* name) {
    std::wstring v;
    el->GetAttribute(name, v);
    return v;
}

int IntAttr(const enXml* el, const wchar_t* name, int fallback) {
    std::int32_t v = 0;
    return el->GetAttributeInt(name, v) ? v : fallback;
}

std::string Narrow(const std::wstring& s) {
    std::string out;
    for (wchar_t c : s) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

class GdiPlus {
public:
    GdiPlus() {
        Gdiplus::GdiplusStartupInput input;
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiPlus() {
        if (ok_) Gdiplus::GdiplusShutdown(token_);
    }
    bool ok() const { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

class SkinsFiles : public ::testing::TestWithParam<const wchar_t*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(gdi_.ok());
        path_ = SkinsFolder() + GetParam() + L"-eng.xml";
        ASSERT_TRUE(root_.Load(path_)) << Narrow(path_);
        main_ = root_.FindChild(L"MAINFRAME");
        ASSERT_NE(main_, nullptr);
    }

    std::unique_ptr<Gdiplus::Bitmap> Picture(const std::wstring& relative) {
        std::unique_ptr<Gdiplus::Bitmap> bmp(Gdiplus::Bitmap::FromFile((SkinsFolder() + relative).c_str()));
        if (!bmp || bmp->GetLastStatus() != Gdiplus::Ok) return nullptr;
        return bmp;
    }

    // Every element below MAINFRAME that names a picture.
    void Collect(const enXml* el, std::vector<const enXml*>& out) {
        for (const enXml* c = el->FirstChild(); c; c = c->NextSibling()) {
            if (!Attr(c, L"Source").empty()) out.push_back(c);
            Collect(c, out);
        }
    }

    GdiPlus gdi_;
    std::wstring path_;
    enXml root_;
    const enXml* main_ = nullptr;
};

TEST_P(SkinsFiles, IsListedByTheProgramUnderItsCaption) {
    EXPECT_TRUE(Is(&root_, L"SKIN_MM"));
    EXPECT_EQ(Attr(&root_, L"Caption"), std::wstring(GetParam()));
    EXPECT_GT(IntAttr(&root_, L"Width", 0), 0);
    EXPECT_GT(IntAttr(&root_, L"Height", 0), 0);
}

TEST_P(SkinsFiles, HoldsEveryControlOfTheTableEveryPanelAndTheModuleButtons) {
    const enXml* controls = main_->FindChild(L"Controls");
    ASSERT_NE(controls, nullptr);
    for (const wchar_t* name : kControlNames) {
        int count = 0;
        for (const enXml* c = controls->FirstChild(); c; c = c->NextSibling())
            if (Is(c, name)) {
                ++count;
                const std::wstring owner = Attr(c, L"Owner");
                EXPECT_TRUE(std::any_of(std::begin(kPanels), std::end(kPanels),
                                        [&](const wchar_t* p) { return NameEquals(owner, p); }))
                    << Narrow(name);
            }
        EXPECT_EQ(count, 1) << Narrow(name);
    }
    const enXml* panels = main_->FindChild(L"Panels");
    ASSERT_NE(panels, nullptr);
    for (const wchar_t* name : kPanels) {
        const enXml* panel = panels->FindChild(name);
        ASSERT_NE(panel, nullptr) << Narrow(name);
        EXPECT_FALSE(Attr(panel, L"Source").empty()) << Narrow(name);
    }
    const enXml* modules = main_->FindChild(L"Modules");
    ASSERT_NE(modules, nullptr);
    int buttons = 0;
    for (const enXml* m = modules->FirstChild(); m; m = m->NextSibling()) {
        const enXml* button = m->FindChild(L"ModuleButton");
        if (Attr(m, L"Name") == L"Playvox") {
            EXPECT_EQ(button, nullptr);
            continue;
        }
        ASSERT_NE(button, nullptr) << Narrow(Attr(m, L"Name"));
        EXPECT_FALSE(Attr(button, L"Source").empty());
        // The frame hands a module button its picture alone: no mask reaches it.
        EXPECT_TRUE(Attr(button, L"SourceAlpha").empty());
        auto pic = Picture(Attr(button, L"Source"));
        ASSERT_NE(pic, nullptr);
        EXPECT_TRUE(Gdiplus::IsAlphaPixelFormat(pic->GetPixelFormat())) << Narrow(Attr(button, L"Source"));
        ++buttons;
    }
    EXPECT_GE(buttons, 3);  // at least the player, the recorder and the media library
}

TEST_P(SkinsFiles, EveryPictureReadsThroughGdiPlusWithTheCutItsElementNeeds) {
    std::vector<const enXml*> elements;
    Collect(main_, elements);
    ASSERT_GT(elements.size(), 40u);
    for (const enXml* el : elements) {
        const std::wstring source = Attr(el, L"Source");
        SCOPED_TRACE(Narrow(source));
        EXPECT_EQ(source.rfind(std::wstring(GetParam()) + L"\\", 0), 0u);
        auto pic = Picture(source);
        ASSERT_NE(pic, nullptr);
        const int w = static_cast<int>(pic->GetWidth()), h = static_cast<int>(pic->GetHeight());
        EXPECT_TRUE(w >= 4 && w <= 4096 && h >= 4 && h <= 1024) << w << "x" << h;

        const std::wstring mask = Attr(el, L"SourceAlpha");
        if (!mask.empty()) {
            auto m = Picture(mask);
            ASSERT_NE(m, nullptr) << Narrow(mask);
            EXPECT_EQ(m->GetWidth(), pic->GetWidth());
            EXPECT_EQ(m->GetHeight(), pic->GetHeight());
        }

        const std::wstring type = Attr(el, L"Type");
        if (NameEquals(type, L"Round")) {
            const int frames = IntAttr(el, L"Frames", 0);
            EXPECT_GT(frames, 1);
            EXPECT_EQ(w, frames * h);
        } else if (NameEquals(type, L"Horizontal") || NameEquals(type, L"Vertical")) {
            const int tw = IntAttr(el, L"ThumbWidth", 0), th = IntAttr(el, L"ThumbHeight", 0);
            const int tracks = NameEquals(Attr(el, L"FilledTrack"), L"Yes") ? 2 : 1;
            const int rest = w - IntAttr(el, L"ThumbStates", 3) * tw;
            EXPECT_GT(tw, 0);
            EXPECT_TRUE(th > 0 && th <= h);
            EXPECT_TRUE(rest > 0 && rest % tracks == 0) << rest;
        } else if (!Attr(el, L"States").empty()) {
            const int states = IntAttr(el, L"States", 0);
            const bool twoState = std::any_of(std::begin(kTwoState), std::end(kTwoState),
                                              [&](const wchar_t* n) { return Is(el, n); });
            EXPECT_EQ(states, twoState ? 8 : 4) << Narrow(el->GetName());
            EXPECT_EQ(w % states, 0);
        }
    }
}

// Our modules find their toolbar as the skin interface hands it out: the
// module's child of "Modules", its "ModuleToolbar" of ID "Main"; every button
// on it names a command and pictures that read.
TEST_P(SkinsFiles, OurModulesHaveAMainToolbarWithReadableButtons) {
    const enXml* modules = main_->FindChild(L"Modules");
    ASSERT_NE(modules, nullptr);
    for (const wchar_t* name : {L"Vocalith", L"Tunestack", L"Sonicut"}) {
        SCOPED_TRACE(Narrow(name));
        const enXml* module = nullptr;
        for (const enXml* m = modules->FirstChild(); m && !module; m = m->NextSibling())
            if (NameEquals(Attr(m, L"Name"), name)) module = m;
        ASSERT_NE(module, nullptr);
        const enXml* toolbar = nullptr;
        for (const enXml* t = module->FirstChild(); t && !toolbar; t = t->NextSibling())
            if (Is(t, L"ModuleToolbar") && NameEquals(Attr(t, L"ID"), L"Main")) toolbar = t;
        ASSERT_NE(toolbar, nullptr);
        const int height = IntAttr(toolbar, L"Height", 0);
        EXPECT_GT(height, 0);
        int buttons = 0;
        for (const enXml* b = toolbar->FirstChild(); b; b = b->NextSibling()) {
            if (!Is(b, L"Button")) continue;
            ++buttons;
            EXPECT_GT(IntAttr(b, L"Command", 0), 0);
            EXPECT_FALSE(Attr(b, L"Tip").empty());
            auto pic = Picture(Attr(b, L"Source"));
            ASSERT_NE(pic, nullptr) << Narrow(Attr(b, L"Source"));
            EXPECT_LE(static_cast<int>(pic->GetHeight()), height);
        }
        EXPECT_GE(buttons, 3);
    }
}

// A button's picture is see-through around its body: through the PNG's own alpha
// channel or, where the skin names one, through its mask.
TEST_P(SkinsFiles, ButtonsAreTransparentAroundTheirBody) {
    const enXml* controls = main_->FindChild(L"Controls");
    ASSERT_NE(controls, nullptr);
    const enXml* play = controls->FindChild(L"PLAYER_PLAY");
    ASSERT_NE(play, nullptr);
    const int states = IntAttr(play, L"States", 4);
    const std::wstring mask = Attr(play, L"SourceAlpha");
    auto pic = Picture(mask.empty() ? Attr(play, L"Source") : mask);
    ASSERT_NE(pic, nullptr);
    const int fw = static_cast<int>(pic->GetWidth()) / states, h = static_cast<int>(pic->GetHeight());
    Gdiplus::Color corner, centre;
    ASSERT_EQ(pic->GetPixel(0, 0, &corner), Gdiplus::Ok);
    ASSERT_EQ(pic->GetPixel(fw / 2, h / 2, &centre), Gdiplus::Ok);
    if (mask.empty()) {
        EXPECT_EQ(corner.GetA(), 0);
        EXPECT_EQ(centre.GetA(), 255);
    } else {
        EXPECT_EQ(corner.GetR(), 0);  // black: transparent
        EXPECT_EQ(centre.GetR(), 255);
    }
}

INSTANTIATE_TEST_SUITE_P(Skins, SkinsFiles, ::testing::Values(L"Midnight", L"Daylight"),
                         [](const ::testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

}  // namespace
