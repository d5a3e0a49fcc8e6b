#include "ui_driver.h"

#include <algorithm>
#include <cstdlib>

namespace uidriver {
namespace {

constexpr UINT kSendTimeoutMs = 2000;

LRESULT SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool* ok = nullptr) {
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendTimeoutMs,
                                       &result);
    if (ok) *ok = sent != 0;
    return static_cast<LRESULT>(result);
}

struct EnumState {
    const WindowQuery* query;
    std::vector<HWND> found;
};

bool Matches(HWND hwnd, const WindowQuery& q) {
    if (q.visibleOnly && !::IsWindowVisible(hwnd)) return false;
    if (q.processId != kAnyProcess) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != (q.processId ? q.processId : GetCurrentProcessId())) return false;
    }
    if (q.owner && GetWindow(hwnd, GW_OWNER) != q.owner) return false;
    if (!q.className.empty() && GetClass(hwnd) != q.className) return false;
    if (!q.title.empty() && GetText(hwnd) != q.title) return false;
    return true;
}

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM lParam) {
    auto* state = reinterpret_cast<EnumState*>(lParam);
    if (Matches(hwnd, *state->query)) state->found.push_back(hwnd);
    return TRUE;
}

struct FindChildState {
    int id;
    HWND found;
};

BOOL CALLBACK FindChildById(HWND hwnd, LPARAM lParam) {
    auto* state = reinterpret_cast<FindChildState*>(lParam);
    if (::GetDlgCtrlID(hwnd) == state->id) {
        state->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

bool SendMouseInput(DWORD flags, POINT screen) {
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    if (cx <= 1 || cy <= 1) return false;
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(screen.x, 65535, cx - 1);
    in.mi.dy = MulDiv(screen.y, 65535, cy - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    return SendInput(1, &in, sizeof in) == 1;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return condition();
        Sleep(pollMs);
    }
}

// ---------------------------------------------------------------------------
// Finding windows
// ---------------------------------------------------------------------------

std::vector<HWND> FindTopWindows(const WindowQuery& query) {
    EnumState state{&query, {}};
    EnumWindows(&CollectTop, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND FindTopWindow(const WindowQuery& query) {
    std::vector<HWND> all = FindTopWindows(query);
    return all.empty() ? nullptr : all.front();
}

std::wstring ProcessImage(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return L"";
    wchar_t image[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    const bool ok = QueryFullProcessImageNameW(process, 0, image, &size) != FALSE;
    CloseHandle(process);
    return ok ? image : L"";
}

HWND WaitForTopWindow(const WindowQuery& query, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(query)) != nullptr; }, timeoutMs);
    return found;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs, bool hiddenCounts) {
    return WaitUntil([&] { return !IsWindow(hwnd) || (hiddenCounts && !::IsWindowVisible(hwnd)); }, timeoutMs);
}

HWND FindControl(HWND parent, int id) {
    if (!parent) return nullptr;
    if (HWND direct = ::GetDlgItem(parent, id)) return direct;
    FindChildState state{id, nullptr};
    EnumChildWindows(parent, &FindChildById, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

std::wstring GetText(HWND hwnd) {
    if (!IsWindow(hwnd)) return std::wstring();
    bool ok = false;
    LRESULT length = SendWithTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, &ok);
    if (!ok || length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT got = SendWithTimeout(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &ok);
    if (!ok || got <= 0) return std::wstring();
    return std::wstring(buffer.data(), static_cast<std::size_t>(std::min<LRESULT>(got, length)));
}

std::wstring GetControlText(HWND parent, int id) { return GetText(FindControl(parent, id)); }

std::wstring GetClass(HWND hwnd) {
    wchar_t name[256] = {};
    int n = GetClassNameW(hwnd, name, 256);
    return std::wstring(name, n > 0 ? static_cast<std::size_t>(n) : 0);
}

int GetCheck(HWND control) {
    if (!IsWindow(control)) return -1;
    bool ok = false;
    LRESULT r = SendWithTimeout(control, BM_GETCHECK, 0, 0, &ok);
    return ok ? static_cast<int>(r) : -1;
}

bool IsVisible(HWND hwnd) { return IsWindow(hwnd) && ::IsWindowVisible(hwnd); }
bool IsEnabled(HWND hwnd) { return IsWindow(hwnd) && ::IsWindowEnabled(hwnd); }
DWORD GetStyle(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)); }
DWORD GetExStyle(HWND hwnd) { return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)); }

RECT GetScreenRect(HWND hwnd) {
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

RECT GetClientScreenRect(HWND hwnd) {
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

RECT GetRectInParent(HWND control) {
    RECT rc = GetScreenRect(control);
    HWND parent = ::GetParent(control);
    if (parent && (GetStyle(control) & WS_CHILD)) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

SIZE GetClientSize(HWND hwnd) {
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    return SIZE{rc.right, rc.bottom};
}

// ---------------------------------------------------------------------------
// Colours and screenshots
// ---------------------------------------------------------------------------

namespace {
// The window's rectangle as the screen shows it (another process's window
// cannot be read through its own DC).
bool CaptureFromScreen(HWND hwnd, fw::testing::Image& image) {
    RECT rc = GetScreenRect(hwnd);
    int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w <= 0 || h <= 0) return false;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC mem = CreateCompatibleDC(screen);
    bool ok = false;
    if (dib && mem) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(mem, old);
        if (ok) {
            image.width = w;
            image.height = h;
            const auto* p = static_cast<const std::uint32_t*>(bits);
            image.pixels.assign(p, p + static_cast<std::size_t>(w) * h);
        }
    }
    if (mem) DeleteDC(mem);
    if (dib) DeleteObject(dib);
    ReleaseDC(nullptr, screen);
    return ok;
}
}  // namespace

bool Capture(HWND hwnd, fw::testing::Image& image) {
    if (!IsWindow(hwnd)) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && fw::testing::CaptureWindow(hwnd, image)) return true;
    return CaptureFromScreen(hwnd, image);
}

namespace {
// The client rectangle's offset inside the captured window image.
POINT ClientOffset(HWND hwnd) {
    RECT window = GetScreenRect(hwnd);
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    return POINT{origin.x - window.left, origin.y - window.top};
}

COLORREF ToColorRef(std::uint32_t argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
}  // namespace

bool GetPixels(HWND hwnd, const RECT& clientRect, std::vector<COLORREF>& pixels) {
    pixels.clear();
    fw::testing::Image image;
    if (!Capture(hwnd, image)) return false;
    POINT off = ClientOffset(hwnd);
    for (int y = clientRect.top; y < clientRect.bottom; ++y)
        for (int x = clientRect.left; x < clientRect.right; ++x) {
            int ix = x + off.x, iy = y + off.y;
            if (ix < 0 || iy < 0 || ix >= image.width || iy >= image.height) return false;
            pixels.push_back(ToColorRef(image.At(ix, iy)));
        }
    return true;
}

COLORREF GetPixel(HWND hwnd, POINT clientPoint) {
    std::vector<COLORREF> one;
    RECT rc = {clientPoint.x, clientPoint.y, clientPoint.x + 1, clientPoint.y + 1};
    if (!GetPixels(hwnd, rc, one) || one.size() != 1) return CLR_INVALID;
    return one.front();
}

bool ColoursClose(COLORREF a, COLORREF b, int tolerance) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
           std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

int CountPixels(HWND hwnd, const RECT& clientRect, COLORREF colour, int tolerance) {
    std::vector<COLORREF> pixels;
    if (!GetPixels(hwnd, clientRect, pixels)) return -1;
    return static_cast<int>(
        std::count_if(pixels.begin(), pixels.end(), [&](COLORREF c) { return ColoursClose(c, colour, tolerance); }));
}

std::filesystem::path SaveScreenshot(HWND hwnd, const std::wstring& name) {
    fw::testing::Image image;
    if (!Capture(hwnd, image)) return std::filesystem::path();
    std::filesystem::path file = fw::testing::ScreenshotPath(name + L".png");
    if (!fw::testing::SaveImage(image, file)) return std::filesystem::path();
    return file;
}

// ---------------------------------------------------------------------------
// Acting
// ---------------------------------------------------------------------------

bool PostClick(HWND button) { return IsWindow(button) && PostMessageW(button, BM_CLICK, 0, 0) != FALSE; }

bool PostCommand(HWND dialog, int id, int code) {
    if (!IsWindow(dialog)) return false;
    HWND control = ::GetDlgItem(dialog, id);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control)) != FALSE;
}

bool PostMouseMove(HWND hwnd, POINT pt) {
    return IsWindow(hwnd) && PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y)) != FALSE;
}

bool PostMouseClick(HWND hwnd, POINT pt) {
    if (!IsWindow(hwnd)) return false;
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    return PostMessageW(hwnd, WM_MOUSEMOVE, 0, at) && PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at) &&
           PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

bool PostKey(HWND hwnd, UINT vk) {
    if (!IsWindow(hwnd)) return false;
    UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1 << 30) | static_cast<LPARAM>(1u << 31);
    return PostMessageW(hwnd, WM_KEYDOWN, vk, down) && PostMessageW(hwnd, WM_KEYUP, vk, up);
}

bool RealMouseMove(POINT to) { return SendMouseInput(0, to); }

bool RealMouseDrag(POINT from, POINT to) {
    if (!SendMouseInput(0, from)) return false;
    Sleep(50);
    if (!SendMouseInput(MOUSEEVENTF_LEFTDOWN, from)) return false;
    Sleep(100);
    const int steps = 5;
    for (int i = 1; i <= steps; ++i) {
        POINT p = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
        if (!SendMouseInput(0, p)) return false;
        Sleep(40);
    }
    Sleep(100);
    return SendMouseInput(MOUSEEVENTF_LEFTUP, to);
}

bool PostClose(HWND hwnd) { return IsWindow(hwnd) && PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; }

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

namespace {

bool IsClass(HWND hwnd, const wchar_t* name) {
    return CompareStringOrdinal(GetClass(hwnd).c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

struct BoxScan {
    std::vector<int> buttons;
    std::wstring text;
    int textScore = -1;
};

BOOL CALLBACK ScanBoxChild(HWND child, LPARAM lParam) {
    auto* scan = reinterpret_cast<BoxScan*>(lParam);
    int id = ::GetDlgCtrlID(child);
    if (IsClass(child, L"Button")) {
        if (id >= IDOK && id <= IDCONTINUE) scan->buttons.push_back(id);
    } else if (IsClass(child, L"Static")) {
        if ((GetStyle(child) & SS_TYPEMASK) == SS_ICON) return TRUE;
        // The message text: id 0xFFFF on Windows, 100 on Wine; otherwise the
        // longest text of the box.
        std::wstring text = GetText(child);
        int score = (id == 0xFFFF || id == 100) ? 1000000 : static_cast<int>(text.size());
        if (score > scan->textScore) {
            scan->textScore = score;
            scan->text = text;
        }
    }
    return TRUE;
}

BOOL CALLBACK CountOtherControls(HWND child, LPARAM lParam) {
    if (!IsClass(child, L"Button") && !IsClass(child, L"Static")) ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

}  // namespace

bool ReadMessageBox(HWND hwnd, MessageBoxInfo& info) {
    info = MessageBoxInfo();
    if (!IsWindow(hwnd) || GetClass(hwnd) != L"#32770") return false;
    BoxScan scan;
    EnumChildWindows(hwnd, &ScanBoxChild, reinterpret_cast<LPARAM>(&scan));
    if (scan.buttons.empty() || scan.textScore < 0) return false;
    // Only buttons and statics: a dialog that holds other controls is no message box.
    int others = 0;
    EnumChildWindows(hwnd, &CountOtherControls, reinterpret_cast<LPARAM>(&others));
    if (others > 0) return false;
    info.hwnd = hwnd;
    info.title = GetText(hwnd);
    info.text = scan.text;
    info.buttons = scan.buttons;
    return true;
}

bool WaitForMessageBox(MessageBoxInfo& info, DWORD processId, const std::wstring& title, DWORD timeoutMs) {
    WindowQuery query;
    query.className = L"#32770";
    query.processId = processId ? processId : GetCurrentProcessId();
    return WaitUntil(
        [&] {
            for (HWND hwnd : FindTopWindows(query)) {
                MessageBoxInfo candidate;
                if (ReadMessageBox(hwnd, candidate) && (title.empty() || candidate.title == title)) {
                    info = candidate;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
}

bool AnswerMessageBox(HWND box, int buttonId) {
    HWND button = ::GetDlgItem(box, buttonId);
    if (!button) return false;
    return PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) != FALSE;
}

// ---------------------------------------------------------------------------
// Programs
// ---------------------------------------------------------------------------

CProcess::~CProcess() {
    if (m_pi.hProcess) {
        if (IsRunning()) Terminate();
        CloseHandle(m_pi.hProcess);
    }
    if (m_pi.hThread) CloseHandle(m_pi.hThread);
}

bool CProcess::Start(const std::filesystem::path& program, const std::wstring& arguments) {
    if (m_pi.hProcess) return false;
    std::wstring line = L"\"" + program.wstring() + L"\"";
    if (!arguments.empty()) line += L" " + arguments;
    std::vector<wchar_t> mutableLine(line.begin(), line.end());
    mutableLine.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring folder = program.parent_path().wstring();
    return CreateProcessW(program.wstring().c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &m_pi) != FALSE;
}

bool CProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!m_pi.hProcess) return false;
    if (WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(m_pi.hProcess, exitCode);
    return true;
}

bool CProcess::IsRunning() const {
    return m_pi.hProcess && WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

void CProcess::Terminate() {
    if (m_pi.hProcess && IsRunning()) {
        TerminateProcess(m_pi.hProcess, 255);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

std::filesystem::path TestProgramFolder() {
    std::vector<wchar_t> buffer(32768, L'\0');
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::filesystem::path(std::wstring(buffer.data(), n)).parent_path();
}

}  // namespace uidriver
