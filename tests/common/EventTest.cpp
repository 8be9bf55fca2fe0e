#include "common/Event.h"

#include <gtest/gtest.h>

#include <thread>

TEST(Event, AutoResetReleasesOneWait)
{
    CEvent ev(false, false);
    EXPECT_FALSE(ev.Wait(10));
    ev.Set();
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_FALSE(ev.Wait(10));   // cleared by the first wait
}

TEST(Event, ManualResetStaysSetUntilReset)
{
    CEvent ev(true, true);
    EXPECT_TRUE(ev.Wait(0));
    EXPECT_TRUE(ev.Wait(0));
    ev.Reset();
    EXPECT_FALSE(ev.Wait(10));
}

TEST(Event, WakesAWaitingThread)
{
    CEvent ev(false, false);
    bool woke = false;
    std::thread t([&] { woke = ev.Wait(5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ev.Set();
    t.join();
    EXPECT_TRUE(woke);
}
