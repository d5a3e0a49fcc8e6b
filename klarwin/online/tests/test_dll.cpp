// A DLL whose unregistration leaves a mark: HKEY_CURRENT_USER
// "Software\KlarwinOnlineTest" value "Unregistered" = 1.
#include <windows.h>

extern "C" HRESULT __stdcall DllUnregisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\KlarwinOnlineTest", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        DWORD one = 1;
        RegSetValueExW(key, L"Unregistered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        RegCloseKey(key);
    }
    return S_OK;
}
