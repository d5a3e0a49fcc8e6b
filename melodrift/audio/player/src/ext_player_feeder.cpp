// The playback engine's sound thread: the feeding loop that keeps the stream
// buffer filled from the player's blocks, and the rewrite of what is queued
// when a change must be heard at once (with its seam blended).
#include "player/ext_player_dx.h"

#include "com_release.h"
#include "dsp/pcm16.h"

#include <algorithm>
#include <cmath>
#include <cstring>

std::int32_t CExtPlayerDX::RequestRewrite()
{
    CPlayerLockGuard device(m_deviceLock);
    const std::int32_t state = GetState();
    if ((state != kPlayerPlaying && state != kPlayerPaused) || !m_buffer || m_eventCount == 0 || m_deviceSurround) {
        return kPlayerFailedState;
    }
    InterlockedExchange(&m_rewriteRequested, 1);
    SetEvent(m_segmentEvents[0]);   // wakes the feeder, which refills up to the cursor in any case
    return kPlayerOk;
}

void CExtPlayerDX::Rewrite()
{
    const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
    const std::uint32_t rate = m_deviceFormat.Format.nSamplesPerSec;
    const std::uint32_t bufferBytes = m_plan.bufferBytes;
    if (frameBytes == 0 || bufferBytes == 0 || m_seamOld.empty() || GetStopReason() == kStopDataEnded) {
        return;
    }
    DWORD play = 0;
    DWORD write = 0;
    {
        CPlayerLockGuard clock(m_clockLock);
        if (FAILED(m_buffer->GetCurrentPosition(&play, &write))) {
            return;
        }
        m_clock.Cursor(play);
    }
    // What the device may still take before the new samples are in place: up
    // to its write cursor, and a margin for the time the rewrite takes.
    const std::uint32_t margin = rate * kRewriteMarginMs / 1000 * frameBytes;
    const std::uint32_t toWrite = (write + bufferBytes - play) % bufferBytes + margin;
    const std::uint32_t written = (m_writePos + bufferBytes - play) % bufferBytes;   // ahead of the cursor
    if (written <= toWrite) {
        return;
    }
    const std::int32_t ahead = static_cast<std::int32_t>((written - toWrite) / frameBytes);
    const std::int32_t unconverted = std::max(0, m_block.filled - m_readPos);
    // With the equalizer on, its delay holds frames given but not yet out, and
    // it starts over from a run-in of a block before the place taken back.
    bool equalizer = false;
    {
        CPlayerLockGuard effects(m_effectsLock);
        equalizer = m_equalizerOn;
    }
    const std::int32_t runIn = equalizer ? CEqualizer::kDelay + CEqualizer::kBlockSize : 0;
    const std::int32_t taken = AskToTakeBack(ahead + unconverted + runIn);
    if (taken <= 0) {
        return;
    }
    if (taken <= unconverted) {
        m_block.filled -= taken;   // the frames given again follow the rest of the block
        return;
    }
    m_block.filled = m_readPos;
    const std::int32_t rewritten = taken - unconverted - runIn;
    if (rewritten <= 0) {
        m_discardFrames = taken - unconverted;   // too little history for a run-in: those frames are not heard twice
        return;
    }
    if (equalizer) {
        CPlayerLockGuard effects(m_effectsLock);
        for (auto& eq : m_equalizers) {
            eq->Reset();
        }
        m_discardFrames = runIn;
    }
    const std::uint32_t back = static_cast<std::uint32_t>(rewritten) * frameBytes;
    m_writePos = (m_writePos + bufferBytes - back) % bufferBytes;
    {
        CPlayerLockGuard clock(m_clockLock);
        m_clock.Unwritten(back);
    }
    const std::int32_t channels = m_deviceFormat.Format.nChannels;
    m_seamFrames = std::min<std::int32_t>(rewritten, static_cast<std::int32_t>(m_seamOld.size()) / channels);
    m_seamAt = 0;
    m_seamPending = true;
}

void CExtPlayerDX::BlendSeam(BYTE* dest, std::int32_t frames)
{
    const std::int32_t channels = m_deviceFormat.Format.nChannels;
    auto* samples = reinterpret_cast<std::int16_t*>(dest);
    for (std::int32_t f = 0; f < frames && m_seamAt < m_seamFrames; ++f, ++m_seamAt) {
        // Equal power: the old and the new samples are different sounds.
        const float t = (static_cast<float>(m_seamAt) + 0.5f) / static_cast<float>(m_seamFrames);
        const float in = std::sin(1.5707963f * t);
        const float out = std::cos(1.5707963f * t);
        for (std::int32_t c = 0; c < channels; ++c) {
            const std::size_t i = static_cast<std::size_t>(f) * channels + c;
            const float v = samples[i] * in + m_seamOld[static_cast<std::size_t>(m_seamAt) * channels + c] * out;
            samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
        }
    }
}

int CExtPlayerDX::FeederLoop()
{
    HANDLE handles[player::kMaxSegmentEvents + 1];
    const std::int32_t events = m_eventCount;
    for (std::int32_t e = 0; e < events; ++e) {
        handles[e] = m_segmentEvents[e];
    }
    handles[events] = m_stopEvent;
    // The play cursor tells what the device has taken from the buffer; it
    // still holds some of it queued for a while. Once the cursor has passed
    // the end of the data, the end is declared and the device is kept open
    // this long (half the buffer at most, which is silence by then), so that
    // it lets out everything before it is closed.
    const std::uint64_t byteRate = std::max<DWORD>(m_deviceFormat.Format.nAvgBytesPerSec, 1);
    const DWORD lingerMs = static_cast<DWORD>(std::min<std::uint64_t>(200, m_plan.bufferBytes / 2 * 1000 / byteRate));
    bool dataEnded = m_endedInFirstFill;   // the data may end within the first fill
    bool ended = false;

    for (;;) {
        // Once the data has ended, the thread also wakes when the cursor
        // should have reached the end, whatever the segments' length.
        DWORD timeout = INFINITE;
        if (dataEnded) {
            std::uint64_t left = 0;
            {
                CPlayerLockGuard clock(m_clockLock);
                left = m_clock.ToBeHeard(0);
            }
            timeout = static_cast<DWORD>(std::clamp<std::uint64_t>(left * 1000 / byteRate + 1, 5, 1000));
        }
        const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(events + 1), handles, FALSE, timeout);
        std::int32_t index = -1;   // the segment event that fired, or -1 for a timed look
        if (result != WAIT_TIMEOUT) {
            if (result < WAIT_OBJECT_0 || result >= WAIT_OBJECT_0 + static_cast<DWORD>(events + 1)) {
                break;
            }
            index = static_cast<std::int32_t>(result - WAIT_OBJECT_0);
            if (index == events) {
                break;
            }
        }
        DWORD play = 0;
        if (!ReadPlayCursor(play)) {
            SetState(kPlayerFailed);
            break;
        }
        bool heard = false;
        {
            CPlayerLockGuard clock(m_clockLock);
            heard = m_clock.Heard(0);
        }
        // The last sample written has been played: the end of the data is
        // declared now. The buffer is filled with silence up to the cursor
        // first, so that it holds nothing old while the device lingers.
        if (dataEnded && heard) {
            bool failed = false;
            Refill(false, failed);
            ended = true;
            Stop(kStopDataEnded);
            break;
        }
        if (index < 0) {
            continue;
        }
        if (InterlockedExchange(&m_rewriteRequested, 0) && !dataEnded) {
            Rewrite();
        }
        // A segment has been played: it is filled again (with silence once
        // the data has ended, so the ring never plays old samples again).
        bool failed = false;
        const bool complete = Refill(false, failed);
        if (failed) {
            CPlayerLockGuard device(m_deviceLock);
            if (m_buffer) {
                m_buffer->Stop();
            }
            SetState(kPlayerFailed);
            break;
        }
        const std::int32_t state = GetState();
        if (state != kPlayerPlaying && state != kPlayerPaused) {
            break;   // stopped from the callback
        }
        if (!complete) {
            dataEnded = true;
        }
        ResetEvent(handles[index]);
    }
    // A playback this thread ended (end of data, a stop from the callback, a
    // device failure) leaves the device to it.
    const std::int32_t state = GetState();
    if (state != kPlayerPlaying && state != kPlayerPaused) {
        ReleaseDevice();
    }
    // The device of a playback that reached its end lets out its last
    // samples, unless a new start or a close comes first (a start takes it
    // over and releases it once its own device is open).
    if (ended) {
        WaitForSingleObject(m_lingerEndEvent, lingerMs);
        CPlayerLockGuard device(m_deviceLock);
        ReleaseObjects(m_lingering);
    }
    SetEvent(m_threadExitEvent);
    return 0;
}

bool CExtPlayerDX::Refill(bool wholeWhenEqual, bool& deviceFailed)
{
    deviceFailed = false;
    if (GetStopReason() == kStopDataEnded) {
        return false;
    }
    DWORD play = 0;
    if (!ReadPlayCursor(play)) {
        deviceFailed = true;
        return false;
    }
    const std::uint32_t span = player::FreeSpan(m_writePos, play, m_plan.bufferBytes, wholeWhenEqual);
    if (span == 0) {
        return true;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0;
    DWORD secondBytes = 0;
    HRESULT hr = m_buffer->Lock(m_writePos, span, &first, &firstBytes, &second, &secondBytes, 0);
    if (hr == DSERR_BUFFERLOST && SUCCEEDED(m_buffer->Restore())) {
        hr = m_buffer->Lock(m_writePos, span, &first, &firstBytes, &second, &secondBytes, 0);
    }
    if (FAILED(hr) || !first) {
        deviceFailed = true;
        return false;
    }
    if (m_seamPending) {
        // What the buffer holds where the rewrite starts, to fade from.
        m_seamPending = false;
        const std::uint32_t seamBytes = static_cast<std::uint32_t>(m_seamFrames) * m_deviceFormat.Format.nBlockAlign;
        const std::uint32_t fromFirst = std::min<std::uint32_t>(seamBytes, firstBytes);
        std::memcpy(m_seamOld.data(), first, fromFirst);
        if (second && fromFirst < seamBytes) {
            std::memcpy(reinterpret_cast<BYTE*>(m_seamOld.data()) + fromFirst, second,
                        std::min<std::uint32_t>(seamBytes - fromFirst, secondBytes));
        }
    }
    m_refillThread = GetCurrentThreadId();
    bool ended = false;
    std::uint32_t real = 0;
    std::uint32_t filled = Fill(static_cast<BYTE*>(first), firstBytes, ended, real);
    std::memset(static_cast<BYTE*>(first) + filled, 0, firstBytes - filled);
    std::uint32_t total = filled;
    if (second && secondBytes) {
        std::uint32_t secondReal = 0;
        filled = ended ? 0 : Fill(static_cast<BYTE*>(second), secondBytes, ended, secondReal);
        std::memset(static_cast<BYTE*>(second) + filled, 0, secondBytes - filled);
        if (secondReal > 0) {
            real = total + secondReal;
        }
        total += filled;
    }
    m_buffer->Unlock(first, firstBytes, second, secondBytes);
    if (ended) {
        // The silence written counts too: left behind, the stretch would keep
        // old samples that the cursor plays again before the engine stops.
        const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
        total = (firstBytes + secondBytes) / frameBytes * frameBytes;
    }
    m_writePos = (m_writePos + total) % m_plan.bufferBytes;
    {
        CPlayerLockGuard clock(m_clockLock);
        m_clock.Written(real, total);
    }
    m_refillThread = 0;
    if (m_releasePending) {
        m_releasePending = false;
        ReleaseDevice();
    }
    return !ended;
}

std::uint32_t CExtPlayerDX::Fill(BYTE* dest, std::uint32_t bytes, bool& ended, std::uint32_t& real)
{
    const std::uint32_t frameBytes = m_deviceFormat.Format.nBlockAlign;
    std::uint32_t written = 0;
    real = 0;
    while (bytes - written >= frameBytes) {
        if (m_readPos < m_block.filled) {
            const std::int32_t frames = std::min<std::int32_t>(
                m_block.filled - m_readPos, static_cast<std::int32_t>((bytes - written) / frameBytes));
            // The device format is always 16-bit PCM (SetFormat takes no other).
            const std::int32_t converted =
                ConvertBlockToPcm16(&m_block, m_readPos, frames, m_deviceFormat.Format.nChannels, dest + written);
            if (converted <= 0) {
                m_readPos = m_block.filled;   // a block that cannot be converted is skipped
                continue;
            }
            if (m_seamAt < m_seamFrames) {
                BlendSeam(dest + written, converted);
            }
            m_readPos += converted;
            written += static_cast<std::uint32_t>(converted) * frameBytes;
            real = written;
            continue;
        }
        if (!PullBlock(m_deviceSurround) || WaitForSingleObject(m_stopEvent, 0) == WAIT_OBJECT_0) {
            ended = true;   // the data ended, or the callback stopped the engine
            break;
        }
        if (m_discardFrames > 0) {
            const std::int32_t dropped = std::min(m_discardFrames, m_block.filled);
            m_readPos = dropped;
            m_discardFrames -= dropped;
            if (m_block.filled > 0 && m_readPos >= m_block.filled) {
                continue;   // all of it dropped: the next block
            }
        }
        if (m_block.filled == 0) {
            // Data to come but none now: silence for the rest of this piece.
            const std::uint32_t silent = (bytes - written) / frameBytes * frameBytes;
            std::memset(dest + written, 0, silent);
            written += silent;
            break;
        }
    }
    return written;
}
