// The test recorder on the wave-input device.
#include "audiotest/recorder.h"

#include <cstdio>
#include <cstring>

namespace audiotest {

namespace {
constexpr int kBuffers = 32;
constexpr int kBufferMs = 50;
}

CTestRecorder::CTestRecorder(int channels, int rate) : m_channels(channels), m_rate(rate) {}

CTestRecorder::~CTestRecorder()
{
    if (m_device) {
        Stop();
    }
}

bool CTestRecorder::Start()
{
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(m_channels);
    format.nSamplesPerSec = static_cast<DWORD>(m_rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * m_channels);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    MMRESULT r = waveInOpen(&m_device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(m_event), 0,
                            CALLBACK_EVENT);
    if (r != MMSYSERR_NOERROR) {
        m_error = "waveInOpen failed: " + std::to_string(r);
        m_device = nullptr;
        return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(format.nAvgBytesPerSec) * kBufferMs / 1000;
    m_data.assign(kBuffers, std::vector<char>(bytes));
    m_headers.assign(kBuffers, WAVEHDR{});
    for (int i = 0; i < kBuffers; ++i) {
        m_headers[i].lpData = m_data[i].data();
        m_headers[i].dwBufferLength = static_cast<DWORD>(bytes);
        waveInPrepareHeader(m_device, &m_headers[i], sizeof(WAVEHDR));
        waveInAddBuffer(m_device, &m_headers[i], sizeof(WAVEHDR));
    }
    m_next = 0;
    m_stopping = false;
    m_thread = std::thread([this] { Collect(); });
    r = waveInStart(m_device);
    if (r != MMSYSERR_NOERROR) {
        m_error = "waveInStart failed: " + std::to_string(r);
        return false;
    }
    return true;
}

void CTestRecorder::TakeDone()
{
    // Buffers come back in the order they were queued.
    while (m_headers[m_next].dwFlags & WHDR_DONE) {
        WAVEHDR& h = m_headers[m_next];
        const auto* samples = reinterpret_cast<const std::int16_t*>(h.lpData);
        m_samples.insert(m_samples.end(), samples, samples + h.dwBytesRecorded / 2);
        m_collected = m_samples.size();
        h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        h.dwBytesRecorded = 0;
        if (!m_stopping) {
            waveInAddBuffer(m_device, &h, sizeof(WAVEHDR));
        }
        m_next = (m_next + 1) % m_headers.size();
    }
}

std::int64_t CTestRecorder::FramesNow()
{
    MMTIME time = {};
    time.wType = TIME_SAMPLES;
    if (m_device && waveInGetPosition(m_device, &time, sizeof(time)) == MMSYSERR_NOERROR) {
        if (time.wType == TIME_SAMPLES) {
            return time.u.sample;
        }
        if (time.wType == TIME_BYTES) {
            return time.u.cb / (2 * m_channels);
        }
    }
    return static_cast<std::int64_t>(m_collected / m_channels);
}

bool CTestRecorder::WaitForData(int ms, DWORD timeoutMs)
{
    const std::size_t wanted = static_cast<std::size_t>(m_rate) * m_channels * ms / 1000;
    const DWORD start = GetTickCount();
    while (m_collected < wanted) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

void CTestRecorder::Collect()
{
    while (!m_stopping) {
        WaitForSingleObject(m_event, 100);
        if (!m_stopping) {
            TakeDone();
        }
    }
}

std::vector<std::int16_t> CTestRecorder::Stop()
{
    if (!m_device) {
        return std::move(m_samples);
    }
    m_stopping = true;
    SetEvent(m_event);
    if (m_thread.joinable()) {
        m_thread.join();
    }
    waveInReset(m_device);
    TakeDone();
    for (WAVEHDR& h : m_headers) {
        waveInUnprepareHeader(m_device, &h, sizeof(WAVEHDR));
    }
    waveInClose(m_device);
    m_device = nullptr;
    CloseHandle(m_event);
    m_event = nullptr;
    return std::move(m_samples);
}

bool WriteWav(const std::wstring& path, const std::vector<std::int16_t>& samples, int channels, int rate)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        return false;
    }
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    auto put32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto put16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    std::fwrite("RIFF", 1, 4, f);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(16);
    put16(1);
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(rate));
    put32(static_cast<std::uint32_t>(rate * channels * 2));
    put16(static_cast<std::uint16_t>(channels * 2));
    put16(16);
    std::fwrite("data", 1, 4, f);
    put32(dataBytes);
    std::fwrite(samples.data(), 2, samples.size(), f);
    return std::fclose(f) == 0;
}

}  // namespace audiotest
