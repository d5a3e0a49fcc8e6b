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

TEST(PlayerSegmentPlan, SegmentsShareEventsHalfABufferApart)
{
    const struct { int segments; int events; } cases[] = {{5, 5}, {63, 63}, {64, 32}, {65, 33}, {100, 50}};
    for (const auto& c : cases) {
        const SegmentPlan plan = PlanSegments(c.segments, static_cast<std::uint32_t>(c.segments) * 4408);
        ASSERT_EQ(plan.events, c.events) << c.segments;
        for (int j = 0; j < c.segments; ++j) {
            ASSERT_LT(plan.EventOf(j), 63);
        }
    }
    const SegmentPlan plan = PlanSegments(100, 100 * 4408);
    EXPECT_EQ(plan.EventOf(50), 0);
    EXPECT_EQ(plan.EventOf(99), 49);
}

TEST(PlayerSegmentPlan, FreeSpanRunsFromTheWritePositionToTheCursor)
{
    EXPECT_EQ(FreeSpan(0, 1000, 8000, false), 1000u);
    EXPECT_EQ(FreeSpan(6000, 1000, 8000, false), 3000u);   // around the end
    EXPECT_EQ(FreeSpan(0, 0, 8000, true), 8000u);          // first fill: all of it
    EXPECT_EQ(FreeSpan(4000, 4000, 8000, false), 0u);      // written up to the cursor: nothing
    EXPECT_EQ(FreeSpan(0, 0, 0, true), 0u);
}

TEST(PlayerSegmentPlan, SegmentsLastTheSameTimeAtEveryRate)
{
    // A quarter second by default, whatever the format.
    EXPECT_EQ(SegmentFrames(44100, 44100), 11025);
    EXPECT_EQ(SegmentFrames(44100, 8000), 2000);
    EXPECT_EQ(SegmentFrames(44100, 96000), 24000);
    EXPECT_EQ(SegmentFrames(4408, 22050), 551);
    EXPECT_EQ(SegmentFrames(44100, 22050), 5512);
    EXPECT_EQ(SegmentFrames(7, 44100), 1);
    EXPECT_EQ(SegmentFrames(3, 44100), 0);   // less than a frame
    EXPECT_EQ(SegmentFrames(1, 8000), 0);
    EXPECT_EQ(SegmentFrames(0, 44100), 0);
    EXPECT_EQ(DeviceBufferBytes(SegmentFrames(44100, 8000), 5, 2), 20000u);      // 8 kHz mono
    EXPECT_EQ(DeviceBufferBytes(SegmentFrames(44100, 96000), 5, 4), 480000u);    // 96 kHz stereo
    EXPECT_EQ(DeviceBufferBytes(11025, 5, 12), 661500u);                          // surround output
    EXPECT_EQ(DeviceBufferBytes(0x7FFFFFFF, 100, 4), 0u);
    EXPECT_EQ(DeviceBufferBytes(100, 5, 0), 0u);
    EXPECT_EQ(DeviceBufferBytes(0, 5, 4), 0u);
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
    EXPECT_EQ(clock.ToBeHeard(50), 250u);
    EXPECT_EQ(clock.PlayedData(), 1100u);
    clock.Cursor(350);
    EXPECT_TRUE(clock.Heard(50));
    EXPECT_FALSE(clock.Heard(51));
    EXPECT_EQ(clock.ToBeHeard(50), 0u);
    EXPECT_EQ(clock.PlayedData(), 1300u);   // the data, not the silence behind it
    clock.Start(0);
    clock.Cursor(10);
    EXPECT_EQ(clock.Played(), 0u);
}
