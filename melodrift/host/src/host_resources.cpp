#include "host_resources.h"

#include "fw/win/app.h"
#include "fw/win/resources.h"

namespace mdhost {

std::wstring HostString(UINT id) {
    std::wstring text;
    if (fw::TryLoadResourceString(id, text)) return text;
    fw::TryLoadResourceString(id, text, GetModuleHandleW(nullptr));
    return text;
}

HINSTANCE ResourceModuleFor(const wchar_t* name, const wchar_t* type) {
    HINSTANCE current = AfxGetResourceHandle();
    if (current && FindResourceW(current, name, type)) return current;
    return GetModuleHandleW(nullptr);
}

CDialogResourceScope::CDialogResourceScope(UINT templateId) : m_previous(AfxGetResourceHandle()) {
    AfxSetResourceHandle(ResourceModuleFor(MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5) /* RT_DIALOG */));
}

CDialogResourceScope::~CDialogResourceScope() { AfxSetResourceHandle(m_previous); }

}  // namespace mdhost
