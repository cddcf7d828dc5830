// Two real copies of the program: the second hands its file to the first.
#include "platform/instance.h"
#include "platform/registry.h"
#include "ui/app_shared.h"
#include "support/scratch_process.h"
#include "support/test_support.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>

namespace {

const char* const kProgram = QR_BIN_DIR "/quiram-relayo";
const char* const kLockName = "Tessaly.QX";

size_t CountMainWindows(const std::vector<InstanceWindow>& windows)
{
    return size_t(std::count_if(windows.begin(), windows.end(), [](const InstanceWindow& w) {
        return w.className.rfind("Afx:", 0) == 0 && w.title.find("Quiram Relayo") != std::string::npos;
    }));
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* d : {"rt", "config", "data", "cache", "home"})
            std::filesystem::create_directories(m_dir / d);
        std::filesystem::permissions(m_dir / "rt", std::filesystem::perms::owner_all);
        m_savedRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
        setenv("XDG_RUNTIME_DIR", (m_dir / "rt").c_str(), 1);
    }

    void TearDown() override
    {
        for (auto& p : m_running) {
            p->kill();
            p->waitForFinished(10000);
        }
        setenv("XDG_RUNTIME_DIR", m_savedRuntime.c_str(), 1);
    }

    QProcessEnvironment Environment() const { return qrtest::ScratchProcessEnvironment(m_dir.path()); }

    QProcess* Start(const QStringList& args)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(Environment());
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(kProgram, args);
        EXPECT_TRUE(p->waitForStarted(10000));
        m_running.push_back(std::move(p));
        return m_running.back().get();
    }

    // A later start: it must end by itself, successfully, within the bound.
    void RunSecond(const QStringList& args, int boundMs = 60000)
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(kProgram, args);
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_TRUE(p.waitForFinished(boundMs));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }

    // The running copy's windows, once it answers (it answers when its main window is up).
    std::vector<InstanceWindow> Windows()
    {
        CInstanceClient client(kLockName);
        std::vector<InstanceWindow> out;
        EXPECT_TRUE(client.Connect(30000));
        EXPECT_TRUE(client.ListWindows(out, 60000));
        return out;
    }

    // Waits, with a bound, until a window title holds the text.
    bool WaitForTitle(const std::string& text)
    {
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            for (const InstanceWindow& w : Windows())
                if (w.title.find(text) != std::string::npos)
                    return true;
            QThread::msleep(50);
        }
        return false;
    }

    // Waits, with a bound, until the running copy shows its one main window:
    // on a busy machine the splash may still be up, or the title not yet set.
    bool WaitForOneMainWindow()
    {
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            if (CountMainWindows(Windows()) == 1)
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    std::string HandedOverValue()
    {
        CRegistryStore store(m_dir / "config" / "Quiram", m_dir / "config" / "Quiram");
        auto v = store.QueryValue(HKEY_CURRENT_USER, "SOFTWARE\\Quiram\\7321\\Preference", "ExOpenFile");
        if (!v)
            return {};
        std::string s(v->data.begin(), v->data.end());
        return s.c_str();
    }

    std::string MakeMessageFile(const std::string& name)
    {
        // A real message: a damaged one would not open.
        std::filesystem::copy_file(qrtest::DataPath("message_golden.kvt"), m_dir / name);
        return (m_dir / name).string();
    }

    qrtest::TempDir m_dir;
    std::string m_savedRuntime;
    std::vector<std::unique_ptr<QProcess>> m_running;
};

TEST_F(SingleInstanceTest, SecondStartHandsItsFileToTheRunningCopy)
{
    Start({});
    ASSERT_TRUE(WaitForOneMainWindow());

    // Without a file the second start only brings the first to the front:
    // nothing is handed over and no message window opens.
    RunSecond({});
    EXPECT_EQ(HandedOverValue(), "");
    for (const InstanceWindow& w : Windows())
        EXPECT_EQ(w.title.find(".kvt"), std::string::npos) << w.title;
    EXPECT_EQ(CountMainWindows(Windows()), 1u);

    std::string file = MakeMessageFile("handed over.kvt");
    RunSecond({QString::fromStdString(file)});
    EXPECT_EQ(HandedOverValue(), file);
    EXPECT_TRUE(WaitForTitle("handed over.kvt"));
    EXPECT_EQ(CountMainWindows(Windows()), 1u);
}

TEST_F(SingleInstanceTest, TheRunningCopyAnswersAtOnceAndShowsItsBoxOnItsOwn)
{
    auto boxes = [this] {
        const std::vector<InstanceWindow> windows = Windows();
        return std::count_if(windows.begin(), windows.end(),
                             [](const InstanceWindow& w) { return w.className == "Qt:QMessageBox"; });
    };
    Start({});
    ASSERT_TRUE(WaitForOneMainWindow());
    // A start that waited for the box below would still be waiting when its
    // own answer time ran out, and would then show a box of its own.
    const int bound = kInstanceAnswerTimeoutMs / 2;
    RunSecond({QString::fromStdString((m_dir / "gone.jpg").string())}, bound);
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && boxes() == 0)
        QThread::msleep(20);
    ASSERT_EQ(boxes(), 1);
    // While that box is up (nobody answers it here), later starts are
    // answered too; their own reports wait for it instead of stacking on it.
    RunSecond({QString::fromStdString((m_dir / "missing.kvt").string())}, bound);
    RunSecond({}, bound);
    EXPECT_EQ(boxes(), 1);
}

TEST_F(SingleInstanceTest, StartDuringTheFirstsStartUpIsQueuedNotDropped)
{
    std::string file = MakeMessageFile("early.kvt");
    Start({});
    // The socket is made right after the lock, before the splash: the first
    // copy is still starting when the second one comes.
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && !std::filesystem::exists(m_dir / "rt" / "Tessaly.QX.socket"))
        QThread::msleep(5);
    RunSecond({QString::fromStdString(file)});
    EXPECT_TRUE(WaitForTitle("early.kvt"));
}

TEST_F(SingleInstanceTest, KilledCopyLeavesNoLockBehind)
{
    QProcess* first = Start({});
    ASSERT_TRUE(WaitForOneMainWindow());
    ::kill(pid_t(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(10000));

    // The kernel freed the lock; the stale socket file is replaced.
    Start({});
    ASSERT_TRUE(WaitForOneMainWindow());
    std::string file = MakeMessageFile("after kill.kvt");
    RunSecond({QString::fromStdString(file)});
    EXPECT_TRUE(WaitForTitle("after kill.kvt"));
}

} // namespace
