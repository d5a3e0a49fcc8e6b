// Stands in for an updated Klarwin: writes "restarted.txt" into its own folder
// and ends.
#include <windows.h>

#include <string>

int main() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring marker = path;
    marker = marker.substr(0, marker.rfind(L'\\')) + L"\\restarted.txt";
    HANDLE f = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(f);
    return 0;
}
