#include "online_test_support.h"

#include "klarwin/online/online_config.h"

#include <wininet.h>

#include <cstdio>
#include <cstdlib>

unsigned short ServerPort(const char* name) {
    const char* dir = getenv("KWONLINE_SERVERS_DIR");
    if (!dir) return 0;
    // A Unix path reaches the Windows side through drive Z:.
    std::string path = std::string(dir[0] == '/' ? "Z:" : "") + dir + "/" + name;
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return 0;
    unsigned port = 0;
    if (fscanf(f, "%u", &port) != 1) port = 0;
    fclose(f);
    return static_cast<unsigned short>(port);
}

unsigned short UseLoopbackUpdateServer() {
    const unsigned short port = ServerPort("update_port");
    if (port) SetUpdateServer({L"127.0.0.1", port});
    return port;
}

unsigned short UseLoopbackLogServer() {
    const unsigned short port = ServerPort("log_port");
    if (port) SetLogServer({L"127.0.0.1", port});
    return port;
}

std::string HttpGet(unsigned short port, const std::wstring& path) {
    std::string body;
    HINTERNET internet = InternetOpenW(L"KlarwinOnlineTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!internet) return body;
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + path;
    HINTERNET request = InternetOpenUrlW(internet, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0);
    if (request) {
        char buffer[1024];
        DWORD got = 0;
        while (InternetReadFile(request, buffer, sizeof(buffer), &got) && got) body.append(buffer, got);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(internet);
    return body;
}

CMessageSink::CMessageSink() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KwOnlineMessageSink";
    RegisterClassW(&wc);
    m_hwnd = CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CMessageSink::~CMessageSink() {
    if (m_hwnd) DestroyWindow(m_hwnd);
}

LRESULT CALLBACK CMessageSink::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CMessageSink*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message >= 0x8000 && message < 0xC000) {
        self->m_messages.emplace_back(message, wParam);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool CMessageSink::WaitFor(UINT until, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    size_t seen = 0;
    while (GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        for (; seen < m_messages.size(); ++seen)
            if (m_messages[seen].first == until) return true;
        Sleep(10);
    }
    return false;
}

void CMessageSink::Pump(DWORD ms) {
    WaitFor(0, ms);
}
