// The Sonicut window inside the frame: the file to record to (typed or
// chosen with the save dialog), the recording format, Record, Pause/Resume
// and Stop, a level meter of what comes in and the time recorded.
//
// The microphone is the host's (IMicro). Its buffers arrive on the capture
// thread and are written to the file there, under the lock that also guards
// the levels; the window reads the levels and the time on a timer.
#pragma once

#include "module_window.h"
#include "morph_controller.h"
#include "sonicut/wav_file.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sonicut {

extern const wchar_t kModuleName[];   // "Sonicut"

// Commands and controls, in the module's range.
enum : UINT {
    ID_SC_RECORD = orvo::kSonicutCommands.first + 10,
    ID_SC_PAUSE = orvo::kSonicutCommands.first + 11,
    ID_SC_STOP = orvo::kSonicutCommands.first + 12,
    ID_SC_BROWSE = orvo::kSonicutCommands.first + 13,
};

enum : UINT {
    IDC_SC_FILE = orvo::kSonicutCommands.first + 101,
    IDC_SC_FORMAT = orvo::kSonicutCommands.first + 102,
    IDC_SC_METER = orvo::kSonicutCommands.first + 103,
    IDC_SC_TIME = orvo::kSonicutCommands.first + 104,
    IDC_SC_STATUS = orvo::kSonicutCommands.first + 105,
};

enum class RecorderState { Stopped, Recording, Paused };

class CFileOutput;

class CSonicutWindow : public orvo::CModuleWindow<CSonicutWindow> {
public:
    CSonicutWindow(HINSTANCE instance, IQueryInterface* host);
    ~CSonicutWindow();

    HWND Create(HWND parent);
    RecorderState State() const { return m_state; }

    bool OnCommand(UINT id);
    bool QueryCommand(UINT id, bool& enabled) const;
    // The checked state of a command's menu item (the effects'), or -1.
    int CommandCheck(UINT id) const;
    bool PreTranslate(MSG* msg) { return m_morph.PreTranslate(msg); }
    // "record" with a file name starts recording to it, "stop" ends it.
    bool OnBusMessage(const wchar_t* sender, const wchar_t* message);
    // Ends a recording in progress (the module is closing).
    void StopForClose();

private:
    friend class orvo::CModuleWindow<CSonicutWindow>;
    void ArrangeForSkin()
    {
        UpdateControls();
        Layout();
    }
    void OnWindowDestroy() {}
    static LRESULT CALLBACK MeterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static int __cdecl OnData(UINT_PTR user, void* data, int bytes);
    void* ApplyEffects(void* data, int bytes);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void PaintMeter(HWND meter, HDC dc);

    bool StartRecording();
    void PauseRecording();
    // `reason` is shown after the usual result when given.
    void StopRecording(const std::wstring& reason = std::wstring());
    void ChooseFile();
    void OnTimer();
    void UpdateControls();
    void SetStatus(const std::wstring& text);
    PcmFormat ChosenFormat() const;
    std::wstring DefaultFileName() const;

    IMicro* m_micro = nullptr;
    HWND m_file = nullptr;
    HWND m_format = nullptr;
    HWND m_meter = nullptr;
    HWND m_time = nullptr;
    HWND m_status = nullptr;
    HWND m_record = nullptr;
    HWND m_pause = nullptr;
    HWND m_stop = nullptr;
    HWND m_browse = nullptr;
    std::vector<HWND> m_labels;

    RecorderState m_state = RecorderState::Stopped;
    std::wstring m_path;
    std::wstring m_confirmedPath;   // replacing it was agreed in the save dialog
    PcmFormat m_recordFormat;

    // Shared with the capture thread.
    std::mutex m_lock;
    std::unique_ptr<CFileOutput> m_output;
    std::unique_ptr<WavWriter> m_writer;
    std::vector<ChannelLevel> m_levels;
    std::uint32_t m_levelCount = 0;   // buffers measured so far
    std::atomic<std::uint64_t> m_dataBytes{0};
    std::atomic<bool> m_writeFailed{false};
    std::atomic<bool> m_full{false};

    // The chosen effects on what is recorded (the capture thread's data path);
    // the samples as floats and back.
    orvo::CMorphController m_morph;
    std::vector<float> m_effectFrames;
    std::vector<std::uint8_t> m_effectBytes;

    // What the meter shows: levels with a falling peak hold.
    std::vector<ChannelLevel> m_shown;
    std::uint32_t m_shownCount = 0;
};

}  // namespace sonicut
