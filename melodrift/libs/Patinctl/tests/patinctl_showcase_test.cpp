// A panel with every kind of control, drawn from pictures made here, shown on
// the virtual display and saved as "patinctl-showcase.png" beside the test.
#include "pt_test_support.h"

#include <algorithm>
#include <functional>

#include <objidl.h>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <gtest/gtest.h>

using namespace pttest;

namespace {

bool DrawPng(const std::wstring& path, int w, int h, const std::function<void(Gdiplus::Graphics&)>& draw) {
    std::wstring scratch = path + L".tmp.png";
    // WritePng starts GDI+ and gives a transparent canvas of the right size.
    if (!WritePng(scratch, w, h, [](int, int) { return 0u; })) return false;
    Gdiplus::Bitmap bitmap(w, h, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&bitmap);
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        g.Clear(Gdiplus::Color(0, 0, 0, 0));
        draw(g);
    }
    DeleteFileW(scratch.c_str());
    CLSID png{};
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i)
        if (lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) png = codecs[i].Clsid;
    return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

// Round buttons in four (push) or eight (two-state) states with a glyph.
bool ButtonStrip(const std::wstring& path, int glyph, int frames = 4) {
    const int s = 32;
    const Gdiplus::Color faces[8] = {
        {255, 60, 70, 86},   {255, 80, 92, 112},  {255, 40, 48, 60},   {150, 60, 70, 86},
        {255, 30, 110, 190}, {255, 50, 130, 215}, {255, 20, 80, 150},  {150, 30, 110, 190}};
    return DrawPng(path, s * frames, s, [&](Gdiplus::Graphics& g) {
        for (int i = 0; i < frames; ++i) {
            float x = static_cast<float>(i * s);
            Gdiplus::LinearGradientBrush brush(Gdiplus::PointF(x, 0), Gdiplus::PointF(x, s),
                                               Gdiplus::Color(255, 255, 255, 255), faces[i]);
            Gdiplus::Color blend[2] = {Gdiplus::Color(255, std::min(255, faces[i].GetR() + 60),
                                                      std::min(255, faces[i].GetG() + 60),
                                                      std::min(255, faces[i].GetB() + 60)),
                                       faces[i]};
            brush.SetLinearColors(blend[0], blend[1]);
            g.FillEllipse(&brush, x + 1, 1.0f, s - 3.0f, s - 3.0f);
            Gdiplus::Pen rim(Gdiplus::Color(200, 20, 24, 30), 1.5f);
            g.DrawEllipse(&rim, x + 1, 1.0f, s - 3.0f, s - 3.0f);
            Gdiplus::SolidBrush ink(Gdiplus::Color(i % 4 == 3 ? 120 : 255, 235, 240, 245));
            float cx = x + s / 2.0f, cy = s / 2.0f;
            if (glyph == 0) {  // play
                Gdiplus::PointF tri[3] = {{cx - 5, cy - 7}, {cx - 5, cy + 7}, {cx + 7, cy}};
                g.FillPolygon(&ink, tri, 3);
            } else if (glyph == 1) {  // stop
                g.FillRectangle(&ink, cx - 6, cy - 6, 12.0f, 12.0f);
            } else if (glyph == 2) {  // pause
                g.FillRectangle(&ink, cx - 6, cy - 7, 4.0f, 14.0f);
                g.FillRectangle(&ink, cx + 2, cy - 7, 4.0f, 14.0f);
            } else {  // shuffle: two crossing arrows as lines
                Gdiplus::Pen pen(Gdiplus::Color(255, 235, 240, 245), 2.0f);
                g.DrawLine(&pen, cx - 7, cy - 5, cx + 7, cy + 5);
                g.DrawLine(&pen, cx - 7, cy + 5, cx + 7, cy - 5);
            }
        }
    });
}

// Track 120x8, filled track, three 14x14 thumbs (picture 14 tall).
bool SliderStrip(const std::wstring& path) {
    return DrawPng(path, 120 * 2 + 14 * 3, 14, [](Gdiplus::Graphics& g) {
        Gdiplus::SolidBrush empty(Gdiplus::Color(255, 40, 46, 56)), full(Gdiplus::Color(255, 40, 150, 230));
        Gdiplus::Pen edge(Gdiplus::Color(255, 90, 100, 115), 1.0f);
        g.FillRectangle(&empty, 0, 4, 120, 6);
        g.DrawRectangle(&edge, 0, 4, 119, 5);
        g.FillRectangle(&full, 120, 4, 120, 6);
        const Gdiplus::Color thumbs[3] = {{255, 220, 226, 235}, {255, 255, 255, 255}, {255, 150, 200, 255}};
        for (int i = 0; i < 3; ++i) {
            Gdiplus::SolidBrush b(thumbs[i]);
            g.FillEllipse(&b, 240 + 14 * i + 1.0f, 1.0f, 12.0f, 12.0f);
        }
    });
}

// Vertical: track column 14 wide, 80 tall, then three 14x10 thumbs at the top.
bool VerticalStrip(const std::wstring& path) {
    return DrawPng(path, 14 * 4, 80, [](Gdiplus::Graphics& g) {
        Gdiplus::SolidBrush track(Gdiplus::Color(255, 40, 46, 56));
        g.FillRectangle(&track, 5, 0, 4, 80);
        const Gdiplus::Color thumbs[3] = {{255, 220, 226, 235}, {255, 255, 255, 255}, {255, 150, 200, 255}};
        for (int i = 0; i < 3; ++i) {
            Gdiplus::SolidBrush b(thumbs[i]);
            g.FillRectangle(&b, 14 + 14 * i + 0.0f, 0.0f, 14.0f, 10.0f);
        }
    });
}

// Knob: 16 frames of 40x40 with the pointer turning from -135 to +135 degrees.
bool KnobStrip(const std::wstring& path) {
    return DrawPng(path, 40 * 16, 40, [](Gdiplus::Graphics& g) {
        for (int i = 0; i < 16; ++i) {
            float x = i * 40.0f;
            Gdiplus::SolidBrush body(Gdiplus::Color(255, 64, 72, 86));
            Gdiplus::Pen rim(Gdiplus::Color(255, 120, 130, 145), 2.0f);
            g.FillEllipse(&body, x + 3, 3.0f, 34.0f, 34.0f);
            g.DrawEllipse(&rim, x + 3, 3.0f, 34.0f, 34.0f);
            double a = (-135.0 + 270.0 * i / 15.0) * 3.14159265358979 / 180.0;
            Gdiplus::Pen pointer(Gdiplus::Color(255, 40, 160, 240), 3.0f);
            g.DrawLine(&pointer, x + 20, 20.0f, x + 20 + static_cast<float>(std::sin(a) * 13),
                       20.0f - static_cast<float>(std::cos(a) * 13));
        }
    });
}

TEST(PatinctlShowcase, PanelWithEveryKindOfControl) {
    TempDir dir;
    std::wstring skin = dir.File(L"Showcase-eng.xml");
    ASSERT_TRUE(WriteText(skin,
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<SKIN_MM Caption=\"Showcase\" Width=\"640\" Height=\"300\"><Colors>"
                          "<Color Name=\"FrameBackground\" Value=\"#1B2230\"/>"
                          "<Color Name=\"FrameText\" Value=\"#DCE3EC\"/>"
                          "<Color Name=\"DialogBackground\" Value=\"#243042\"/>"
                          "<Color Name=\"DialogText\" Value=\"#DCE3EC\"/>"
                          "</Colors><MAINFRAME/></SKIN_MM>\n"));
    ASSERT_EQ(LoadStandardSkin(skin.c_str()), S_OK);
    ASSERT_TRUE(ButtonStrip(dir.File(L"play.png"), 0));
    ASSERT_TRUE(ButtonStrip(dir.File(L"stop.png"), 1));
    ASSERT_TRUE(ButtonStrip(dir.File(L"pause.png"), 2));
    ASSERT_TRUE(ButtonStrip(dir.File(L"shuffle.png"), 3, 8));
    ASSERT_TRUE(SliderStrip(dir.File(L"slider.png")));
    ASSERT_TRUE(VerticalStrip(dir.File(L"vslider.png")));
    ASSERT_TRUE(KnobStrip(dir.File(L"knob.png")));

    Host host(660, 320, 20, 380);
    HWND top = CreateWindowExW(0, PT_WC_AUTOPANELCAPTION, L"", WS_CHILD | WS_VISIBLE, 0, 0, 660, 40, host.Hwnd(),
                               nullptr, nullptr, nullptr);
    HWND panel = CreateWindowExW(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_VISIBLE, 0, 40, 660, 280, host.Hwnd(),
                                 nullptr, nullptr, nullptr);
    auto topElement = Element(L"FramePanelUp", {{L"Height", L"40"}, {L"Background", L"#2A3548"},
                                                {L"GradientTo", L"#161C28"}, {L"BorderColor", L"#3A475C"}});
    auto* title = new enXml(L"Label");
    title->SetAttribute(L"Text", L"Patinctl showcase");
    title->SetAttribute(L"X", L"14");
    title->SetAttribute(L"TextColor", L"#E8EEF6");
    title->SetAttribute(L"LogFont", L"Tahoma,18,Bold");
    topElement->AddChild(title);
    SendMessageW(top, PTM_SETSKINELEMENT, 0, reinterpret_cast<LPARAM>(topElement.get()));
    auto panelElement = Element(L"FramePanelPlayer", {{L"Height", L"280"}, {L"GradientTo", L"#10151E"}});
    SendMessageW(panel, PTM_SETSKINELEMENT, 0, reinterpret_cast<LPARAM>(panelElement.get()));

    std::vector<std::unique_ptr<enXml>> elements;
    std::vector<std::unique_ptr<PictureFile>> files;
    auto add = [&](const wchar_t* cls, DWORD style, const wchar_t* text, const wchar_t* picture,
                   std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes,
                   const wchar_t* tooltip) {
        HWND control = CreateWindowExW(0, cls, text, WS_CHILD | style, 0, 0, 60, 24, host.Hwnd(), nullptr, nullptr,
                                       nullptr);
        elements.push_back(Element(L"C", attributes));
        HANDLE handle = nullptr;
        if (picture) {
            files.push_back(std::make_unique<PictureFile>(dir.File(picture)));
            handle = files.back()->Get();
        }
        UseSkin(control, handle, nullptr, elements.back().get());
        if (tooltip) SendMessageW(control, PTM_SETTOOLTIP, 0, reinterpret_cast<LPARAM>(tooltip));
        EXPECT_TRUE(SendMessageW(panel, PTM_AUTODISPOSECONTROL, reinterpret_cast<WPARAM>(control),
                                 reinterpret_cast<LPARAM>(elements.back().get())));
        return control;
    };
    HWND play = add(PT_WC_BUTTON, BS_PUSHBUTTON, L"", L"play.png", {{L"X", L"16"}, {L"Y", L"14"}}, L"Play");
    add(PT_WC_BUTTON, BS_PUSHBUTTON, L"", L"pause.png", {{L"X", L"54"}, {L"Y", L"14"}}, L"Pause");
    add(PT_WC_BUTTON, BS_PUSHBUTTON, L"", L"stop.png", {{L"X", L"92"}, {L"Y", L"14"}}, L"Stop");
    HWND shuffle = add(PT_WC_BUTTON, BS_AUTOCHECKBOX | BS_PUSHLIKE, L"", L"shuffle.png", {{L"X", L"130"}, {L"Y", L"14"}},
                       L"Shuffle");
    SendMessageW(shuffle, BM_SETCHECK, BST_CHECKED, 0);
    add(PT_WC_SCALEBUTTON, BS_PUSHBUTTON, L"", L"play.png", {{L"X", L"170"}, {L"Y", L"6"}, {L"Width", L"48"}, {L"Height", L"48"}},
        L"Big play");
    HWND position = add(PT_WC_SLIDER, 0, L"", L"slider.png",
                        {{L"X", L"240"}, {L"Right", L"20"}, {L"Y", L"22"}, {L"Height", L"14"}, {L"FilledTrack", L"Yes"},
                         {L"HorzStretch", L"Yes"}},
                        L"Position: 35%");
    SendMessageW(position, TBM_SETPOS, TRUE, 35);
    HWND volume = add(PT_WC_SCALESLIDER, 0, L"", L"slider.png",
                      {{L"X", L"16"}, {L"Y", L"70"}, {L"Width", L"180"}, {L"Height", L"20"}, {L"FilledTrack", L"Yes"}},
                      L"Volume: 80%");
    SendMessageW(volume, TBM_SETPOS, TRUE, 80);
    HWND balance = add(PT_WC_SLIDER, PTS_CENTERFILL, L"", L"slider.png",
                       {{L"X", L"16"}, {L"Y", L"100"}, {L"Width", L"180"}, {L"FilledTrack", L"Yes"}}, L"Balance: 30% right");
    SendMessageW(balance, TBM_SETPOS, TRUE, 65);
    for (int i = 0; i < 8; ++i) {
        std::wstring x = std::to_wstring(230 + 22 * i);
        HWND eq = add(PT_WC_SLIDER, TBS_VERT, L"", L"vslider.png",
                      {{L"X", x.c_str()}, {L"Y", L"70"}, {L"Height", L"90"}, {L"Type", L"Vertical"}}, L"Equalizer");
        SendMessageW(eq, TBM_SETRANGE, TRUE, MAKELPARAM(0, 200));
        SendMessageW(eq, TBM_SETPOS, TRUE, 40 + (i * 53) % 140);
    }
    HWND knob = add(PT_WC_SLIDERROUND, 0, L"", L"knob.png", {{L"X", L"420"}, {L"Y", L"80"}}, L"Reverb");
    SendMessageW(knob, TBM_SETPOS, TRUE, 70);
    add(PT_WC_STATIC, 0, L"Ready", nullptr,
        {{L"X", L"16"}, {L"Right", L"16"}, {L"Bottom", L"8"}, {L"Height", L"20"}, {L"TextColor", L"#8FD3FF"},
         {L"LogFont", L"Tahoma,13"}},
        nullptr);
    add(PT_WC_SCROLLSTATIC, 0, L"Now playing: a title far too long for the little box that shows it", nullptr,
        {{L"X", L"16"}, {L"Y", L"130"}, {L"Width", L"180"}, {L"Height", L"20"}}, nullptr);
    HWND combo = add(PT_WC_COMBOBOX, CBS_DROPDOWNLIST, L"", nullptr,
                     {{L"X", L"480"}, {L"Y", L"70"}, {L"Width", L"150"}, {L"Height", L"120"}}, nullptr);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Concert hall"));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
    add(PT_WC_EDITBOX, WS_BORDER, L"Preset name", nullptr,
        {{L"X", L"480"}, {L"Y", L"104"}, {L"Width", L"150"}, {L"Height", L"22"}}, nullptr);
    HWND tree = add(PT_WC_TREECTRL, WS_BORDER | TVS_HASLINES | TVS_LINESATROOT, L"", nullptr,
                    {{L"X", L"16"}, {L"Y", L"160"}, {L"Width", L"180"}, {L"Height", L"80"}}, nullptr);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(L"Library");
    auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    insert.hParent = root;
    insert.item.pszText = const_cast<wchar_t*>(L"Playlists");
    SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
    add(PT_WC_HTMLBROWSER, 0, L"<h3>About</h3><p>Skinned controls &amp; panels.</p>", nullptr,
        {{L"X", L"230"}, {L"Y", L"170"}, {L"Width", L"180"}, {L"Height", L"70"}}, nullptr);
    add(PT_WC_SURROUNDVIEW, 0, L"", nullptr, {{L"X", L"480"}, {L"Y", L"140"}, {L"Width", L"100"}, {L"Height", L"100"}},
        nullptr);

    RedrawWindow(host.Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(300);
    std::wstring out = ExeFolder() + L"\\patinctl-showcase.png";
    EXPECT_TRUE(SaveWindowPng(host.Hwnd(), out));
    // The play button sits where its element put it and shows its face, not the panel.
    RECT rc;
    GetWindowRect(play, &rc);
    MapWindowPoints(nullptr, panel, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 16);
    EXPECT_EQ(rc.top, 14);
    EXPECT_FALSE(Near(PixelAt(play, 8, 16), PixelAt(panel, 24, 30), 20));
}

}  // namespace
