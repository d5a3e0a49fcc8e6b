// CExtMicro: the capture engine on the default wave-input device (the wave
// mapper). It hands each filled buffer, raw PCM in the capture format, to a
// data callback registered by a client:
//
//     int __cdecl Take(std::uintptr_t user, void* data, std::int32_t bytes)
//
// called on the engine's capture thread (time-critical priority), buffers in
// the order the device filled them; the result is not used. When the callback
// is replaced, the old one gets (its user data, null, 0) once as a detach notice.
//
// Results: 0 success, 1 a device call failed or an argument is out of range,
// 4 the engine is failed (or Start has no callback), 5 not stopped.
// States: 0 recording, 1 paused, 2 stopped, 3 failed.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <cstdint>
#include <vector>

using MicroDataCallback = int(__cdecl*)(std::uintptr_t userData, void* data, std::int32_t bytes);

enum MicroResult : std::int32_t {
    kMicroOk = 0,
    kMicroDeviceError = 1,   // also: argument out of range
    kMicroFailedState = 4,
    kMicroNotStopped = 5,
};

enum MicroState : std::int32_t {
    kMicroRecording = 0,
    kMicroPaused = 1,
    kMicroStopped = 2,
    kMicroFailed = 3,
};

class CCaptureThread;

class CExtMicro {
public:
    static constexpr std::int32_t kMaxBuffers = 100;
    static constexpr std::int32_t kMaxBufferBytes = 1 << 22;

    CExtMicro();
    virtual ~CExtMicro();
    CExtMicro(const CExtMicro&) = delete;
    CExtMicro& operator=(const CExtMicro&) = delete;

    std::int32_t Start();
    // Stops recording and closes the device; returns once the capture thread
    // has ended (unless called from the data callback, on that thread).
    std::int32_t Stop();
    std::int32_t Pause();
    std::int32_t Close();

    // The current format with the tag 0xFFFE and extra size 0.
    const WAVEFORMATEX* GetFormat();
    // Takes channels, rate, bytes per second, block align and bits; the tag
    // becomes PCM and the extra size 0. 4 when failed, 5 unless stopped, 1 for null.
    std::int32_t SetFormat(const WAVEFORMATEX* format);
    std::int32_t GetBufferCount() const { return m_bufferCount; }
    // 1..100 buffers; 4 when failed, 5 unless stopped, 1 outside.
    std::int32_t SetBufferCount(std::int32_t count);
    std::int32_t GetBufferBytes() const { return m_bufferBytes; }
    // 1 byte to 4 MiB per buffer; 4 when failed, 5 unless stopped, 1 outside.
    std::int32_t SetBufferBytes(std::int32_t bytes);
    // 5 while recording or paused.
    std::int32_t SetDataCallback(MicroDataCallback callback, std::uintptr_t userData);

    std::int32_t GetState() const { return m_state; }
    bool IsCaptureThreadRunning() const;

private:
    friend class CCaptureThread;

    // One per buffer, referenced from its header's user word.
    struct BufferRecord {
        std::uint32_t reserved = 0;
        DWORD tick = 0;             // when the device filled it
        volatile LONG status = 0;   // 0 free, 1 queued, 2 filled
        std::uint32_t sequence = 0; // order in which the device filled the buffers
    };
    enum : LONG { kFree = 0, kQueued = 1, kFilled = 2 };

    static void CALLBACK DeviceCallback(HWAVEIN device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                        DWORD_PTR param2);
    int CaptureLoop();
    void SetState(std::int32_t state);
    // Resets the device, unprepares and frees every buffer, closes the device.
    void CloseDevice();
    void JoinThread();
    bool OnCaptureThread() const;

    volatile LONG m_state = kMicroStopped;
    HANDLE m_wake = nullptr;
    HWAVEIN m_device = nullptr;
    std::vector<WAVEHDR> m_headers;
    std::vector<std::vector<char>> m_data;
    std::vector<BufferRecord> m_records;
    std::int32_t m_prepared = 0;
    volatile LONG m_fillCounter = 0;
    WAVEFORMATEX m_format = {};
    WAVEFORMATEX m_reported = {};
    std::int32_t m_bufferCount = 5;
    std::int32_t m_bufferBytes = 44100;
    MicroDataCallback m_callback = nullptr;
    std::uintptr_t m_userData = 0;
    CCaptureThread* m_thread = nullptr;
    CRITICAL_SECTION m_control;   // serialises start, stop, pause and close
};
