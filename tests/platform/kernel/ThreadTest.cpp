#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/Clock.h"
#include "platform/win32.h"

using platform::Clock;

namespace {

class Threads : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::Instance().SetVirtual(true, 0);
        Clock::Instance().RegisterCurrentThread();
    }
    void TearDown() override {
        Clock::Instance().UnregisterCurrentThread();
        Clock::Instance().SetVirtual(false);
    }
};

struct Job {
    DWORD sleepMs;
    DWORD result;
    std::atomic<DWORD> tickAtEnd{0};
    std::atomic<DWORD> threadId{0};
};

DWORD WINAPI RunJob(LPVOID parameter) {
    auto* job = static_cast<Job*>(parameter);
    job->threadId = GetCurrentThreadId();
    Sleep(job->sleepMs);
    job->tickAtEnd = GetTickCount();
    return job->result;
}

TEST_F(Threads, RunWaitAndReportTheirExitCode) {
    Job job{40, 7};
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, RunJob, &job, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());

    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(thread, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(GetTickCount(), 10u);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(job.tickAtEnd.load(), 40u);
    EXPECT_EQ(job.threadId.load(), id);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST_F(Threads, GoOnAfterTheirHandleIsClosed) {
    Job job{25, 0};
    HANDLE thread = CreateThread(nullptr, 0, RunJob, &job, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    Sleep(100);
    EXPECT_EQ(job.tickAtEnd.load(), 25u);
}

TEST_F(Threads, BadHandlesFailWithoutCrashing) {
    int notAHandle = 0;
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(&notAHandle, INFINITE), WAIT_FAILED);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(&notAHandle, &code));
    EXPECT_FALSE(CloseHandle(&notAHandle));
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

TEST_F(Threads, SleepAndTickCountFollowTheDeviceClock) {
    Clock::Instance().SetVirtual(true,
                                 (static_cast<uint64_t>(UINT32_MAX) - 5) * platform::kNsPerMs);
    EXPECT_EQ(GetTickCount(), UINT32_MAX - 5);
    Sleep(10);
    EXPECT_EQ(GetTickCount(), 4u);  // wraps at 2^32 ms
    Sleep(0);
    EXPECT_EQ(GetTickCount(), 4u);
}

}  // namespace
