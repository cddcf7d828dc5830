#include "ui/progress_dlog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// Waits, with a bound, until the flag is set (the worker's side of a test).
bool WaitFlag(const std::atomic<bool>& flag)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!flag && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag;
}

struct Job {
    std::atomic<bool> go{false};
    std::atomic<int> runs{0};
    std::atomic<bool> finishedWork{false};
};
Job* g_job = nullptr;

UINT WaitForGo(void* p)
{
    ++g_job->runs;
    WaitFlag(g_job->go);
    g_job->finishedWork = true;
    return 0;
}

UINT WaitForCancelThenFinish(void* p)
{
    auto* dlg = static_cast<CProgressDlog*>(p);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!dlg->m_bCancel && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_job->finishedWork = true;
    return 0;
}

UINT Throws(void*) { throw std::runtime_error("job failed"); }

class ProgressDlogTest : public ::testing::Test {
protected:
    void SetUp() override { g_job = &m_job; }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        g_job = nullptr;
    }
    Job m_job;
};

TEST(ProgressEstimate, RemainingTimeAndItsLabel)
{
    struct Row {
        uint32_t elapsed, total, done;
        int64_t remaining;
        const char* label;
    } rows[] = {
        {25000, 100, 10, 225000, "About 4 minutes remaining"},
        {46000, 2, 1, 46000, "About 50 seconds remaining"},
        {2000, 2, 1, 2000, "About 5 seconds remaining"},
        {10999, 2, 1, 10999, "About 10 seconds remaining"},
        {30999, 2, 1, 30999, "About 30 seconds remaining"},
        {31000, 2, 1, 31000, "About 40 seconds remaining"},
        {51000, 2, 1, 51000, "About 1 minutes remaining"},
        // 32-bit arithmetic would wrap here; the estimate is clamped instead.
        {4000000000u, 0xFFFFFFFFu, 1, 0x7FFFFFFF, "About 35792 minutes remaining"},
        {1000, 10, 10, 0, "About 5 seconds remaining"},
        {1000, 10, 0, 0, "About 5 seconds remaining"},
    };
    for (const Row& r : rows) {
        int64_t ms = CProgressDlog::RemainingMs(r.elapsed, r.total, r.done);
        EXPECT_EQ(ms, r.remaining) << r.elapsed << " " << r.total << " " << r.done;
        EXPECT_EQ(CProgressDlog::FormatRemaining(ms), r.label) << ms;
    }
}

TEST_F(ProgressDlogTest, WithoutWorkerClosesWithOk)
{
    CProgressDlog dlg(IDD_PROGRESS_LOAD, nullptr, nullptr);
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(ProgressDlogTest, CancelThenFinishGivesCancelAndTheThreadIsJoined)
{
    CProgressDlog dlg(IDD_PROGRESS_SAVE, WaitForCancelThenFinish, nullptr);
    CDialog::SetModalObserver([](CDialog* d) {
        d->GetDlgItem(IDCANCEL)->EnableWindow(TRUE);
        d->SendMessage(WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(d->GetDlgItemText(IDC_PROGRESS_STATUS), "Operation has been canceled as requested.");
        EXPECT_FALSE(d->GetDlgItem(IDCANCEL)->IsWindowEnabled());
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(m_job.finishedWork);
}

TEST_F(ProgressDlogTest, ThrowingJobStillClosesTheDialog)
{
    CProgressDlog dlg(IDD_PROGRESS_SAVE, Throws, nullptr);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
}

TEST_F(ProgressDlogTest, EscapeLeavesAJobWithoutCancelButtonAlone)
{
    CProgressDlog dlg(IDD_PROGRESS_LOAD, WaitForGo, nullptr);
    CDialog::SetModalObserver([this, &dlg](CDialog* d) {
        d->GetDlgItem(IDCANCEL)->ShowWindow(SW_HIDE);
        d->SendMessage(WM_COMMAND, IDCANCEL, 0);
        EXPECT_FALSE(dlg.m_bCancel);
        m_job.go = true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
}

TEST_F(ProgressDlogTest, JobRunsOnceHoweverOftenTheDialogIsShown)
{
    CProgressDlog dlg(IDD_PROGRESS_LOAD, WaitForGo, nullptr);
    CDialog::SetModalObserver([this](CDialog* d) {
        d->ShowWindow(SW_HIDE);
        d->ShowWindow(SW_SHOW);
        m_job.go = true;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(m_job.runs, 1);
}

TEST_F(ProgressDlogTest, NextDialogOpensWhereTheLastOneClosed)
{
    CProgressDlog::ResetLastPosition();
    {
        CProgressDlog first(IDD_PROGRESS_LOAD, nullptr, nullptr);
        CDialog::SetModalObserver([](CDialog* d) {
            CRect r;
            d->GetWindowRect(&r);
            d->MoveWindow(r.left + 17, r.top + 9, r.Width(), r.Height());
        });
        first.DoModal();
    }
    POINT last = CProgressDlog::GetLastPosition();
    ASSERT_NE(last.x, -99999);
    CPoint seen;
    CProgressDlog second(IDD_PROGRESS_LOAD, nullptr, nullptr);
    CDialog::SetModalObserver([&seen](CDialog* d) {
        CRect r;
        d->GetWindowRect(&r);
        seen = r.TopLeft();
    });
    second.DoModal();
    EXPECT_EQ(seen.x, last.x);
    EXPECT_EQ(seen.y, last.y);
}

} // namespace
