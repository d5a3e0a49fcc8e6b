// How the player's device buffer is cut into segments, which notification
// event each segment signals, and how much of the buffer a refill may write.
// Platform-neutral.
//
// The platform's wait takes at most 64 objects, one of which is the stop
// event, while up to 100 segments are allowed. Up to 63 segments each get an
// event of their own. With more, the segments are split into two rounds
// (events = half the segments, rounded up) and segment j signals event
// j mod events, so the two segments sharing an event lie half the buffer
// apart; when an event fires, the play cursor tells which of them was passed.
// (The cursor may trail the notification a little, as the device mixes
// ahead: half a buffer of distance leaves no doubt.)
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

// The segment whose notification made `event` fire, given the play cursor
// around that time: of the segments sharing the event, the one whose offset
// lies nearest the cursor around the ring. -1 for an event outside the plan.
std::int32_t FiredSegment(const SegmentPlan& plan, std::int32_t event, std::uint32_t playCursor);

// Bytes a refill may write from the write position up to the play cursor.
// When the two are equal the buffer is either all free (the first fill of a
// playback: wholeWhenEqual) or all written and not yet played (0).
std::uint32_t FreeSpan(std::uint32_t writePos, std::uint32_t playCursor, std::uint32_t bufferBytes,
                       bool wholeWhenEqual);

// Size of the device buffer: segment bytes x segments, rounded down to whole
// frames of `frameBytes` (0 when it does not fit in 32 bits).
std::uint32_t DeviceBufferBytes(std::uint32_t segmentBytes, std::int32_t segments, std::uint32_t frameBytes);

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
    std::uint64_t Played() const { return m_played; }
    std::uint64_t WrittenTotal() const { return m_written; }
    std::uint64_t DataEnd() const { return m_dataEnd; }
    bool Heard(std::uint64_t margin) const { return m_played >= m_dataEnd + margin; }

private:
    std::uint32_t m_bufferBytes = 0;
    std::uint32_t m_cursor = 0;
    std::uint64_t m_played = 0;
    std::uint64_t m_written = 0;
    std::uint64_t m_dataEnd = 0;
};

}  // namespace player
