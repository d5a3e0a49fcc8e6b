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

std::int32_t FiredSegment(const SegmentPlan& plan, std::int32_t event, std::uint32_t playCursor)
{
    if (event < 0 || event >= plan.events || plan.bufferBytes == 0) {
        return -1;
    }
    if (plan.segments <= plan.events) {
        return event;
    }
    std::int32_t best = event;
    std::uint32_t bestDistance = 0xFFFFFFFFu;
    for (std::int32_t j = event; j < plan.segments; j += plan.events) {
        // How far the cursor is from this notification, either way around the ring.
        const std::uint32_t offset = plan.NotificationOffset(j);
        const std::uint32_t ahead = (playCursor % plan.bufferBytes + plan.bufferBytes - offset) % plan.bufferBytes;
        const std::uint32_t distance = std::min(ahead, plan.bufferBytes - ahead);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = j;
        }
    }
    return best;
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

std::uint32_t DeviceBufferBytes(std::uint32_t segmentBytes, std::int32_t segments, std::uint32_t frameBytes)
{
    const std::uint64_t total = static_cast<std::uint64_t>(segmentBytes) * static_cast<std::uint64_t>(
                                    std::max(segments, 0));
    if (total > 0xFFFFFFFFull || frameBytes == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(total - total % frameBytes);
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

}  // namespace player
