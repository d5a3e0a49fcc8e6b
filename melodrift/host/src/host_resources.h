// Resources of the host: from the resource module (the language DLL in use),
// else from the program itself, so that a language DLL that lacks a string,
// menu or dialog still leaves the program working.
#pragma once

#include <windows.h>

#include <string>

namespace mdhost {

std::wstring HostString(UINT id);
// The module that holds a resource of that name and type: the resource
// module when it has it, else the program.
HINSTANCE ResourceModuleFor(const wchar_t* name, const wchar_t* type);

// Makes the module holding a dialog template the resource module while it
// exists (the framework creates dialogs from the resource module).
class CDialogResourceScope {
public:
    explicit CDialogResourceScope(UINT templateId);
    ~CDialogResourceScope();
    CDialogResourceScope(const CDialogResourceScope&) = delete;
    CDialogResourceScope& operator=(const CDialogResourceScope&) = delete;

private:
    HINSTANCE m_previous;
};

}  // namespace mdhost
