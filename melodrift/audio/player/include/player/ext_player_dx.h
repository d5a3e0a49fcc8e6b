// CExtPlayerDX: the playback engine on the default DirectSound device.
//
// Play opens the device (exclusive cooperative level, a primary buffer in the
// device format, a looping streaming buffer of segment count segments with
// one position notification at the end of each segment; a segment lasts the
// same time at every rate, see SetSegmentBytes), fills the whole buffer and
// starts a feeder thread. The thread waits on the notification events and the
// stop event; at each notification it refills the part of the buffer that
// has been played. When the callback reports the end of the data, the thread
// follows the play cursor and stops the engine as soon as the last sample
// written has been played; the callback then gets its end-of-data notice.
// The device itself stays open a little longer (a fifth of a second at most),
// playing silence while it lets out what it still holds queued; a new start
// in that time opens its own device first and then releases the old one, so
// the next track follows without a gap and nothing of the last one is cut.
//
// The device format is the engine's format, or with surround on the surround
// processor's output layout; it is fixed when playback starts.
#pragma once

#include "player/ext_player.h"
#include "player/segment_plan.h"

#include <dsound.h>

#include <cstdint>
#include <vector>

class CFeederThread;

class CExtPlayerDX : public CExtPlayer {
public:
    CExtPlayerDX();
    ~CExtPlayerDX() override;

    // The name the feeder thread gives itself (what debuggers and profilers show).
    static constexpr const wchar_t* kFeederThreadName = L"Playback feeder";

    std::int32_t Play() override;
    std::int32_t Stop(std::int32_t reason) override;
    std::int32_t Pause() override;
    std::int32_t OpenDevice() override;
    std::int32_t CloseDevice() override;
    // The feeder wakes at once, takes back from the callback what lies
    // further ahead of the play cursor than kRewriteMarginMs (see the rewrite
    // notice in ext_player.h) and writes it again, faded over kSeamMs from
    // what was written there. Not with surround on (its processor's state
    // cannot be taken back): the change is then heard after the buffer.
    std::int32_t RequestRewrite() override;
    static constexpr std::uint32_t kRewriteMarginMs = 20;
    static constexpr std::uint32_t kSeamMs = 10;

    // The format the device was last opened with, and its buffer size.
    const WAVEFORMATEXTENSIBLE& GetDeviceFormat() const { return m_deviceFormat; }
    std::uint32_t GetBufferBytes() const { return m_plan.bufferBytes; }
    // The streaming buffer's own idea of its format (for checks); false when
    // there is no device.
    bool QueryBufferFormat(WAVEFORMATEXTENSIBLE& format);
    // Whether a feeder thread is running.
    bool IsFeederRunning() const;
    // Frames of the data the device has played since playback last started
    // (Play from the stopped state), following its play cursor: still while
    // paused, and at most the frames of data given (the silence after the
    // end does not count). Kept after a stop until the next start.
    std::int64_t GetPlayedFrames();

private:
    friend class CFeederThread;

    // The objects of one opened device.
    struct DeviceObjects {
        IDirectSound* sound = nullptr;
        IDirectSoundBuffer* primary = nullptr;
        IDirectSoundBuffer* buffer = nullptr;
        IDirectSoundNotify* notify = nullptr;
        HANDLE events[player::kMaxSegmentEvents] = {};
        std::int32_t eventCount = 0;
    };

    int FeederLoop();
    // Pause's toggle, under the control lock, from the given state.
    std::int32_t TogglePause(std::int32_t state);
    // Reads the play cursor into the clock; false when the device fails.
    bool ReadPlayCursor(DWORD& play);
    // Takes back what lies ahead of the play cursor (a margin past the
    // device's write cursor) for the refill that follows.
    void Rewrite();
    // Fades the frames just converted at `dest` from what the buffer held there.
    void BlendSeam(BYTE* dest, std::int32_t frames);
    // Refills the free span; false when the data ran out within it.
    bool Refill(bool wholeWhenEqual, bool& deviceFailed);
    // Fills `bytes` at `dest` from the blocks; returns the bytes written, of
    // which `real` are data (the rest silence while a source has none ready).
    std::uint32_t Fill(BYTE* dest, std::uint32_t bytes, bool& ended, std::uint32_t& real);
    void ReleaseDevice();
    // The open device's objects, handed over (the engine holds none after it).
    DeviceObjects TakeDevice();
    // Moves the open device aside (under the device lock) to let out what it
    // still holds; the feeder releases it a little later.
    void RetireDevice();
    static void ReleaseObjects(DeviceObjects& objects);
    void JoinFeeder();

    // Device objects, under the device lock.
    IDirectSound* m_sound = nullptr;
    IDirectSoundBuffer* m_primary = nullptr;
    IDirectSoundBuffer* m_buffer = nullptr;
    IDirectSoundNotify* m_notify = nullptr;
    HANDLE m_segmentEvents[player::kMaxSegmentEvents] = {};
    std::int32_t m_eventCount = 0;
    player::SegmentPlan m_plan;

    DeviceObjects m_lingering;   // a retired device, under the device lock
    HANDLE m_lingerEndEvent = nullptr;   // ends the feeder's wait on a retired device
    HANDLE m_stopEvent = nullptr;
    HANDLE m_threadExitEvent = nullptr;
    CFeederThread* m_feeder = nullptr;

    WAVEFORMATEXTENSIBLE m_deviceFormat = {};
    bool m_deviceSurround = false;   // surround processing for the open device
    std::uint32_t m_writePos = 0;
    bool m_endedInFirstFill = false;
    player::PlaybackClock m_clock;   // under the clock lock (taken after the device lock, never before)
    CPlayerLock m_clockLock;
    DWORD m_refillThread = 0;        // the thread inside a refill, or 0
    volatile LONG m_rewriteRequested = 0;
    // The seam of a rewrite (the feeder's): what the buffer held from the new
    // write position on, faded out under what is written there again.
    std::vector<std::int16_t> m_seamOld;
    std::int32_t m_seamFrames = 0;   // frames of m_seamOld to fade over
    std::int32_t m_seamAt = 0;       // of them done
    bool m_seamPending = false;      // the next refill keeps the old samples first
    std::int32_t m_discardFrames = 0;   // processed frames dropped before the buffer (the equalizer's run-in)
    bool m_releasePending = false;   // release once that refill is done
};
