// A second program for the tests: the driver drives its dialog from another
// process, and the hyperlink's registered-program fallback runs it.
//   ui_test_peer --dialog                 a dialog titled "Driver Peer"; "Ask" shows a
//                                         yes/no box; the exit code is 10 + the answer
//   ui_test_peer --record FILE ARGS...    writes ARGS (one a line, UTF-8) to FILE
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ui_test_peer_res.h"

namespace {

HBRUSH g_red = nullptr;

INT_PTR CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == IDC_PEER_PANEL) {
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 0, 0));
            return reinterpret_cast<INT_PTR>(g_red);
        }
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_PEER_ASK) {
            int answer = MessageBoxW(hwnd, L"Peer question?", L"Peer", MB_YESNO);
            EndDialog(hwnd, 10 + answer);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, 2);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

int Record(int argc, wchar_t** argv) {
    if (argc < 3) return 3;
    std::wstring text;
    for (int i = 3; i < argc; ++i) {
        text += argv[i];
        text += L"\n";
    }
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), n, nullptr, nullptr);
    HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 4;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int result = 1;
    if (argv && argc >= 2 && std::wstring(argv[1]) == L"--record") {
        result = Record(argc, argv);
    } else if (argv && argc >= 2 && std::wstring(argv[1]) == L"--dialog") {
        g_red = CreateSolidBrush(RGB(255, 0, 0));
        result = static_cast<int>(DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PEER), nullptr, &PeerProc, 0));
        DeleteObject(g_red);
    }
    if (argv) LocalFree(argv);
    return result;
}
