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

HMENU MakeModuleMenu(const wchar_t* title, std::initializer_list<ModuleMenuItem> items)
{
    HMENU menu = CreateMenu();
    HMENU popup = CreatePopupMenu();
    if (!menu || !popup) {
        if (menu) DestroyMenu(menu);
        if (popup) DestroyMenu(popup);
        return nullptr;
    }
    for (const ModuleMenuItem& item : items) {
        if (item.id == 0) AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
        else AppendMenuW(popup, MF_STRING, item.id, item.text);
    }
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), title);
    return menu;
}

HACCEL MakeModuleAccelerators(std::initializer_list<ACCEL> keys)
{
    if (keys.size() == 0) return nullptr;
    return CreateAcceleratorTableW(const_cast<ACCEL*>(keys.begin()), static_cast<int>(keys.size()));
}

}  // namespace orvo
