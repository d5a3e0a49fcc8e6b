// Segments, their notification events (at most 63 besides the stop event) and
// the refill span.
#include "player/segment_plan.h"

#include <gtest/gtest.h>

using namespace player;

TEST(PlayerSegmentPlan, OffsetsEndEachSegment)
{
    const SegmentPlan plan = PlanSegments(5, 5 * 44100);
    EXPECT_EQ(plan.segments, 5);
    EXPECT_EQ(plan.events, 5);
    EXPECT_EQ(plan.NotificationOffset(0), 44099u);
    EXPECT_EQ(plan.NotificationOffset(4), 220499u);
    for (int j = 0; j < 5; ++j) EXPECT_EQ(plan.EventOf(j), j);
}

TEST(PlayerSegmentPlan, SegmentCountIsLimited)
{
    EXPECT_EQ(PlanSegments(0, 1000).segments, 1);
    EXPECT_EQ(PlanSegments(101, 100000).segments, 100);
    EXPECT_EQ(PlanSegments(50, 10).segments, 1);   // less than a byte per segment
}

TEST(PlayerSegmentPlan, EverySegmentIsFoundFromItsSharedEvent)
{
    const struct { int segments; int events; } cases[] = {{5, 5}, {63, 63}, {64, 32}, {65, 33}, {100, 50}};
    for (const auto& c : cases) {
        const SegmentPlan plan = PlanSegments(c.segments, static_cast<std::uint32_t>(c.segments) * 4408);
        ASSERT_EQ(plan.events, c.events) << c.segments;
        for (int j = 0; j < c.segments; ++j) {
            const int event = plan.EventOf(j);
            ASSERT_LT(event, 63);
            // The cursor a little past the notification, as when the thread
            // wakes late, or still a little before it, as the device mixes ahead.
            for (int offset : {1, 200, 4000, 30000, -1, -3000, -30000}) {
                const std::uint32_t cursor =
                    (plan.NotificationOffset(j) + plan.bufferBytes + offset) % plan.bufferBytes;
                EXPECT_EQ(FiredSegment(plan, event, cursor), j) << c.segments << " " << j << " " << offset;
            }
        }
    }
    const SegmentPlan plan = PlanSegments(100, 100 * 4408);
    EXPECT_EQ(plan.EventOf(50), 0);
    EXPECT_EQ(plan.EventOf(99), 49);
    EXPECT_EQ(FiredSegment(plan, 50, 0), -1);
    EXPECT_EQ(FiredSegment(plan, -1, 0), -1);
}

TEST(PlayerSegmentPlan, FreeSpanRunsFromTheWritePositionToTheCursor)
{
    EXPECT_EQ(FreeSpan(0, 1000, 8000, false), 1000u);
    EXPECT_EQ(FreeSpan(6000, 1000, 8000, false), 3000u);   // around the end
    EXPECT_EQ(FreeSpan(0, 0, 8000, true), 8000u);          // first fill: all of it
    EXPECT_EQ(FreeSpan(4000, 4000, 8000, false), 0u);      // written up to the cursor: nothing
    EXPECT_EQ(FreeSpan(0, 0, 0, true), 0u);
}

TEST(PlayerSegmentPlan, DeviceBufferHoldsWholeFrames)
{
    EXPECT_EQ(DeviceBufferBytes(44100, 5, 4), 220500u);
    EXPECT_EQ(DeviceBufferBytes(44101, 5, 4), 220504u);
    EXPECT_EQ(DeviceBufferBytes(44100, 5, 12), 220500u - 220500u % 12);
    EXPECT_EQ(DeviceBufferBytes(0x7FFFFFFF, 100, 4), 0u);
    EXPECT_EQ(DeviceBufferBytes(100, 5, 0), 0u);
}

TEST(PlayerSegmentPlan, ClockCountsAcrossTheRing)
{
    PlaybackClock clock;
    clock.Start(1000);
    clock.Written(1000, 1000);   // the first fill: all data
    EXPECT_EQ(clock.DataEnd(), 1000u);
    clock.Cursor(400);
    clock.Written(300, 400);     // 300 bytes of data, then silence
    EXPECT_EQ(clock.DataEnd(), 1300u);
    EXPECT_EQ(clock.WrittenTotal(), 1400u);
    clock.Cursor(900);
    clock.Cursor(100);           // around the end of the ring
    EXPECT_EQ(clock.Played(), 1100u);
    EXPECT_FALSE(clock.Heard(0));
    clock.Written(0, 700);       // silence only: the end stays
    EXPECT_EQ(clock.DataEnd(), 1300u);
    clock.Cursor(350);
    EXPECT_TRUE(clock.Heard(50));
    EXPECT_FALSE(clock.Heard(51));
    clock.Start(0);
    clock.Cursor(10);
    EXPECT_EQ(clock.Played(), 0u);
}
