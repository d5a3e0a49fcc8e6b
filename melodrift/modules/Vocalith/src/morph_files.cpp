#include "morph_files.h"

#include "mediatags/playlist_files.h"
#include "track_source.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>

namespace vocalith {

namespace {

const wchar_t kProgressClass[] = L"VocalithMorphProgress";
constexpr UINT kMsgProgress = WM_APP + 20;   // wParam: file index, lParam: per mille of it
constexpr UINT kMsgDone = WM_APP + 21;
constexpr int kIdText = 1, kIdBar = 2;
constexpr int kBlock = 4096;

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring NameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Put16(std::uint8_t*& p, unsigned v) {
    *p++ = static_cast<std::uint8_t>(v & 0xFF);
    *p++ = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
void Put32(std::uint8_t*& p, std::uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p, v >> 16);
}

// The header of a WAV file: 16-bit PCM or 32-bit float (then with the format's
// extra-size field), `dataBytes` of samples.
std::vector<std::uint8_t> WavHeader(int channels, int rate, bool isFloat, std::uint32_t dataBytes) {
    const unsigned bits = isFloat ? 32 : 16;
    const std::uint32_t fmtBytes = isFloat ? 18 : 16;
    std::vector<std::uint8_t> h(20 + fmtBytes + 8);
    std::uint8_t* p = h.data();
    std::memcpy(p, "RIFF", 4), p += 4;
    Put32(p, static_cast<std::uint32_t>(h.size() - 8 + dataBytes + (dataBytes & 1)));
    std::memcpy(p, "WAVEfmt ", 8), p += 8;
    Put32(p, fmtBytes);
    Put16(p, isFloat ? 3 : 1);
    Put16(p, static_cast<unsigned>(channels));
    Put32(p, static_cast<std::uint32_t>(rate));
    Put32(p, static_cast<std::uint32_t>(rate) * channels * (bits / 8));
    Put16(p, static_cast<unsigned>(channels) * (bits / 8));
    Put16(p, bits);
    if (isFloat) Put16(p, 0);
    std::memcpy(p, "data", 4), p += 4;
    Put32(p, dataBytes);
    return h;
}

struct Job {
    const orvo::CSonarixLink* link;
    // The choice as it was at the start: the Effects Library may change the
    // module's own while the worker runs.
    orvo::MorphChoice choice;
    std::vector<std::wstring> files;
    std::wstring folder;
    std::wstring title;
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    HWND progress = nullptr;
    MorphOutcome outcome;
};

class CWriter {
public:
    ~CWriter() { Abandon(); }
    // A temporary file in `folder`; false with a reason.
    bool Open(const std::wstring& folder, std::wstring& error) {
        wchar_t temp[MAX_PATH + 16] = {};
        if (!GetTempFileNameW(folder.c_str(), L"mdm", 0, temp)) {
            error = L"the folder " + folder + L" cannot be written to";
            return false;
        }
        m_path = temp;
        m_file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (m_file == INVALID_HANDLE_VALUE) {
            DeleteFileW(temp);
            m_path.clear();
            error = L"the folder " + folder + L" cannot be written to";
            return false;
        }
        return true;
    }
    bool Write(const void* data, std::size_t bytes) {
        DWORD written = 0;
        return WriteFile(m_file, data, static_cast<DWORD>(bytes), &written, nullptr) && written == bytes;
    }
    bool Rewind() {
        LARGE_INTEGER zero = {};
        return SetFilePointerEx(m_file, zero, nullptr, FILE_BEGIN) != FALSE;
    }
    // Closes the file and gives it its name (never replacing a file); false with a reason.
    bool Finish(const std::wstring& folder, const std::wstring& source, const std::wstring& title, std::wstring& written,
                std::wstring& error) {
        const bool flushed = FlushFileBuffers(m_file) != FALSE;
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        if (!flushed) {
            error = L"the file could not be written";
            return false;
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::wstring name = MorphedName(source, folder, title);
            if (MoveFileExW(m_path.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH)) {
                m_path.clear();
                written = name;
                return true;
            }
            if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS) break;
        }
        error = L"the morphed file could not be named";
        return false;
    }
    void Abandon() {
        if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        if (!m_path.empty()) DeleteFileW(m_path.c_str());
        m_path.clear();
    }

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::wstring m_path;
};

// Morphs one file; false with a reason (nothing left behind then).
bool MorphOne(Job& job, std::size_t index, std::wstring& written, std::wstring& error) {
    const std::wstring& path = job.files[index];
    CTrackSource source;
    if (!source.Open(path, error)) return false;
    const int channels = source.Channels(), rate = source.Rate();
    orvo::CEffectStage stage;
    for (int id : {job.choice.voice, job.choice.special})
        if (const orvo::EffectEntry* e = job.link->Find(id))
            if (!stage.Add(*e, job.choice.ParamsOf(*e))) {
                error = L"the effect " + e->name + L" could not be made";
                return false;
            }
    if (!stage.Prepare(channels, rate)) {
        error = L"the effects do not take its format";
        return false;
    }
    const bool isFloat = source.IsFloatWav();
    const std::wstring folder = job.folder.empty() ? FolderOf(path) : job.folder;
    CWriter writer;
    if (!writer.Open(folder.empty() ? L".\\" : folder, error)) return false;
    std::vector<std::uint8_t> header = WavHeader(channels, rate, isFloat, 0);
    if (!writer.Write(header.data(), header.size())) {
        error = L"the file could not be written (is the disk full?)";
        return false;
    }
    std::vector<std::vector<float>> planes(static_cast<std::size_t>(channels), std::vector<float>(kBlock));
    std::vector<float*> table;
    for (auto& plane : planes) table.push_back(plane.data());
    std::vector<float> frames(static_cast<std::size_t>(kBlock) * channels);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(kBlock) * channels * 4);
    const std::uint64_t bytesPerFrame = static_cast<std::uint64_t>(channels) * (isFloat ? 4 : 2);
    std::uint64_t dataBytes = 0;
    // After the end, silence runs through the effects for their delay and
    // tails: at least a tenth of a second, at most three seconds, until a
    // tenth of a second comes out silent.
    int tailFrames = 0, quietFrames = 0;
    const int tailMost = rate * 3, tailLeast = rate / 10;
    int lastPermille = -1;
    for (;;) {
        if (job.cancel) {
            error = L"cancelled";
            return false;
        }
        int n = source.Read(table.data(), kBlock);
        const bool tail = n <= 0;
        if (tail) {
            if (tailFrames >= tailMost || (tailFrames >= tailLeast && quietFrames >= tailLeast)) break;
            n = kBlock;
            std::fill(frames.begin(), frames.end(), 0.0f);
            tailFrames += n;
        } else {
            for (int f = 0; f < n; ++f)
                for (int c = 0; c < channels; ++c) frames[static_cast<std::size_t>(f) * channels + c] = planes[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)];
        }
        if (!stage.Run(frames.data(), n)) {
            error = L"the effects failed on it";
            return false;
        }
        bool quiet = true;
        std::uint8_t* p = out.data();
        for (int i = 0; i < n * channels; ++i) {
            float v = frames[static_cast<std::size_t>(i)];
            v = std::isfinite(v) ? std::clamp(v, -1.0f, 1.0f) : 0.0f;
            quiet = quiet && std::fabs(v) < 1e-4f;
            if (isFloat) {
                std::memcpy(p, &v, 4);
                p += 4;
            } else {
                const long s = std::lround(v * 32767.0f);
                Put16(p, static_cast<unsigned>(static_cast<std::uint16_t>(static_cast<std::int16_t>(s))));
            }
        }
        quietFrames = tail && quiet ? quietFrames + n : 0;
        const std::size_t bytes = static_cast<std::size_t>(n * bytesPerFrame);
        if (dataBytes + bytes > 0xFFFFFF00ull) {
            error = L"the morphed file would be longer than a WAV file can be";
            return false;
        }
        if (!writer.Write(out.data(), bytes)) {
            error = L"the file could not be written (is the disk full?)";
            return false;
        }
        dataBytes += bytes;
        const std::int64_t total = std::max<std::int64_t>(1, source.TotalFrames());
        const int permille = static_cast<int>(std::min<std::int64_t>(1000, source.Position() * 1000 / total));
        if (permille != lastPermille) {
            lastPermille = permille;
            PostMessageW(job.progress, kMsgProgress, index, permille);
        }
    }
    header = WavHeader(channels, rate, isFloat, static_cast<std::uint32_t>(dataBytes));
    const std::uint8_t pad = 0;
    if ((dataBytes & 1) && !writer.Write(&pad, 1)) {
        error = L"the file could not be written (is the disk full?)";
        return false;
    }
    if (!writer.Rewind() || !writer.Write(header.data(), header.size())) {
        error = L"the file could not be written";
        return false;
    }
    return writer.Finish(folder, path, job.title, written, error);
}

void Work(Job& job) {
    for (std::size_t i = 0; i < job.files.size() && !job.cancel; ++i) {
        PostMessageW(job.progress, kMsgProgress, i, 0);
        std::wstring written, error;
        bool ok = false;
        try {
            ok = MorphOne(job, i, written, error);
        } catch (...) {
            error = L"out of memory";
        }
        if (ok) job.outcome.written.push_back(written);
        else if (!job.cancel) job.outcome.failed.push_back(NameOf(job.files[i]) + L": " + error);
    }
    job.outcome.cancelled = job.cancel;
    job.done = true;
    PostMessageW(job.progress, kMsgDone, 0, 0);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    Job* job = reinterpret_cast<Job*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case kMsgProgress:
        if (job && w < job->files.size()) {
            wchar_t counted[64];
            swprintf(counted, 64, L" (%u of %u)", static_cast<unsigned>(w + 1), static_cast<unsigned>(job->files.size()));
            const std::wstring text = L"Morphing " + NameOf(job->files[w]) + counted;
            wchar_t shown[MAX_PATH + 64] = {};
            GetDlgItemTextW(hwnd, kIdText, shown, MAX_PATH + 64);
            if (text != shown) SetDlgItemTextW(hwnd, kIdText, text.c_str());
            const LPARAM overall = static_cast<LPARAM>((w * 1000 + static_cast<std::size_t>(l)) / job->files.size());
            SendDlgItemMessageW(hwnd, kIdBar, PBM_SETPOS, static_cast<WPARAM>(overall), 0);
        }
        return 0;
    case WM_COMMAND:
        if (LOWORD(w) == IDCANCEL && job) {
            job->cancel = true;
            SetDlgItemTextW(hwnd, kIdText, L"Cancelling...");
            EnableWindow(GetDlgItem(hwnd, IDCANCEL), FALSE);
        }
        return 0;
    case WM_CLOSE:
        if (job) job->cancel = true;
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd, message, w, l);
}

HWND MakeControl(HWND parent, HINSTANCE instance, const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x, int y,
                 int w, int h) {
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return c;
}

}  // namespace

std::wstring MorphedName(const std::wstring& path, const std::wstring& folder, const std::wstring& title) {
    const std::wstring base = (folder.empty() ? FolderOf(path) : folder) + mediatags::TitleOfPath(path) + L" - " + title;
    std::wstring name = base + L".wav";
    for (int n = 2; Exists(name) && n < 100000; ++n) name = base + L" (" + std::to_wstring(n) + L").wav";
    return name;
}

MorphOutcome MorphFiles(HINSTANCE instance, HWND owner, const orvo::CSonarixLink& link, const orvo::MorphChoice& choice,
                        const std::vector<std::wstring>& files, const std::wstring& folder) {
    Job job;
    job.link = &link;
    try {
        job.choice = choice;
    } catch (...) {
        MorphOutcome none;
        none.failed.push_back(L"not enough memory");
        return none;
    }
    job.files = files;
    job.folder = folder;
    if (!job.folder.empty() && job.folder.back() != L'\\') job.folder += L'\\';
    job.title = choice.Title(link.Entries());

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, kProgressClass, &wc)) {
        wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ProgressProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kProgressClass;
        RegisterClassExW(&wc);
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    RECT r = {0, 0, 400, 110};
    AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_DLGMODALFRAME);
    RECT area = {0, 0, 800, 600};
    if (owner) GetWindowRect(owner, &area);
    const int width = r.right - r.left, height = r.bottom - r.top;
    job.progress = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kProgressClass, L"Morphing Files",
                                   WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, (area.left + area.right - width) / 2,
                                   (area.top + area.bottom - height) / 2, width, height, owner, nullptr, instance, &job);
    if (!job.progress) {
        job.outcome.failed.push_back(L"The progress window could not be made.");
        return job.outcome;
    }
    MakeControl(job.progress, instance, L"STATIC", L"Morphing...", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, kIdText, 12, 12, 376, 18);
    HWND bar = MakeControl(job.progress, instance, PROGRESS_CLASSW, L"Progress", 0, kIdBar, 12, 38, 376, 20);
    SendMessageW(bar, PBM_SETRANGE32, 0, 1000);
    HWND cancel = MakeControl(job.progress, instance, L"BUTTON", L"Cancel", WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL, 308, 72, 80, 26);
    SetFocus(cancel);
    if (owner) EnableWindow(owner, FALSE);

    bool quit = false;
    int quitCode = 0;
    std::thread worker;
    try {
        worker = std::thread([&job] { Work(job); });
    } catch (...) {
        job.done = true;
        job.outcome.failed.push_back(L"The morphing could not be started.");
    }
    MSG msg;
    while (!job.done) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            job.cancel = true;
            break;
        }
        if (!IsDialogMessageW(job.progress, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (worker.joinable()) worker.join();
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow(job.progress);
    if (quit) {
        PostQuitMessage(quitCode);
        return job.outcome;
    }

    std::wstring summary;
    if (job.outcome.cancelled) summary = L"Cancelled. ";
    summary += std::to_wstring(job.outcome.written.size()) + (job.outcome.written.size() == 1 ? L" file morphed" : L" files morphed");
    summary += job.outcome.written.empty() ? L"." : L":";
    for (const std::wstring& f : job.outcome.written) summary += L"\n" + f;
    if (!job.outcome.failed.empty()) {
        summary += L"\n\nNot morphed:";
        for (const std::wstring& f : job.outcome.failed) summary += L"\n" + f;
    }
    MessageBoxW(owner, summary.c_str(), L"Morph Selected Files",
                MB_OK | (job.outcome.failed.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
    if (owner) SetForegroundWindow(owner);
    return job.outcome;
}

}  // namespace vocalith
