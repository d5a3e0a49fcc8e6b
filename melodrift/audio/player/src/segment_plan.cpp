// Segments, their events and the refill span.
#include "player/segment_plan.h"

#include <algorithm>

namespace player {

std::uint32_t SegmentPlan::NotificationOffset(std::int32_t segment) const
{
    return bufferBytes / static_cast<std::uint32_t>(segments) * static_cast<std::uint32_t>(segment + 1) - 1;
}

SegmentPlan PlanSegments(std::int32_t segments, std::uint32_t bufferBytes)
{
    SegmentPlan plan;
    plan.segments = std::clamp(segments, 1, kMaxSegments);
    if (bufferBytes < static_cast<std::uint32_t>(plan.segments)) {
        plan.segments = 1;
    }
    const std::int32_t rounds = (plan.segments + kMaxSegmentEvents - 1) / kMaxSegmentEvents;
    plan.events = (plan.segments + rounds - 1) / rounds;
    plan.bufferBytes = bufferBytes;
    return plan;
}

std::uint32_t FreeSpan(std::uint32_t writePos, std::uint32_t playCursor, std::uint32_t bufferBytes,
                       bool wholeWhenEqual)
{
    if (bufferBytes == 0) {
        return 0;
    }
    writePos %= bufferBytes;
    playCursor %= bufferBytes;
    if (writePos < playCursor) {
        return playCursor - writePos;
    }
    if (writePos > playCursor) {
        return playCursor + bufferBytes - writePos;
    }
    return wholeWhenEqual ? bufferBytes : 0;
}

std::int64_t SegmentFrames(std::int64_t segmentBytes, std::uint32_t rate)
{
    if (segmentBytes <= 0) {
        return 0;
    }
    return segmentBytes * static_cast<std::int64_t>(rate) / kSegmentByteRate;
}

std::uint32_t DeviceBufferBytes(std::int64_t segmentFrames, std::int32_t segments, std::uint32_t frameBytes)
{
    if (segmentFrames <= 0 || segments <= 0 || segmentFrames > 0xFFFFFFFFll) {
        return 0;
    }
    const std::uint64_t total = static_cast<std::uint64_t>(segmentFrames) * static_cast<std::uint64_t>(segments) *
                                frameBytes;
    if (total > 0xFFFFFFFFull) {
        return 0;
    }
    return static_cast<std::uint32_t>(total);
}

void PlaybackClock::Start(std::uint32_t bufferBytes)
{
    *this = PlaybackClock();
    m_bufferBytes = bufferBytes;
}

void PlaybackClock::Cursor(std::uint32_t playCursor)
{
    if (m_bufferBytes == 0) {
        return;
    }
    playCursor %= m_bufferBytes;
    m_played += (playCursor + m_bufferBytes - m_cursor) % m_bufferBytes;
    m_cursor = playCursor;
}

void PlaybackClock::Written(std::uint32_t realBytes, std::uint32_t advance)
{
    if (realBytes > 0) {
        m_dataEnd = m_written + std::min(realBytes, advance);
    }
    m_written += advance;
}

void PlaybackClock::Unwritten(std::uint32_t bytes)
{
    m_written -= std::min<std::uint64_t>(bytes, m_written - std::min(m_written, m_played));
    m_dataEnd = std::min(m_dataEnd, m_written);
}

}  // namespace player
