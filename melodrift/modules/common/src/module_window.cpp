// The non-template part of a module's window.
#include "module_window.h"

namespace orvo {

bool RegisterModuleWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSEXW wc = {sizeof(wc)};
    if (GetClassInfoExW(instance, className, &wc)) return true;
    wc = {sizeof(wc)};
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0;
}

std::wstring ReadModuleSetting(IApplication* app, const wchar_t* module, const wchar_t* key)
{
    wchar_t buffer[1024] = {};
    if (!app || !app->ReadSetting(module, key, buffer, 1024)) return {};
    return buffer;
}

void WriteModuleSetting(IApplication* app, const wchar_t* module, const wchar_t* key, const std::wstring& value)
{
    if (app) app->WriteSetting(module, key, value.c_str());
}

}  // namespace orvo
