// The meeting of the stop question and the worker, with a real worker thread.
#include "installer/engine/InstallJob.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

namespace {

// A worker that reaches a boundary and then its point of no return, each
// reached reported through the flags.
struct Worker {
    CStopRequest stop;
    std::atomic<int> stage{0}; // 1 at the boundary, 2 past it, 3 committed
    std::atomic<bool> stopped{false};
    std::thread thread;

    void Run() {
        thread = std::thread([this] {
            stage = 1;
            if (stop.StopHere()) {
                stopped = true;
                return;
            }
            stage = 2;
            if (!stop.PassPointOfNoReturn()) {
                stopped = true;
                return;
            }
            stage = 3;
        });
    }
    // Waits (bounded) until stage reaches at least s.
    bool Reached(int s) {
        for (int i = 0; i < 500 && stage < s; ++i)
            Sleep(10);
        return stage >= s;
    }
    void Join() { thread.join(); }
};

TEST(StopGate, AWorkerWaitsAtItsBoundaryWhileTheQuestionIsUpAndTheAnswerDecides) {
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        Worker w;
        ASSERT_TRUE(w.stop.Pause());
        w.Run();
        ASSERT_TRUE(w.Reached(1));
        // However long the question is up, the worker stays where it is.
        Sleep(300);
        EXPECT_EQ(1, w.stage.load());
        if (yes)
            EXPECT_TRUE(w.stop.Request());
        else
            w.stop.Resume();
        w.Join();
        EXPECT_EQ(yes, w.stopped.load());
        EXPECT_EQ(yes ? 1 : 3, w.stage.load());
    }
}

TEST(StopGate, OnceCommittedNothingCanBeStoppedAndThePauseSaysSo) {
    Worker w;
    w.Run();
    w.Join();
    ASSERT_EQ(3, w.stage.load());
    // The window asks no question then: the product is installed.
    EXPECT_FALSE(w.stop.Pause());
    EXPECT_FALSE(w.stop.Request());
}

TEST(StopGate, AYesGivenBeforeTheRunBeganStopsItAtItsFirstBoundary) {
    Worker w;
    EXPECT_TRUE(w.stop.Request());
    w.Run();
    w.Join();
    EXPECT_TRUE(w.stopped.load());
    EXPECT_EQ(1, w.stage.load());
}

} // namespace
