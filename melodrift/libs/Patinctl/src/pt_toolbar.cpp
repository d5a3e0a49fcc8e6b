// Module toolbars: a panel made from a "ModuleToolbar" skin element, holding
// one skinned button per "Button" child. The panel keeps the buttons' picture
// files open and closes them when it is destroyed.
#include "pt_internal.h"

#include <algorithm>

namespace pt {
namespace {

constexpr int kToolbarPadding = 4;   // above and below the tallest button when the element gives no height

// Opened as the frame opens skin pictures: read access, read sharing.
HANDLE OpenPicture(const std::wstring& path) {
    if (path.empty()) return nullptr;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

// One button of the toolbar, or null (nothing left open) when it cannot be made.
HWND MakeButton(HWND panel, const enXml* element, int& height) {
    Attributes a(element);
    int command = 0;
    if (!a.IntIf(L"Command", command) || command <= 0 || command > 0xFFFF) return nullptr;
    const std::wstring source = SkinFilePath(a.Text(L"Source"));
    HANDLE picture = OpenPicture(source);
    if (!picture) return nullptr;
    HANDLE mask = nullptr;
    if (a.Has(L"SourceAlpha")) {
        mask = OpenPicture(SkinFilePath(a.Text(L"SourceAlpha")));
        if (!mask) {
            CloseHandle(picture);
            return nullptr;
        }
    }
    const DWORD kind = a.Is(L"Type", L"Check") ? (BS_AUTOCHECKBOX | BS_PUSHLIKE) : BS_PUSHBUTTON;
    HWND button = CreateWindowExW(0, PT_WC_BUTTON, L"", WS_CHILD | kind, 0, 0, 0, 0, panel,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(command)), ModuleInstance(), nullptr);
    PT_SKIN_RESOURCE resource{};
    resource.cbSize = sizeof(resource);
    resource.hPicture = picture;
    resource.hAlphaPicture = mask;
    resource.pszSource = source.c_str();
    resource.pElement = element;
    if (!button || !SendMessageW(button, PTM_USECUSTOMSKIN, 0, reinterpret_cast<LPARAM>(&resource))) {
        if (button) DestroyWindow(button);
        CloseHandle(picture);
        if (mask) CloseHandle(mask);
        return nullptr;
    }
    PanelKeepFile(panel, picture);
    if (mask) PanelKeepFile(panel, mask);
    const std::wstring tip = a.Text(L"Tip");
    if (!tip.empty()) SendMessageW(button, PTM_SETTOOLTIP, 0, reinterpret_cast<LPARAM>(tip.c_str()));
    SIZE ideal{};
    SendMessageW(button, PTM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
    int top = 0;
    const int own = a.Int(L"Height", ideal.cy) + (a.IntIf(L"Y", top) || a.IntIf(L"Top", top) ? top : 0);
    height = std::max(height, own);
    return button;
}

}  // namespace
}  // namespace pt

extern "C" PATINCTL_API HWND __cdecl PtCreateModuleToolbar(HWND parent, const enXml* element, UINT id) {
    using namespace pt;
    if (!element || !IsWindow(parent) || lstrcmpiW(element->Name().c_str(), L"ModuleToolbar") != 0) return nullptr;
    PtRegisterClasses();
    RECT client{};
    GetClientRect(parent, &client);
    HWND panel = CreateWindowExW(0, PT_WC_AUTOPANEL, L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, std::max<LONG>(client.right, 0),
                                 0, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ModuleInstance(),
                                 nullptr);
    if (!panel) return nullptr;
    SendMessageW(panel, PTM_SETSKINELEMENT, 0, reinterpret_cast<LPARAM>(element));
    const std::wstring name = Attributes(element).Text(L"Tip");
    if (!name.empty()) SetWindowTextW(panel, name.c_str());

    int tallest = 0, count = 0;
    for (const enXml* child = element->FirstChild(); child; child = child->NextSibling()) {
        if (lstrcmpiW(child->Name().c_str(), L"Button") != 0) continue;
        HWND button = MakeButton(panel, child, tallest);
        if (!button) continue;
        SendMessageW(panel, PTM_AUTODISPOSECONTROL, reinterpret_cast<WPARAM>(button), reinterpret_cast<LPARAM>(child));
        ++count;
    }
    if (count == 0) {
        DestroyWindow(panel);
        return nullptr;
    }
    SIZE initial{};
    SendMessageW(panel, PTM_GETINITIALSIZE, 0, reinterpret_cast<LPARAM>(&initial));
    const int height = initial.cy > 0 ? initial.cy : tallest + 2 * kToolbarPadding;
    SetWindowPos(panel, HWND_TOP, 0, 0, std::max<LONG>(client.right, 0), height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    return panel;
}
