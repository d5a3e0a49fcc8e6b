// The Sonicut window's recording: starting, pausing and stopping it, the
// capture thread's buffers through the effects into the file, and the timer
// that shows the levels and the time and ends a recording whose writing failed.
#include "sonicut_parts.h"

#include <cmath>
#include <cstdio>

namespace sonicut {

namespace {

std::wstring Decibels(double level)
{
    wchar_t text[32] = {};
    const double db = ToDecibels(level);
    if (db <= -96.0) return L"-inf dB";
    std::swprintf(text, 32, L"%.1f dB", db);
    return text;
}

}  // namespace

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
