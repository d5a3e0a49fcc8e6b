// The Sonicut window.
#include "sonicut_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sonicut {

const wchar_t kModuleName[] = L"Sonicut";

// The recording file: writes at given offsets through the file pointer.
class CFileOutput : public WavOutput {
public:
    explicit CFileOutput(HANDLE file) : m_file(file) {}
    ~CFileOutput() override { Close(); }
    CFileOutput(const CFileOutput&) = delete;
    CFileOutput& operator=(const CFileOutput&) = delete;

    bool WriteAt(std::uint64_t offset, const void* data, std::size_t bytes) override
    {
        if (m_file == INVALID_HANDLE_VALUE) return false;
        LARGE_INTEGER at = {};
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN)) return false;
        const auto* p = static_cast<const char*>(data);
        while (bytes > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes, 1u << 24));
            DWORD written = 0;
            if (!WriteFile(m_file, p, chunk, &written, nullptr) || written != chunk) return false;
            p += chunk;
            bytes -= chunk;
        }
        return true;
    }
    void Close()
    {
        if (m_file != INVALID_HANDLE_VALUE) {
            FlushFileBuffers(m_file);
            CloseHandle(m_file);
        }
        m_file = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_file;
};

namespace {

const wchar_t kWindowClass[] = L"SonicutWindow";
const wchar_t kMeterClass[] = L"SonicutMeter";
constexpr UINT_PTR kTimer = 1;
constexpr double kMeterFloorDb = -60.0;

struct FormatChoice {
    const wchar_t* text;
    PcmFormat format;
};
const FormatChoice kFormats[] = {
    {L"44100 Hz, 16-bit, stereo", {2, 44100, 16}},
    {L"44100 Hz, 16-bit, mono", {1, 44100, 16}},
    {L"48000 Hz, 16-bit, stereo", {2, 48000, 16}},
    {L"22050 Hz, 16-bit, mono", {1, 22050, 16}},
    {L"8000 Hz, 16-bit, mono", {1, 8000, 16}},
    {L"44100 Hz, 8-bit, mono", {1, 44100, 8}},
};
constexpr int kFormatCount = static_cast<int>(sizeof(kFormats) / sizeof(kFormats[0]));

std::wstring WindowText(HWND hwnd)
{
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::wstring Decibels(double level)
{
    wchar_t text[32] = {};
    const double db = ToDecibels(level);
    if (db <= -96.0) return L"-inf dB";
    std::swprintf(text, 32, L"%.1f dB", db);
    return text;
}

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

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

// "Recording <date> <time>.wav" in the folder used last (else the music folder).
std::wstring CSonicutWindow::DefaultFileName() const
{
    std::wstring folder = ReadSetting(L"Folder");
    if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        wchar_t music[MAX_PATH] = {};
        if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYMUSIC | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, music))) {
            folder = music;
        } else if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, music))) {
            folder = music;
        }
    }
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t name[64] = {};
    std::swprintf(name, 64, L"Recording %04u-%02u-%02u %02u-%02u-%02u.wav", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return folder.empty() ? std::wstring(name) : folder + L"\\" + name;
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

void CSonicutWindow::ChooseFile()
{
    std::wstring current = WindowText(m_file);
    wchar_t file[MAX_PATH] = {};
    const std::wstring name = current.substr(current.find_last_of(L"\\/") == std::wstring::npos ? 0 : current.find_last_of(L"\\/") + 1);
    lstrcpynW(file, name.c_str(), MAX_PATH);
    const std::wstring folder = FolderOf(current);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetAncestor(m_hwnd, GA_ROOT);
    ofn.lpstrFilter = L"WAV files (*.wav)\0*.wav\0All files (*.*)\0*.*\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = L"Record to";
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetSaveFileNameW(&ofn)) return;
    SetWindowTextW(m_file, file);
    m_confirmedPath = file;
    WriteSetting(L"Folder", FolderOf(file));
}

bool CSonicutWindow::StartRecording()
{
    if (!m_micro) return false;
    std::wstring path = WindowText(m_file);
    if (path.empty()) {
        path = DefaultFileName();
        SetWindowTextW(m_file, path.c_str());
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            SetStatus(L"\"" + path + L"\" is a folder; choose a file name to record to.");
            return false;
        }
        if (path != m_confirmedPath) {
            const std::wstring question = L"\"" + path + L"\" exists already.\n\nDo you want to replace it?";
            if (MessageBoxW(GetAncestor(m_hwnd, GA_ROOT), question.c_str(), kModuleName, MB_YESNO | MB_ICONWARNING) != IDYES) {
                return false;
            }
        }
    }
    m_recordFormat = ChosenFormat();
    if (!m_micro->AcquireRecorder(kModuleName)) {
        SetStatus(L"The microphone is not available.");
        return false;
    }
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = m_recordFormat.channels;
    format.nSamplesPerSec = m_recordFormat.rate;
    format.nAvgBytesPerSec = m_recordFormat.BytesPerSecond();
    format.nBlockAlign = m_recordFormat.BlockAlign();
    format.wBitsPerSample = m_recordFormat.bits;
    // Buffers of a tenth of a second keep the meter moving.
    const int bufferBytes = static_cast<int>(std::max<std::uint32_t>(m_recordFormat.BytesPerSecond() / 10 / m_recordFormat.BlockAlign(), 1) *
                                             m_recordFormat.BlockAlign());
    if (!m_micro->SetFormat(&format) || !m_micro->SetBufferBytes(bufferBytes) || !m_micro->SetBufferCount(10) ||
        !m_micro->SetDataCallback(&CSonicutWindow::OnData, reinterpret_cast<UINT_PTR>(this))) {
        SetStatus(L"The microphone does not take this format now.");
        return false;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetStatus(L"\"" + path + L"\" cannot be written.");
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_output = std::make_unique<CFileOutput>(file);
        m_writer = std::make_unique<WavWriter>(*m_output, m_recordFormat, m_recordFormat.BytesPerSecond());
        m_levels.assign(m_recordFormat.channels, ChannelLevel());
        m_levelCount = 0;
        m_dataBytes = 0;
        m_writeFailed = false;
        m_full = false;
        if (!m_writer->Begin()) m_writeFailed = true;
    }
    m_shown.assign(m_recordFormat.channels, ChannelLevel());
    m_shownCount = 0;
    m_morph.Chain().RequestReset();
    if (m_writeFailed || !m_micro->Start()) {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_writer.reset();
            m_output.reset();
        }
        DeleteFileW(path.c_str());
        SetStatus(m_writeFailed ? L"\"" + path + L"\" cannot be written." : std::wstring(L"The microphone could not be started."));
        return false;
    }
    m_path = path;
    m_state = RecorderState::Recording;
    WriteSetting(L"Folder", FolderOf(path));
    WriteSetting(L"Format", kFormats[std::max(0, static_cast<int>(SendMessageW(m_format, CB_GETCURSEL, 0, 0)))].text);
    SetTimer(m_hwnd, kTimer, 100, nullptr);
    SetWindowTextW(m_time, L"00:00:00");
    SetStatus(L"Recording to " + path);
    UpdateControls();
    return true;
}

void CSonicutWindow::PauseRecording()
{
    if (!m_micro || !m_micro->Pause()) {
        SetStatus(L"The microphone did not " + std::wstring(m_state == RecorderState::Paused ? L"resume." : L"pause."));
        return;
    }
    m_state = m_state == RecorderState::Paused ? RecorderState::Recording : RecorderState::Paused;
    SetStatus((m_state == RecorderState::Paused ? L"Paused: " : L"Recording to ") + m_path);
    UpdateControls();
}

void CSonicutWindow::StopRecording(const std::wstring& reason)
{
    if (m_state == RecorderState::Stopped) return;
    // Waits for the capture thread, which may be writing; the lock is taken afterwards.
    if (m_micro) m_micro->Stop();
    KillTimer(m_hwnd, kTimer);
    bool written = false;
    std::uint64_t bytes = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_writer) {
            written = m_writer->Finish() && !m_writeFailed;
            bytes = m_writer->DataBytes();
        }
        m_writer.reset();
        m_output.reset();
    }
    m_state = RecorderState::Stopped;
    m_shown.assign(m_shown.size(), ChannelLevel());
    SetWindowTextW(m_meter, L"Level: not recording");
    InvalidateRect(m_meter, nullptr, FALSE);
    const std::uint32_t bps = std::max<std::uint32_t>(m_recordFormat.BytesPerSecond(), 1);
    const std::wstring elapsed = FormatElapsed(bytes * 1000 / bps);
    SetWindowTextW(m_time, elapsed.c_str());
    std::wstring text = written ? L"Saved " + elapsed + L" to " + m_path
                                : L"The recording could not be written completely to " + m_path + L"; what was recorded is kept.";
    if (!reason.empty()) text = reason + L" " + text;
    SetStatus(text);
    m_confirmedPath.clear();
    if (m_micro) m_micro->ReleaseRecorder(kModuleName);
    // The next recording gets a new name unless the user types one.
    SetWindowTextW(m_file, DefaultFileName().c_str());
    UpdateControls();
}

void CSonicutWindow::StopForClose()
{
    if (m_state != RecorderState::Stopped) StopRecording();
}

// ---- Capture thread ---------------------------------------------------------------------------------------

int __cdecl CSonicutWindow::OnData(UINT_PTR user, void* data, int bytes)
{
    auto* self = reinterpret_cast<CSonicutWindow*>(user);
    if (!self || !data || bytes <= 0) return 0;   // a detach notice
    std::lock_guard<std::mutex> guard(self->m_lock);
    if (!self->m_writer) return 0;
    data = self->ApplyEffects(data, bytes);
    if (!self->m_writeFailed && !self->m_full) {
        if (!self->m_writer->Append(data, static_cast<std::size_t>(bytes))) {
            if (self->m_writer->Full()) self->m_full = true;
            else self->m_writeFailed = true;
        }
        self->m_dataBytes = self->m_writer->DataBytes();
    }
    self->m_levels = MeasureLevels(data, static_cast<std::size_t>(bytes), self->m_writer->Format());
    ++self->m_levelCount;
    return 1;
}

// The chosen effects on a buffer of the recording format: what is saved and
// metered is their output (the buffer itself when it cannot be converted).
void* CSonicutWindow::ApplyEffects(void* data, int bytes)
{
    const PcmFormat format = m_writer->Format();
    const int bytesPerSample = format.bits / 8;
    const int channels = format.channels;
    if (bytesPerSample < 1 || channels < 1) return data;
    const std::size_t samples = static_cast<std::size_t>(bytes) / bytesPerSample;
    const int frames = static_cast<int>(samples / channels);
    if (frames <= 0) return data;
    try {
        m_effectFrames.resize(samples);
        m_effectBytes.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + bytes);
    } catch (...) {
        return data;
    }
    const std::uint8_t* in = m_effectBytes.data();
    for (std::size_t i = 0; i < samples; ++i) {
        m_effectFrames[i] = bytesPerSample == 1 ? (in[i] - 128) / 128.0f
                                                : static_cast<std::int16_t>(in[2 * i] | (in[2 * i + 1] << 8)) / 32768.0f;
    }
    m_morph.Chain().Process(m_effectFrames.data(), frames, channels, static_cast<int>(format.rate));
    std::uint8_t* out = m_effectBytes.data();
    for (std::size_t i = 0; i < samples; ++i) {
        const float v = std::clamp(m_effectFrames[i], -1.0f, 1.0f);
        if (bytesPerSample == 1) {
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround(v * 128.0f) + 128, 0L, 255L));
        } else {
            const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(std::clamp(std::lround(v * 32768.0f), -32768L, 32767L)));
            out[2 * i] = static_cast<std::uint8_t>(s & 0xFF);
            out[2 * i + 1] = static_cast<std::uint8_t>(s >> 8);
        }
    }
    return m_effectBytes.data();
}

// ---- Timer: meter, time and write failures -------------------------------------------------------------------

void CSonicutWindow::OnTimer()
{
    if (m_state == RecorderState::Stopped) return;
    m_morph.CheckFailure();
    std::vector<ChannelLevel> levels;
    std::uint32_t count = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        levels = m_levels;
        count = m_levelCount;
    }
    m_shown.resize(levels.size());
    const bool fresh = count != m_shownCount;
    m_shownCount = count;
    for (std::size_t c = 0; c < levels.size(); ++c) {
        // New levels show at once; the display then falls back slowly (about 20 dB a second).
        const double fall = 0.79;
        const ChannelLevel incoming = fresh && m_state == RecorderState::Recording ? levels[c] : ChannelLevel();
        m_shown[c].peak = std::max(incoming.peak, m_shown[c].peak * fall);
        m_shown[c].rms = fresh && m_state == RecorderState::Recording ? incoming.rms : m_shown[c].rms * fall;
    }
    std::wstring text = L"Level:";
    const wchar_t* names[] = {L" left", L" right"};
    for (std::size_t c = 0; c < m_shown.size() && c < 2; ++c) {
        if (m_shown.size() > 1) text += names[c];
        text += L" peak " + Decibels(m_shown[c].peak) + L", RMS " + Decibels(m_shown[c].rms) + (c + 1 < std::min<std::size_t>(2, m_shown.size()) ? L";" : L"");
    }
    SetWindowTextW(m_meter, text.c_str());
    InvalidateRect(m_meter, nullptr, FALSE);
    const std::uint32_t bps = std::max<std::uint32_t>(m_recordFormat.BytesPerSecond(), 1);
    SetWindowTextW(m_time, FormatElapsed(m_dataBytes.load() * 1000 / bps).c_str());
    if (m_full) {
        StopRecording(L"The file reached the largest size a WAV file can have.");
    } else if (m_writeFailed) {
        StopRecording(L"Writing the file failed (is the disk full?).");
    }
}

}  // namespace sonicut
