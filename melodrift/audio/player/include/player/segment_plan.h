// How the player's device buffer is cut into segments, which notification
// event each segment signals, and how much of the buffer a refill may write.
// Platform-neutral.
//
// The platform's wait takes at most 64 objects, one of which is the stop
// event, while up to 100 segments are allowed. Up to 63 segments each get an
// event of their own. With more, the segments are split into two rounds
// (events = half the segments, rounded up) and segment j signals event
// j mod events, so the two segments sharing an event lie half the buffer
// apart. A refill needs to know only that a segment has been played: it
// writes from the write position up to the play cursor.
#pragma once

#include <cstdint>

namespace player {

constexpr std::int32_t kMaxSegments = 100;
constexpr std::int32_t kMaxSegmentEvents = 63;   // plus the stop event: 64

struct SegmentPlan {
    std::int32_t segments = 0;     // 1..100
    std::int32_t events = 0;       // segments up to 63, else half of them
    std::uint32_t bufferBytes = 0;

    // Byte offset of segment j's notification: the last byte of the segment,
    // bufferBytes / segments x (j + 1) - 1.
    std::uint32_t NotificationOffset(std::int32_t segment) const;
    // The event segment j signals.
    std::int32_t EventOf(std::int32_t segment) const { return segment % events; }
};

// The plan for a buffer; segments is limited to 1..100, and a buffer smaller
// than one byte per segment gets one segment.
SegmentPlan PlanSegments(std::int32_t segments, std::uint32_t bufferBytes);

// Bytes a refill may write from the write position up to the play cursor.
// When the two are equal the buffer is either all free (the first fill of a
// playback: wholeWhenEqual) or all written and not yet played (0).
std::uint32_t FreeSpan(std::uint32_t writePos, std::uint32_t playCursor, std::uint32_t bufferBytes,
                       bool wholeWhenEqual);

// The segment size is a length of time: segment bytes of the default format
// (44.1 kHz, 16-bit stereo, 176400 bytes a second), whatever the format
// played, so that the buffer and the notifications keep their pace at every
// rate and channel count.
constexpr std::uint32_t kSegmentByteRate = 176400;

// Frames of one segment at `rate` (whole frames: a part of one does not count).
std::int64_t SegmentFrames(std::int64_t segmentBytes, std::uint32_t rate);

// Size of the device buffer: segments of `segmentFrames` frames of
// `frameBytes` each (0 when it does not fit in 32 bits).
std::uint32_t DeviceBufferBytes(std::int64_t segmentFrames, std::int32_t segments, std::uint32_t frameBytes);

// Where a playback stands, in bytes counted from its start (so they never
// wrap): how far the device has played, how far the buffer has been written,
// and where the real data written so far ends. The device keeps some of what
// it has taken from the buffer queued for a while; the engine stops only once
// the play position is a margin past the end of the data, so that closing the
// device drops nothing that was still to be heard.
class PlaybackClock {
public:
    void Start(std::uint32_t bufferBytes);
    // A new play cursor (a ring offset); read more often than once a cycle.
    void Cursor(std::uint32_t playCursor);
    // A refill advanced the write position by `advance` bytes, the first
    // `realBytes` of them data (the rest silence).
    void Written(std::uint32_t realBytes, std::uint32_t advance);
    // The last `bytes` written are taken back, to be written again (never
    // more than was written; the end of the data follows).
    void Unwritten(std::uint32_t bytes);
    std::uint64_t Played() const { return m_played; }
    std::uint64_t WrittenTotal() const { return m_written; }
    std::uint64_t DataEnd() const { return m_dataEnd; }
    bool Heard(std::uint64_t margin) const { return m_played >= m_dataEnd + margin; }
    // Bytes still to be played until Heard(margin), 0 when it already is.
    std::uint64_t ToBeHeard(std::uint64_t margin) const
    {
        return Heard(margin) ? 0 : m_dataEnd + margin - m_played;
    }
    // How much of the data has been played (silence after it not counted).
    std::uint64_t PlayedData() const { return m_played < m_dataEnd ? m_played : m_dataEnd; }

private:
    std::uint32_t m_bufferBytes = 0;
    std::uint32_t m_cursor = 0;
    std::uint64_t m_played = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_dataEnd = 0;
};

}  // namespace player
