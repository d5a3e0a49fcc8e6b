// The Sonicut window: its controls, the level meter, the menu and the commands
// (the recording itself in sonicut_recording.cpp, its file in sonicut_files.cpp).
#include "sonicut_parts.h"

#include <commctrl.h>

#include <algorithm>

namespace sonicut {

const wchar_t kModuleName[] = L"Sonicut";

namespace {

const wchar_t kWindowClass[] = L"SonicutWindow";
const wchar_t kMeterClass[] = L"SonicutMeter";
constexpr double kMeterFloorDb = -60.0;

}  // namespace

CSonicutWindow::CSonicutWindow(HINSTANCE instance, IQueryInterface* host) : CModuleWindow(instance, host, kModuleName)
{
    if (m_host) m_micro = m_host->GetMicro();
}

CSonicutWindow::~CSonicutWindow()
{
    StopForClose();
    if (m_micro) {
        // The engine must not call into this module once it is gone.
        m_micro->SetDataCallback(nullptr, 0);
        m_micro->ReleaseRecorder(kModuleName);
    }
    DestroyModuleWindow();
}

HWND CSonicutWindow::Create(HWND parent)
{
    // The meter's class (its own painting, no background), then the window.
    WNDCLASSEXW wc = {sizeof(wc)};
    if (!GetClassInfoExW(m_instance, kMeterClass, &wc)) {
        wc = {sizeof(wc)};
        wc.lpfnWndProc = MeterProc;
        wc.hInstance = m_instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kMeterClass;
        if (!RegisterClassExW(&wc)) return nullptr;
    }
    if (!CreateModuleWindow(parent, kWindowClass, ICC_STANDARD_CLASSES, 640, 300)) return nullptr;
    const auto make = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, UINT id) {
        HWND child = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, m_hwnd,
                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), m_instance, nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
        return child;
    };
    m_labels.push_back(make(0, L"STATIC", L"Record to:", SS_LEFT, 0xFFFF));
    m_file = make(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, IDC_SC_FILE);
    m_browse = make(0, L"BUTTON", L"Browse...", WS_TABSTOP | BS_PUSHBUTTON, ID_SC_BROWSE);
    m_labels.push_back(make(0, L"STATIC", L"Format:", SS_LEFT, 0xFFFF));
    m_format = make(0, L"COMBOBOX", L"Recording format", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, IDC_SC_FORMAT);
    m_record = make(0, L"BUTTON", L"Record", WS_TABSTOP | BS_PUSHBUTTON, ID_SC_RECORD);
    m_pause = make(0, L"BUTTON", L"Pause", WS_TABSTOP | BS_PUSHBUTTON, ID_SC_PAUSE);
    m_stop = make(0, L"BUTTON", L"Stop", WS_TABSTOP | BS_PUSHBUTTON, ID_SC_STOP);
    m_labels.push_back(make(0, L"STATIC", L"Time:", SS_LEFT, 0xFFFF));
    m_time = make(0, L"STATIC", L"00:00:00", SS_LEFT, IDC_SC_TIME);
    m_meter = make(WS_EX_CLIENTEDGE, kMeterClass, L"Level: not recording", 0, IDC_SC_METER);
    SetWindowLongPtrW(m_meter, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_status = make(0, L"STATIC", L"", SS_LEFTNOWORDWRAP | SS_NOPREFIX, IDC_SC_STATUS);

    for (const FormatChoice& choice : kFormats) {
        SendMessageW(m_format, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.text));
    }
    const std::wstring saved = ReadSetting(L"Format");
    int format = 0;
    for (int i = 0; i < kFormatCount; ++i) {
        if (saved == kFormats[i].text) format = i;
    }
    SendMessageW(m_format, CB_SETCURSEL, format, 0);
    SetWindowTextW(m_file, DefaultFileName().c_str());

    m_menu = orvo::MakeModuleMenu(L"&Recorder", {
        {ID_SC_RECORD, L"&Record\tCtrl+R"},
        {ID_SC_PAUSE, L"&Pause / Resume\tCtrl+P"},
        {ID_SC_STOP, L"&Stop\tCtrl+T"},
        {0, nullptr},
        {ID_SC_BROWSE, L"Record &to...\tCtrl+S"},
    });
    m_accel = orvo::MakeModuleAccelerators({
        {FCONTROL | FVIRTKEY, 'R', static_cast<WORD>(ID_SC_RECORD)},
        {FCONTROL | FVIRTKEY, 'P', static_cast<WORD>(ID_SC_PAUSE)},
        {FCONTROL | FVIRTKEY, 'T', static_cast<WORD>(ID_SC_STOP)},
        {FCONTROL | FVIRTKEY, 'S', static_cast<WORD>(ID_SC_BROWSE)},
    });

    m_morph.Initialize(m_host, kModuleName, m_instance, m_hwnd);
    if (m_micro) {
        m_micro->SetCanRecord(kModuleName, TRUE);
        SetStatus(L"Ready.");
    } else {
        SetStatus(L"The host offers no microphone.");
    }
    ShowSkin();
    return m_hwnd;
}

LRESULT CALLBACK CSonicutWindow::MeterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (auto* self = reinterpret_cast<CSonicutWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) self->PaintMeter(hwnd, dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CSonicutWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        if (wParam == kTimer) OnTimer();
        return 0;
    case WM_COMMAND:
        // The frame's transport commands reach the microphone's owner.
        switch (LOWORD(wParam)) {
        case ORVO_CMD_RECORD: OnCommand(ID_SC_RECORD); return 0;
        case ORVO_CMD_PAUSE: OnCommand(ID_SC_PAUSE); return 0;
        case ORVO_CMD_STOP: OnCommand(ID_SC_STOP); return 0;
        default: break;
        }
        break;
    case ORVO_WM_RECORDER_RELEASED:
        // Another module took the microphone: the engine is stopped already.
        if (m_state != RecorderState::Stopped) StopRecording(L"Another module took the microphone.");
        return 0;
    case ORVO_WM_RECORDER_ACQUIRED:
        return 0;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, message, wParam, lParam);
}

void CSonicutWindow::Layout()
{
    if (!m_hwnd || !m_status) return;
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    const int width = std::max(360, static_cast<int>(client.right));
    const int m = 8, row = 24, label = 64;
    // The skin's toolbar, when there is one, holds the commands of the buttons.
    const int top = m_toolbar.Place(static_cast<int>(client.right));
    const bool buttons = !m_toolbar.Exists();
    for (HWND button : {m_record, m_pause, m_stop, m_browse}) ShowWindow(button, buttons ? SW_SHOWNA : SW_HIDE);
    int y = top + m;
    MoveWindow(m_labels[0], m, y + 4, label, 16, TRUE);
    MoveWindow(m_file, m + label, y, width - 2 * m - label - (buttons ? 90 : 0), row, TRUE);
    MoveWindow(m_browse, width - m - 84, y, 84, row, TRUE);
    y += row + m;
    MoveWindow(m_labels[1], m, y + 4, label, 16, TRUE);
    MoveWindow(m_format, m + label, y, 200, 200, TRUE);
    y += row + m;
    if (buttons) {
        MoveWindow(m_record, m + label, y, 80, 28, TRUE);
        MoveWindow(m_pause, m + label + 88, y, 80, 28, TRUE);
        MoveWindow(m_stop, m + label + 176, y, 80, 28, TRUE);
        MoveWindow(m_labels[2], m + label + 276, y + 6, 36, 16, TRUE);
        MoveWindow(m_time, m + label + 312, y + 6, 90, 16, TRUE);
        y += 28 + m;
    } else {
        MoveWindow(m_labels[2], m, y + 4, label, 16, TRUE);
        MoveWindow(m_time, m + label, y + 4, 90, 16, TRUE);
        y += row + m;
    }
    MoveWindow(m_meter, m, y, width - 2 * m, 54, TRUE);
    y += 54 + m;
    MoveWindow(m_status, m, y, width - 2 * m, 18, TRUE);
}

void CSonicutWindow::PaintMeter(HWND meter, HDC dc)
{
    RECT r = {};
    GetClientRect(meter, &r);
    HBRUSH back = CreateSolidBrush(RGB(24, 24, 24));
    FillRect(dc, &r, back);
    DeleteObject(back);
    const std::size_t channels = std::max<std::size_t>(1, std::min<std::size_t>(2, m_recordFormat.channels));
    const int bar = std::max(4, static_cast<int>(r.bottom - 6) / static_cast<int>(channels) - 3);
    const int left = 4, right = r.right - 4;
    const auto x = [&](double level) {
        const double db = std::max(kMeterFloorDb, ToDecibels(level));
        return left + static_cast<int>((right - left) * (db - kMeterFloorDb) / -kMeterFloorDb);
    };
    HBRUSH green = CreateSolidBrush(RGB(40, 200, 90));
    HBRUSH red = CreateSolidBrush(RGB(235, 60, 50));
    HBRUSH grid = CreateSolidBrush(RGB(70, 70, 70));
    for (int db = -50; db < 0; db += 10) {
        const int gx = left + static_cast<int>((right - left) * (db - kMeterFloorDb) / -kMeterFloorDb);
        RECT tick = {gx, 2, gx + 1, r.bottom - 2};
        FillRect(dc, &tick, grid);
    }
    for (std::size_t c = 0; c < channels; ++c) {
        const int top = 3 + static_cast<int>(c) * (bar + 3);
        const ChannelLevel level = c < m_shown.size() ? m_shown[c] : ChannelLevel();
        RECT rms = {left, top, x(level.rms), top + bar};
        if (level.rms > 0) FillRect(dc, &rms, green);
        RECT peak = {x(level.peak) - 2, top, x(level.peak), top + bar};
        if (level.peak > 0) FillRect(dc, &peak, red);
    }
    DeleteObject(green);
    DeleteObject(red);
    DeleteObject(grid);
}

// ---- Settings and texts ---------------------------------------------------------------------------

void CSonicutWindow::SetStatus(const std::wstring& text)
{
    if (m_status) SetWindowTextW(m_status, text.c_str());
}

PcmFormat CSonicutWindow::ChosenFormat() const
{
    const int index = static_cast<int>(SendMessageW(m_format, CB_GETCURSEL, 0, 0));
    return kFormats[index >= 0 && index < kFormatCount ? index : 0].format;
}

void CSonicutWindow::UpdateControls()
{
    const bool stopped = m_state == RecorderState::Stopped;
    EnableWindow(m_record, stopped && m_micro);
    EnableWindow(m_pause, !stopped);
    EnableWindow(m_stop, !stopped);
    EnableWindow(m_browse, stopped);
    EnableWindow(m_file, stopped);
    EnableWindow(m_format, stopped);
    m_toolbar.Enable(ID_SC_RECORD, stopped && m_micro);
    m_toolbar.Enable(ID_SC_PAUSE, !stopped);
    m_toolbar.Enable(ID_SC_STOP, !stopped);
    m_toolbar.Enable(ID_SC_BROWSE, stopped);
    SetWindowTextW(m_pause, m_state == RecorderState::Paused ? L"Resume" : L"Pause");
}

// ---- Commands -------------------------------------------------------------------------------------------

bool CSonicutWindow::OnCommand(UINT id)
{
    if (m_morph.OnCommand(id)) return true;
    switch (id) {
    case ID_SC_RECORD:
        if (m_state == RecorderState::Paused) PauseRecording();
        else if (m_state == RecorderState::Stopped) StartRecording();
        return true;
    case ID_SC_PAUSE:
        if (m_state != RecorderState::Stopped) PauseRecording();
        return true;
    case ID_SC_STOP:
        if (m_state != RecorderState::Stopped) StopRecording();
        return true;
    case ID_SC_BROWSE:
        if (m_state == RecorderState::Stopped) ChooseFile();
        return true;
    default: return false;
    }
}

int CSonicutWindow::CommandCheck(UINT id) const
{
    bool enabled = false;
    int check = -1;
    return m_morph.Query(id, enabled, check) ? check : -1;
}

bool CSonicutWindow::QueryCommand(UINT id, bool& enabled) const
{
    int check = -1;
    if (m_morph.Query(id, enabled, check)) return true;
    const bool stopped = m_state == RecorderState::Stopped;
    switch (id) {
    case ID_SC_RECORD: enabled = m_micro && m_state != RecorderState::Recording; return true;
    case ID_SC_PAUSE:
    case ID_SC_STOP: enabled = !stopped; return true;
    case ID_SC_BROWSE: enabled = stopped; return true;
    default: return false;
    }
}

bool CSonicutWindow::OnBusMessage(const wchar_t* sender, const wchar_t* message)
{
    if (!message) return false;
    if (m_morph.OnBusMessage(sender, message)) return true;
    std::wstring text = message;
    const std::size_t blank = text.find(L' ');
    std::wstring verb = text.substr(0, blank);
    for (wchar_t& c : verb) c = static_cast<wchar_t>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    if (verb == L"stop") {
        if (m_state != RecorderState::Stopped) StopRecording();
        return true;
    }
    if (verb == L"record" && blank != std::wstring::npos && m_state == RecorderState::Stopped) {
        std::wstring name = text.substr(blank + 1);
        while (!name.empty() && name.front() == L' ') name.erase(name.begin());
        if (name.size() >= 2 && name.front() == L'"') name = name.substr(1, name.find(L'"', 1) - 1);
        if (name.empty()) return false;
        SetWindowTextW(m_file, name.c_str());
        return StartRecording();
    }
    return false;
}

}  // namespace sonicut
