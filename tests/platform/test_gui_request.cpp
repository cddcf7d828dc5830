#include "platform/gui_request.h"

#include "support/test_support.h"
#include "support/watchdog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace {

// Handles the GUI thread's events until done says so, for at most ten seconds.
template <typename Done>
bool ProcessEventsUntil(Done done)
{
    QDeadlineTimer bound(10000);
    while (!done() && !bound.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

TEST(GuiRequests, AWorkersQuestionIsAnsweredOnTheGuiThread)
{
    CGuiRequests gui;
    std::atomic<bool> finished{false};
    std::optional<int> answer;
    bool onGui = false;
    std::thread worker([&] {
        CGuiRequests::Scope scope(gui);
        answer = AskGuiThread([&] {
            onGui = QThread::currentThread() == QCoreApplication::instance()->thread();
            return 42;
        });
        finished = true;
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(answer, 42);
    EXPECT_TRUE(onGui);
}

// The owner cancels and joins without handling a single event: the waiting
// worker wakes with no answer, and the question it left is never asked.
TEST(GuiRequests, CancelWakesTheWaitingWorkerAndDropsItsQuestion)
{
    qrtest::Watchdog watchdog("a worker waiting for the GUI thread was not woken by Cancel");
    CGuiRequests gui;
    std::atomic<bool> asking{false}, asked{false};
    std::optional<int> answer = 1;
    std::thread worker([&] {
        asking = true;
        answer = gui.Ask([&] {
            asked = true;
            return 7;
        });
    });
    while (!asking)
        std::this_thread::yield();
    gui.Cancel();
    worker.join();
    EXPECT_EQ(answer, std::nullopt);
    QCoreApplication::processEvents();
    EXPECT_FALSE(asked);
    EXPECT_EQ(gui.Ask([] { return 3; }), 3) << "the GUI thread itself is never turned away";
}

TEST(GuiRequests, AWorkerThatMustNotWaitGoesOnAndFindsTheWorkDoneLater)
{
    CGuiRequests gui;
    gui.SetWaits(false);
    std::atomic<bool> made{false};
    std::optional<int> answer = 1;
    std::thread worker([&] {
        answer = gui.Ask([&] {
            made = true;
            return 5;
        });
    });
    worker.join(); // returns without a single event handled
    EXPECT_EQ(answer, std::nullopt);
    EXPECT_TRUE(ProcessEventsUntil([&] { return made.load(); }));
}

} // namespace
