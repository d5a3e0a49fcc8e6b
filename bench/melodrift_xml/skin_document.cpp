#include "skin_document.h"

#include <iterator>
#include <string>

namespace {

const wchar_t* const kPanels[] = {L"FramePanelUp", L"FramePanelDown", L"FramePanelLeft", L"FramePanelRight",
                                  L"FramePanelPlayer"};
const wchar_t* const kButtons[] = {L"PLAYER_GOTOPREV", L"PLAYER_BACKWARD", L"PLAYER_PLAY", L"PLAYER_PAUSE",
                                   L"PLAYER_STOP", L"PLAYER_FORWARD", L"PLAYER_GOTONEXT", L"PLAYER_RECORD",
                                   L"PLAYER_SHUFFLE", L"PLAYER_REPEAT", L"SURR_SHOW", L"EQUA_TURN", L"EQUA_PRESET",
                                   L"MENU_FILE", L"MENU_EDIT", L"MENU_VIEW", L"MENU_PLAY", L"FRAME_CLOSE"};
const wchar_t* const kSliders[] = {L"PLAYER_POSITION", L"PLAYER_VOLUME", L"PLAYER_BALANCE"};
const wchar_t* const kTypes[] = {L"Horizontal", L"Vertical", L"Round"};

std::wstring Number(std::size_t n) {
    return std::to_wstring(n);
}

void AddPanels(enXml& parent, std::size_t seed) {
    auto* panels = new enXml(L"Panels");
    parent.AddChild(panels);
    for (std::size_t i = 0; i < std::size(kPanels); ++i) {
        auto* panel = new enXml(kPanels[i]);
        panel->SetAttribute(L"X", Number((seed * 7 + i * 13) % 640));
        panel->SetAttribute(L"Y", Number((seed * 11 + i * 17) % 480));
        panel->SetAttribute(L"Width", Number(100 + (seed + i) % 540));
        panel->SetAttribute(L"Height", Number(20 + (seed * 3 + i) % 200));
        panel->SetAttribute(L"Source", L"Default\\panel_" + Number(i) + L".bmp");
        panel->SetAttribute(L"TextColor", L"RGB(" + Number(seed % 256) + L"," + Number(i * 40) + L",255)");
        auto* caption = new enXml(L"Caption");
        caption->SetAttribute(L"Text", L"Panel \u00ab" + Number(seed) + L"\u00bb & <" + kPanels[i] + L">");
        caption->SetAttribute(L"LogFont", L"Tahoma;-11;0;0;0;400;0;0;0;204;0;0;0;0");
        panel->AddChild(caption);
        panels->AddChild(panel);
    }
}

void AddControls(enXml& parent, std::size_t seed) {
    auto* controls = new enXml(L"Controls");
    parent.AddChild(controls);
    for (std::size_t i = 0; i < std::size(kButtons); ++i) {
        auto* button = new enXml(kButtons[i]);
        button->SetAttribute(L"Owner", kPanels[(seed + i) % std::size(kPanels)]);
        button->SetAttribute(L"Source", L"Default\\Buttons\\" + std::wstring(kButtons[i]) + L".bmp");
        button->SetAttribute(L"SourceAlpha", L"Default\\Buttons\\" + std::wstring(kButtons[i]) + L"_mask.bmp");
        button->SetAttribute(L"X", Number((seed + i * 23) % 600));
        button->SetAttribute(L"Y", Number((seed * 5 + i) % 40));
        button->SetAttribute(L"Align", (i % 2) ? L"ALIGN_LEFT/TOP" : L"ALIGN_RIGHT/BOTTOM");
        controls->AddChild(button);
    }
    for (std::size_t i = 0; i < std::size(kSliders); ++i) {
        auto* slider = new enXml(kSliders[i]);
        slider->SetAttribute(L"Owner", L"FramePanelPlayer");
        slider->SetAttribute(L"Type", kTypes[(seed + i) % std::size(kTypes)]);
        slider->SetAttribute(L"Source", L"Default\\Sliders\\" + std::wstring(kSliders[i]) + L".bmp");
        slider->SetAttribute(L"HorzStretch", L"Yes");
        slider->SetAttribute(L"BeginTrackOffset", Number(seed % 9));
        slider->SetAttribute(L"EndTrackOffset", Number((seed + 4) % 9));
        controls->AddChild(slider);
    }
    for (std::size_t band = 1; band <= 10; ++band) {
        auto* slider = new enXml(L"EQUA_SLIDER" + Number(band));
        slider->SetAttribute(L"Owner", L"FramePanelRight");
        slider->SetAttribute(L"Type", L"Vertical");
        slider->SetAttribute(L"Source", L"Default\\Equalizer\\band.bmp");
        slider->SetAttribute(L"VertStretch", L"No");
        controls->AddChild(slider);
    }
    auto* status = new enXml(L"STATUS_BAR");
    status->SetAttribute(L"Owner", L"FramePanelDown");
    status->SetAttribute(L"TextColor", L"RGB(200,220,255)");
    status->SetAttribute(L"LogFont", L"Arial;-12;0;0;0;700;0;0;0;0;0;0;0;0");
    status->SetAttribute(L"Text", L"\u0413\u043e\u0442\u043e\u0432\u043e \"ready\"");
    controls->AddChild(status);
}

}  // namespace

std::unique_ptr<enXml> BuildSkinDocument(std::size_t targetBytes) {
    auto root = std::make_unique<enXml>(L"SKIN_MM");
    root->SetAttribute(L"Caption", L"Melodrift benchmark skin");
    root->SetAttribute(L"Width", L"800");
    root->SetAttribute(L"Height", L"600");
    auto* frame = new enXml(L"MAINFRAME");
    root->AddChild(frame);
    AddPanels(*frame, 0);
    AddControls(*frame, 0);
    auto* modules = new enXml(L"Modules");
    root->AddChild(modules);

    // Each module section adds a little under 10 KB; the size is checked now and then.
    std::string bytes;
    for (std::size_t n = 1;; ++n) {
        auto* module = new enXml(L"Module");
        module->SetAttribute(L"Name", L"Module " + Number(n));
        module->SetAttribute(L"Order", Number(n));
        modules->AddChild(module);
        AddPanels(*module, n);
        AddControls(*module, n);
        if (n % 32 == 0) {
            if (!root->SaveToBuffer(bytes) || bytes.size() >= targetBytes)
                break;
        }
    }
    return root;
}
