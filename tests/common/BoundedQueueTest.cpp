// The bounded queue between the bus side and a window: drops when full, never loses
// order, and every item is either delivered or counted as dropped.
#include "common/BoundedQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(BoundedQueue, DropsAndCountsWhenFullAndDrainsInOrder)
{
    CBoundedQueue<int> q(3);
    for (int i = 1; i <= 5; ++i)
        q.TryPush(i);
    EXPECT_EQ(q.Size(), 3u);
    EXPECT_EQ(q.Dropped(), 2u);

    std::vector<int> out{0};
    EXPECT_EQ(q.DrainTo(out), 3u);
    EXPECT_EQ(out, (std::vector<int>{0, 1, 2, 3}));   // appended after what was there
    EXPECT_EQ(q.Size(), 0u);
    EXPECT_TRUE(q.TryPush(6));                        // room again after the drain
    q.ResetDropped();
    EXPECT_EQ(q.Dropped(), 0u);
}

TEST(BoundedQueue, ConcurrentProducerLosesNothingUncounted)
{
    CBoundedQueue<int> q(64);
    constexpr int kItems = 200000;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i)
            q.TryPush(i);
        done = true;
    });
    std::vector<int> got;
    while (!done)
        q.DrainTo(got);
    producer.join();
    q.DrainTo(got);
    EXPECT_EQ(got.size() + q.Dropped(), static_cast<size_t>(kItems));
    for (size_t i = 1; i < got.size(); ++i)
        ASSERT_LT(got[i - 1], got[i]);
}
