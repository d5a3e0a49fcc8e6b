// Mediview.dll: the About box of the products that use the media library.
#include "mediview/mediview.h"

#include "../res/mediview_res.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE ThisModule()
{
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

// The program's version resource (the .exe of the process), or empty.
std::vector<unsigned char> ProgramVersionInfo()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            break;
        }
        if (path.size() >= 32768) {
            return {};
        }
        path.resize(path.size() * 2);
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.data(), &handle);
    if (size == 0) {
        return {};
    }
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(path.data(), 0, size, data.data())) {
        return {};
    }
    return data;
}

std::wstring VersionText(const std::vector<unsigned char>& info)
{
    if (info.empty()) {
        return {};
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
        length < sizeof(VS_FIXEDFILEINFO) || fixed->dwSignature != 0xFEEF04BDu) {
        return {};
    }
    wchar_t text[64];
    const unsigned revision = LOWORD(fixed->dwProductVersionLS);
    if (revision != 0) {
        swprintf(text, 64, L"%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                 HIWORD(fixed->dwProductVersionLS), revision);
    } else {
        swprintf(text, 64, L"%u.%u.%u", HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                 HIWORD(fixed->dwProductVersionLS));
    }
    return text;
}

// A string of the version resource's first language, or empty.
std::wstring VersionString(const std::vector<unsigned char>& info, const wchar_t* name)
{
    if (info.empty()) {
        return {};
    }
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        !translations || length < sizeof(Translation)) {
        return {};
    }
    wchar_t query[128];
    swprintf(query, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translations->language, translations->codePage, name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(info.data(), query, reinterpret_cast<void**>(&value), &length) || !value || length == 0) {
        return {};
    }
    return std::wstring(value, wcsnlen(value, length));
}

// The program's first icon, or null.
BOOL CALLBACK FirstIconGroup(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
    *reinterpret_cast<LPCWSTR*>(param) = name;
    return FALSE;
}

HICON ProgramIcon()
{
    HMODULE program = GetModuleHandleW(nullptr);
    LPCWSTR group = nullptr;
    EnumResourceNamesW(program, RT_GROUP_ICON, FirstIconGroup, reinterpret_cast<LONG_PTR>(&group));
    if (!group) {
        return nullptr;
    }
    return static_cast<HICON>(LoadImageW(program, group, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                         GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR | LR_SHARED));
}

// Over the middle of the owner, kept inside the owner's monitor.
void CenterOnOwner(HWND dialog)
{
    HWND owner = GetWindow(dialog, GW_OWNER);
    RECT box = {};
    GetWindowRect(dialog, &box);
    RECT area = {};
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST), &monitor);
    const LONG width = box.right - box.left;
    const LONG height = box.bottom - box.top;
    LONG x = (area.left + area.right - width) / 2;
    LONG y = (area.top + area.bottom - height) / 2;
    x = (std::max)(monitor.rcWork.left, (std::min)(x, monitor.rcWork.right - width));
    y = (std::max)(monitor.rcWork.top, (std::min)(y, monitor.rcWork.bottom - height));
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

struct AboutData {
    const wchar_t* product;
};

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const AboutData* data = reinterpret_cast<const AboutData*>(lParam);
        const std::vector<unsigned char> info = ProgramVersionInfo();
        const std::wstring caption = std::wstring(L"About ") + data->product;
        SetWindowTextW(dialog, caption.c_str());
        SetDlgItemTextW(dialog, MEDIVIEW_IDC_PRODUCT, data->product);
        const std::wstring version = VersionText(info);
        SetDlgItemTextW(dialog, MEDIVIEW_IDC_VERSION, version.empty() ? L"" : (L"Version " + version).c_str());
        std::wstring maker = VersionString(info, L"LegalCopyright");
        if (maker.empty()) {
            const std::wstring company = VersionString(info, L"CompanyName");
            if (!company.empty()) {
                maker = L"\u00A9 " + company + L". All rights reserved.";
            }
        }
        SetDlgItemTextW(dialog, MEDIVIEW_IDC_COPYRIGHT, maker.c_str());
        if (HICON icon = ProgramIcon()) {
            SendDlgItemMessageW(dialog, IDC_MEDIVIEW_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
        }
        // A bigger type for the product name.
        HFONT base = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        LOGFONTW lf = {};
        if (base && GetObjectW(base, sizeof(lf), &lf)) {
            lf.lfWeight = FW_BOLD;
            lf.lfHeight = lf.lfHeight * 3 / 2;
            if (HFONT bold = CreateFontIndirectW(&lf)) {
                SetPropW(dialog, L"MediviewFont", bold);
                SendDlgItemMessageW(dialog, MEDIVIEW_IDC_PRODUCT, WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
            }
        }
        CenterOnOwner(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    case WM_DESTROY:
        if (HANDLE font = RemovePropW(dialog, L"MediviewFont")) {
            DeleteObject(font);
        }
        break;
    default:
        break;
    }
    return FALSE;
}

}  // namespace

extern "C" MEDIVIEW_API int MEDIVIEW_CALL ShowMMInfo(unsigned long productId, HWND owner)
{
    if (productId != MEDIVIEW_PRODUCT_MELODRIFT) {
        return 0;
    }
    if (owner && !IsWindow(owner)) {
        owner = nullptr;
    }
    AboutData data = {L"Melodrift"};
    try {
        const INT_PTR result = DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_MEDIVIEW_ABOUT), owner, AboutProc,
                                               reinterpret_cast<LPARAM>(&data));
        return result > 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

extern "C" MEDIVIEW_API int MEDIVIEW_CALL MediviewGetProgramVersion(wchar_t* buffer, int capacity)
{
    try {
        const std::wstring version = VersionText(ProgramVersionInfo());
        if (version.empty() || !buffer || capacity <= static_cast<int>(version.size())) {
            return 0;
        }
        wmemcpy(buffer, version.c_str(), version.size() + 1);
        return static_cast<int>(version.size());
    } catch (...) {
        return 0;
    }
}
