// A data source for the playback tests: sines per channel for a given number
// of frames, with counters of calls, end of data and notices.
#pragma once

#include "dsp/sampleblock.h"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>

namespace playertest {

class ToneSource {
public:
    ToneSource(double leftHz, double leftAmplitude, double rightHz, double rightAmplitude, double seconds,
               double rate = 44100)
        : m_rate(rate)
    {
        m_hz[0] = leftHz;
        m_amplitude[0] = leftAmplitude;
        m_hz[1] = rightHz;
        m_amplitude[1] = rightAmplitude;
        for (int c = 2; c < 8; ++c) {
            m_hz[c] = leftHz;
            m_amplitude[c] = leftAmplitude;
        }
        m_total = seconds < 0 ? -1 : static_cast<std::int64_t>(seconds * rate);
    }

    static int __cdecl Callback(std::uintptr_t user, SampleBlock* block, int reserved)
    {
        return reinterpret_cast<ToneSource*>(user)->OnCall(block, reserved);
    }
    std::uintptr_t User() { return reinterpret_cast<std::uintptr_t>(this); }

    void SetChannels(int channels) { m_channels = channels; }
    // Frames handed out per call at most (0: as many as the block holds).
    void SetChunk(int frames) { m_chunk = frames; }
    // Runs inside the callback on every call that delivers data, with the call number.
    std::function<void(int)> onData;

    std::atomic<int> dataCalls{0};
    std::atomic<int> endAnswers{0};      // calls answered with 0
    std::atomic<int> detachNotices{0};   // empty block, capacity 0
    std::atomic<int> endNotices{0};      // empty block, capacity 1
    std::atomic<int> badBlocks{0};       // blocks without arrays that were not notices
    std::atomic<DWORD> endNoticeThread{0};
    std::atomic<std::int64_t> frames{0};

private:
    int OnCall(SampleBlock* block, int reserved)
    {
        if (reserved != 0 || !block) {
            ++badBlocks;
            return 0;
        }
        if (!block->channels) {
            if (block->capacity == 0 && block->filled == 0) {
                ++detachNotices;
            } else if (block->capacity == 1 && block->filled == 0) {
                endNoticeThread = GetCurrentThreadId();
                ++endNotices;
            } else {
                ++badBlocks;
            }
            return 0;
        }
        const std::int64_t done = frames;
        if (m_total >= 0 && done >= m_total) {
            ++endAnswers;
            return 0;
        }
        std::int64_t n = block->capacity;
        if (m_chunk > 0 && n > m_chunk) {
            n = m_chunk;
        }
        if (m_total >= 0 && n > m_total - done) {
            n = m_total - done;
        }
        for (int c = 0; c < m_channels; ++c) {
            const double w = 2 * 3.14159265358979323846 * m_hz[c] / m_rate;
            for (std::int64_t i = 0; i < n; ++i) {
                block->channels[c][i] = static_cast<float>(m_amplitude[c] * std::sin(w * static_cast<double>(done + i)));
            }
        }
        block->filled = static_cast<std::int32_t>(n);
        frames = done + n;
        const int call = ++dataCalls;
        if (onData) {
            onData(call);
        }
        return 1;
    }

    double m_rate;
    double m_hz[8];
    double m_amplitude[8];
    std::int64_t m_total;
    int m_channels = 2;
    int m_chunk = 0;
};

}  // namespace playertest
