#include "scan_test_support.h"

#include <shlobj.h>

#include <atomic>
#include <cstdio>

#include "fw/strutil.h"

namespace scantest {

std::wstring UniqueName(const wchar_t* prefix) {
    static std::atomic<int> counter{0};
    return fw::Format(L"%s-%lu-%lu-%d", prefix, GetCurrentProcessId(), GetTickCount(), ++counter);
}

std::string Narrow(const std::wstring& text) {
    return fw::ToUtf8(text);
}

// ---------------------------------------------------------------------------
// Registry

namespace {

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

RegistryFixture::~RegistryFixture() { RemoveAll(); }

bool RegistryFixture::CreateKey(HKEY root, const std::wstring& path) {
    // Remember the top-most part of the path that did not exist yet.
    if (!KeyExists(root, path)) {
        std::wstring top = path;
        for (;;) {
            std::size_t slash = top.rfind(L'\\');
            if (slash == std::wstring::npos) break;
            std::wstring parent = top.substr(0, slash);
            if (KeyExists(root, parent)) break;
            top = parent;
        }
        bool known = false;
        for (const Created& c : m_keys) known = known || (c.root == root && c.path == top);
        if (!known) m_keys.push_back({root, top});
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool RegistryFixture::SetString(HKEY root, const std::wstring& path, const std::wstring& name,
                                const std::wstring& data, DWORD type) {
    if (!CreateKey(root, path)) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
    LONG rc = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    m_values.push_back({root, path, name});
    return rc == ERROR_SUCCESS;
}

bool RegistryFixture::SetDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD data) {
    if (!CreateKey(root, path)) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) return false;
    LONG rc = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
    RegCloseKey(key);
    m_values.push_back({root, path, name});
    return rc == ERROR_SUCCESS;
}

void RegistryFixture::RemoveAll() {
    for (const Value& v : m_values) {
        HKEY key = nullptr;
        if (RegOpenKeyExW(v.root, v.path.c_str(), 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            RegDeleteValueW(key, v.name.c_str());
            RegCloseKey(key);
        }
    }
    m_values.clear();
    for (auto it = m_keys.rbegin(); it != m_keys.rend(); ++it) {
        RegDeleteTreeW(it->root, it->path.c_str());
        RegDeleteKeyW(it->root, it->path.c_str());
    }
    m_keys.clear();
}

// ---------------------------------------------------------------------------
// Files

void DeleteTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(path);
            else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

TempFolder::TempFolder(const std::wstring& parent) : m_path(parent + L"\\" + UniqueName(L"klarwin-scan")) {
    CreateDirectoryW(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder() { DeleteTree(m_path); }

std::wstring TempFolder::Folder(const std::wstring& relative) const {
    std::wstring path = m_path;
    for (const std::wstring& part : fw::Split(relative, L"\\", false)) {
        path += L"\\" + part;
        CreateDirectoryW(path.c_str(), nullptr);
    }
    return path;
}

std::wstring TempFolder::File(const std::wstring& relative, const char* content) const {
    std::size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos) Folder(relative.substr(0, slash));
    std::wstring path = m_path + L"\\" + relative;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, content, static_cast<DWORD>(strlen(content)), &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

bool CreateShortcut(const std::wstring& linkPath, const std::wstring& target) {
    fw::ComPtr<IShellLinkW> link;
    if (FAILED(link.CoCreateInstance(CLSID_ShellLink, IID_IShellLinkW))) return false;
    if (FAILED(link->SetPath(target.c_str()))) return false;
    fw::ComPtr<IPersistFile> file;
    if (FAILED(link.As(IID_IPersistFile, file))) return false;
    return SUCCEEDED(file->Save(linkPath.c_str(), TRUE));
}

// ---------------------------------------------------------------------------
// Messages

MessageWindow::MessageWindow(UINT first, UINT last) : m_first(first), m_last(last) {
    static const wchar_t* kClass = L"KlarwinTestMessageWindow";
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &MessageWindow::WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
        registered = true;
    }
    m_window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), this);
}

MessageWindow::~MessageWindow() { Close(); }

void MessageWindow::Close() {
    if (!m_window) return;
    Drain();
    HWND window = m_window;
    m_window = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= self->m_first && msg <= self->m_last) {
        self->Handle(msg, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool MessageWindow::PumpUntilEnded(HANDLE thread, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    Drain();
    return true;
}

void MessageWindow::Drain() {
    if (!m_window) return;
    MSG msg;
    while (PeekMessageW(&msg, m_window, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

std::wstring TakeBstr(WPARAM wParam) {
    BSTR text = reinterpret_cast<BSTR>(wParam);
    std::wstring out(text, SysStringLen(text));
    SysFreeString(text);
    return out;
}

MessageRecorder::MessageRecorder() : MessageWindow(WM_SCAN_ERROR_FOUND, WM_SCAN_SECTION_SKIPPED) {}

void MessageRecorder::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    Received r{msg, wParam, lParam, {}};
    if (msg == WM_SCAN_PROGRESS_TEXT) {
        r.text = TakeBstr(wParam);
        r.wParam = 0;
    }
    m_messages.push_back(r);
    if (slowness) Sleep(slowness);
    if (onMessage) onMessage(m_messages.back());
}

std::vector<Received> MessageRecorder::WithoutProgress() const {
    std::vector<Received> out;
    for (const Received& r : m_messages)
        if (r.message != WM_SCAN_PROGRESS_TEXT) out.push_back(r);
    return out;
}

std::vector<std::wstring> MessageRecorder::ProgressTexts() const {
    std::vector<std::wstring> out;
    for (const Received& r : m_messages)
        if (r.message == WM_SCAN_PROGRESS_TEXT) out.push_back(r.text);
    return out;
}

std::string Describe(const std::vector<Received>& messages) {
    std::string out;
    for (const Received& r : messages) {
        const char* name = "?";
        switch (r.message) {
            case WM_SCAN_ERROR_FOUND: name = "error"; break;
            case WM_SCAN_PROGRESS_TEXT: name = "progress"; break;
            case WM_SCAN_COMPLETE: name = "complete"; break;
            case WM_SCAN_SECTION_START: name = "start"; break;
            case WM_SCAN_SECTION_END: name = "end"; break;
            case WM_SCAN_SECTION_SKIPPED: name = "skipped"; break;
        }
        char line[64];
        std::snprintf(line, sizeof(line), "%s(%d,%d) ", name, static_cast<int>(r.wParam), static_cast<int>(r.lParam));
        out += line;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Scans

bool ScanRun::Run(std::initializer_list<int> sections) {
    bool enabled[kSectionCount] = {};
    for (int s : sections) enabled[s] = true;
    return Run(enabled);
}

bool ScanRun::RunAll() {
    bool enabled[kSectionCount];
    for (bool& e : enabled) e = true;
    return Run(enabled);
}

bool ScanRun::Run(const bool enabled[kSectionCount]) {
    ScanSetup setup;
    setup.errors = &errors;
    setup.counters = &counters;
    setup.ignoreList = &ignore;
    setup.notifyWindow = recorder.Window();
    setup.pacingScale = pacingScale;
    setup.progressIntervalMs = progressIntervalMs;
    setup.postMessage = postMessage;
    CRegistryScanThread scan(enabled, setup);
    thread = &scan;
    DWORD start = GetTickCount();
    bool ok = scan.Start() && recorder.PumpUntilEnded(scan.m_hThread);
    elapsedMs = GetTickCount() - start;
    if (!ok) scan.Stop();
    thread = nullptr;
    recorder.Drain();
    return ok;
}

std::vector<CError> ErrorsWith(const CErrorListEx& errors, const std::wstring& marker) {
    std::vector<CError> out;
    for (const CError& e : errors)
        if (e.Item.SubKey.find(marker) != std::wstring::npos || e.FilePath.find(marker) != std::wstring::npos ||
            e.Item.ValueName.find(marker) != std::wstring::npos)
            out.push_back(e);
    return out;
}

}  // namespace scantest
