// Records what the sound server plays, for the audio tests: the default
// wave-input device, which in the test environment is the null sink's monitor.
// 16-bit PCM, kept in memory. Windows only.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>
#include <atomic>

namespace audiotest {

class CTestRecorder {
public:
    explicit CTestRecorder(int channels = 2, int rate = 44100);
    ~CTestRecorder();
    CTestRecorder(const CTestRecorder&) = delete;
    CTestRecorder& operator=(const CTestRecorder&) = delete;

    bool Start();
    // Waits until `ms` milliseconds of sound have come in (the capture runs);
    // false after `timeoutMs`.
    bool WaitForData(int ms, DWORD timeoutMs);
    // The frame of the recording the device is taking in now (the sound
    // heard now lands there, give or take the server's capture latency).
    std::int64_t FramesNow();
    // Ends the recording and hands over the interleaved samples.
    std::vector<std::int16_t> Stop();
    const std::string& Error() const { return m_error; }
    int Channels() const { return m_channels; }
    int Rate() const { return m_rate; }

private:
    void Collect();
    void TakeDone();

    int m_channels;
    int m_rate;
    HWAVEIN m_device = nullptr;
    HANDLE m_event = nullptr;
    std::vector<std::vector<char>> m_data;
    std::vector<WAVEHDR> m_headers;
    std::size_t m_next = 0;   // the buffer the device fills next
    std::vector<std::int16_t> m_samples;
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::size_t> m_collected{0};   // samples taken so far
    std::string m_error;
};

// Writes interleaved 16-bit samples as a WAV file (to look at a failed recording).
bool WriteWav(const std::wstring& path, const std::vector<std::int16_t>& samples, int channels, int rate);

}  // namespace audiotest
