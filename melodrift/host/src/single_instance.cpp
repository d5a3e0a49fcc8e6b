#include "single_instance.h"

#include <cwctype>

namespace {

struct FrameSearch {
    const wchar_t* name;
    HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<FrameSearch*>(param);
    if (!GetPropW(window, search->name)) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

CSingleInstance::CSingleInstance(const std::wstring& dataFolder) {
    // FNV-1a over the folder in lower case: a name of the session's namespace
    // without the backslashes a mutex name may not hold.
    std::uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : dataFolder) {
        hash ^= static_cast<std::uint64_t>(std::towlower(c));
        hash *= 1099511628211ull;
    }
    wchar_t text[17] = {};
    for (int i = 15; i >= 0; --i, hash >>= 4) text[i] = L"0123456789ABCDEF"[hash & 0xF];
    m_name = std::wstring(L"Melodrift.Instance.") + text;
    m_mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + m_name).c_str());
    m_first = !m_mutex || GetLastError() != ERROR_ALREADY_EXISTS;
}

CSingleInstance::~CSingleInstance() {
    if (m_mutex) CloseHandle(m_mutex);
}

void CSingleInstance::PublishFrame(HWND frame) const {
    if (m_first && frame) SetPropW(frame, m_name.c_str(), reinterpret_cast<HANDLE>(1));
}

HWND CSingleInstance::FindFrame(const std::wstring& name) {
    FrameSearch search = {name.c_str(), nullptr};
    EnumWindows(&VisitTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool CSingleInstance::HandOver(const mdhost::HandOver& handOver, DWORD timeoutMs) const {
    if (m_first) return false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    // The running copy may still be building its frame.
    HWND frame = FindFrame(m_name);
    while (!frame && GetTickCount64() < deadline) {
        Sleep(25);
        frame = FindFrame(m_name);
    }
    if (!frame) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(frame, &pid);
    AllowSetForegroundWindow(pid);   // the running copy may come to the front
    std::vector<std::uint16_t> block = mdhost::EncodeHandOver(handOver);
    COPYDATASTRUCT data = {};
    data.dwData = mdhost::kHandOverTag;
    data.cbData = static_cast<DWORD>(block.size() * sizeof(std::uint16_t));
    data.lpData = block.data();
    const ULONGLONG now = GetTickCount64();
    const UINT left = static_cast<UINT>(now < deadline ? deadline - now : 1);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_BLOCK | SMTO_ABORTIFHUNG,
                             left, &answer))
        return false;
    return answer == TRUE;
}
