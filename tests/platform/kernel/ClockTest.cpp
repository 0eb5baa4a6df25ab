#include "platform/kernel/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using platform::Clock;
using platform::kNever;
using platform::kNsPerMs;
using platform::TimeNs;

namespace {

constexpr TimeNs Ms(TimeNs ms) {
    return ms * kNsPerMs;
}

// Each test starts in virtual time at 0 with the test thread as a participant.
class VirtualClock : public ::testing::Test {
protected:
    void SetUp() override {
        clock.SetVirtual(true, 0);
        clock.RegisterCurrentThread();
    }
    void TearDown() override {
        clock.UnregisterCurrentThread();
        clock.SetVirtual(false);
    }
    // Blocks (in real time) until only `n` participants are still running.
    void AwaitRunning(int n) {
        while (clock.RunningThreads() != n) {
            std::this_thread::yield();
        }
    }
    Clock& clock = Clock::Instance();
};

struct Log {
    std::mutex mutex;
    std::vector<std::string> events;
    void Add(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(what + "@" + std::to_string(Clock::Instance().Now() / kNsPerMs));
    }
};

TEST_F(VirtualClock, StandsStillWhileAnyParticipantRuns) {
    std::thread sleeper = Clock::StartThread([] { Clock::Instance().SleepFor(Ms(1000)); });
    AwaitRunning(1);  // the sleeper waits; this thread still runs
    EXPECT_EQ(clock.Now(), 0u);
    clock.SleepFor(Ms(10));
    EXPECT_EQ(clock.Now(), Ms(10));  // jumped to this thread's deadline, not the sleeper's
    clock.SleepFor(Ms(5000));
    EXPECT_EQ(clock.Now(), Ms(5010));
    sleeper.join();
}

TEST_F(VirtualClock, JumpsToDeadlinesInOrder) {
    Log log;
    std::vector<std::thread> threads;
    for (int ms : {30, 10, 20}) {
        threads.push_back(Clock::StartThread([ms, &log] {
            Clock::Instance().SleepFor(Ms(ms));
            log.Add("t" + std::to_string(ms));
        }));
    }
    clock.SleepFor(Ms(100));
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(log.events, (std::vector<std::string>{"t10@10", "t20@20", "t30@30"}));
    EXPECT_EQ(clock.Now(), Ms(100));
}

std::vector<std::string> RunPingPong() {
    Clock& clock = Clock::Instance();
    clock.SetVirtual(true, 0);
    Log log;
    std::atomic<int> turn{0};
    auto player = [&](int me, int period) {
        for (int i = 0; i < 5; ++i) {
            clock.WaitUntil(kNever, [&] { return turn.load() == me; });
            log.Add("p" + std::to_string(me));
            clock.SleepFor(Ms(period));
            turn = 1 - me;
            clock.Notify();
        }
    };
    std::thread a = Clock::StartThread([&] { player(0, 7); });
    std::thread b = Clock::StartThread([&] { player(1, 3); });
    clock.SleepFor(Ms(1000));
    a.join();
    b.join();
    return log.events;
}

TEST_F(VirtualClock, RunsAreDeterministic) {
    std::vector<std::string> first = RunPingPong();
    clock.SetVirtual(true, 0);
    std::vector<std::string> second = RunPingPong();
    EXPECT_EQ(first, second);
    ASSERT_EQ(first.size(), 10u);
    EXPECT_EQ(first[0], "p0@0");
    EXPECT_EQ(first[1], "p1@7");
    EXPECT_EQ(first[2], "p0@10");
    EXPECT_EQ(first[9], "p1@47");
}

TEST_F(VirtualClock, NotifyWakesAReadyWaiterWithoutMovingTime) {
    std::atomic<bool> flag{false};
    std::atomic<bool> result{false};
    std::atomic<TimeNs> wokeAt{kNever};
    std::thread waiter = Clock::StartThread([&] {
        result = Clock::Instance().WaitUntil(Ms(500), [&] { return flag.load(); });
        wokeAt = Clock::Instance().Now();
    });
    AwaitRunning(1);
    flag = true;
    clock.Notify();
    waiter.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(wokeAt.load(), 0u);
}

TEST_F(VirtualClock, WaitReportsTimeoutAtItsDeadline) {
    EXPECT_FALSE(clock.WaitUntil(Ms(250), [] { return false; }));
    EXPECT_EQ(clock.Now(), Ms(250));
    EXPECT_TRUE(clock.WaitUntil(Ms(900), [] { return true; }));
    EXPECT_EQ(clock.Now(), Ms(250));
}

TEST_F(VirtualClock, ReadyBecomingTrueAtTheDeadlineCountsAsReady) {
    std::atomic<bool> flag{false};
    std::thread setter = Clock::StartThread([&] {
        Clock::Instance().SleepUntil(Ms(40));
        flag = true;
        Clock::Instance().Notify();
    });
    EXPECT_TRUE(clock.WaitUntil(kNever, [&] { return flag.load(); }));
    EXPECT_EQ(clock.Now(), Ms(40));
    setter.join();
}

TEST_F(VirtualClock, ANewThreadHoldsTimeUntilItRuns) {
    // Without the reservation, this thread's long sleep could pass before the new thread's
    // first instruction, and the new thread's 5 ms would end at 105.
    for (int round = 0; round < 20; ++round) {
        clock.SetVirtual(true, 0);
        std::atomic<TimeNs> sawAt{0};
        std::thread t = Clock::StartThread([&] {
            Clock::Instance().SleepFor(Ms(5));
            sawAt = Clock::Instance().Now();
        });
        clock.SleepFor(Ms(100));
        t.join();
        ASSERT_EQ(sawAt.load(), Ms(5)) << "round " << round;
    }
}

TEST_F(VirtualClock, AFinishedThreadNoLongerHoldsTime) {
    std::atomic<bool> release{false};
    std::thread worker = Clock::StartThread([&] {
        while (!release) {
            std::this_thread::yield();  // runs without waiting: time must stand still
        }
    });
    std::atomic<TimeNs> wokeAt{0};
    std::thread sleeper = Clock::StartThread([&] {
        Clock::Instance().SleepFor(Ms(30));
        wokeAt = Clock::Instance().Now();
    });
    clock.UnregisterCurrentThread();
    AwaitRunning(1);  // only the worker
    EXPECT_EQ(clock.Now(), 0u);
    release = true;
    worker.join();
    sleeper.join();
    EXPECT_EQ(wokeAt.load(), Ms(30));
    clock.RegisterCurrentThread();
}

TEST_F(VirtualClock, EveryoneWaitingForEventsLeavesTimeAlone) {
    std::atomic<bool> flag{false};
    std::thread waiter = Clock::StartThread(
        [&] { Clock::Instance().WaitUntil(kNever, [&] { return flag.load(); }); });
    clock.UnregisterCurrentThread();
    AwaitRunning(0);
    EXPECT_EQ(clock.Now(), 0u);
    flag = true;
    clock.Notify();
    waiter.join();
    EXPECT_EQ(clock.Now(), 0u);
    clock.RegisterCurrentThread();
}

TEST_F(VirtualClock, IdleWaitLetsOthersFinishTheirTimeFirst) {
    for (int round = 0; round < 20; ++round) {
        clock.SetVirtual(true, 0);
        Log log;
        std::thread worker = Clock::StartThread([&] {
            Clock::Instance().SleepUntil(Ms(50));
            log.Add("work");
            Clock::Instance().SleepUntil(Ms(50));  // already due: no wait
            log.Add("more");
            Clock::Instance().SleepUntil(Ms(80));
            log.Add("late");
        });
        std::thread driver = Clock::StartThread([&] {
            Clock::Instance().WaitIdle(Ms(50));
            log.Add("idle");
        });
        clock.SleepFor(Ms(200));
        worker.join();
        driver.join();
        ASSERT_EQ(log.events,
                  (std::vector<std::string>{"work@50", "more@50", "idle@50", "late@80"}))
            << "round " << round;
    }
}

TEST_F(VirtualClock, AnIdleWaiterLeftAloneReachesItsDeadline) {
    // As a script that still has time to wait out when the program has ended.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread driver = Clock::StartThread([done] {
        Clock::Instance().WaitIdle(Ms(500));
        *done = true;
    });
    clock.UnregisterCurrentThread();
    // Patience in real time; the wait itself takes none.
    for (int i = 0; i < 2000 && !*done; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!*done) {
        driver.detach();
        FAIL() << "the idle waiter never reached its deadline";
    }
    driver.join();
    EXPECT_EQ(clock.Now(), Ms(500));
    clock.RegisterCurrentThread();
}

TEST(RealTimeClock, WaitsOnTheWallClock) {
    Clock& clock = Clock::Instance();
    clock.SetVirtual(false);
    EXPECT_FALSE(clock.IsVirtual());
    TimeNs before = clock.Now();
    clock.SleepFor(Ms(20));
    EXPECT_GE(clock.Now() - before, Ms(20));

    std::atomic<bool> flag{false};
    std::thread setter([&] {
        flag = true;
        Clock::Instance().Notify();
    });
    EXPECT_TRUE(clock.WaitUntil(kNever, [&] { return flag.load(); }));
    setter.join();
    // A deadline too far away to express still waits, rather than overflowing into the past.
    std::thread late([&] {
        Clock::Instance().SleepFor(Ms(10));
        flag = false;
        Clock::Instance().Notify();
    });
    EXPECT_TRUE(clock.WaitUntil(kNever - 1, [&] { return !flag.load(); }));
    late.join();
}

TEST(RealTimeClock, StartValueOffsetsTheTime) {
    Clock& clock = Clock::Instance();
    clock.SetVirtual(false, Ms(1000000));
    EXPECT_GE(clock.Now(), Ms(1000000));
    EXPECT_GE(clock.TickCountMs(), 1000000u);
    clock.SetVirtual(false);
}

}  // namespace
