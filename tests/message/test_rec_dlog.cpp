#include "message/rec_dlog.h"

#include "platform/framework/message_box.h"
#include "platform/registry.h"
#include "util/reg_settings.h"
#include "message_fixtures.h"
#include "support/alsa_test_device.h"
#include "support/test_support.h"
#include "support/ui_test_util.h"
#include "resources/string_ids.h"

#include <gtest/gtest.h>

#include <QDir>

#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using msgtest::SampleRamp;
using msgtest::SoundSamples;

Bytes Front(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + long(std::min(n, b.size()))); }

// The recording dialog over a test sound device, driven as a user drives it:
// clicks on its buttons, its own timer, and a clock the test moves.
class RecDlogTest : public ::testing::Test {
protected:
    RecDlogTest() : m_alsa(m_input)
    {
        m_sound.Create(11025, 8, 0);
        m_dlg.SetClock([this] { return m_now; });
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        EXPECT_TRUE(uitest::WaitFor([] { return CWave::SharedPlayer().GetQueuedCount() == 0; }));
    }

    // Runs the dialog; steps runs once it is up, and the dialog must end by
    // itself soon after. Returns DoModal's answer.
    INT_PTR Run(std::function<void(CDialog*)> steps)
    {
        CDialog::SetModalObserver([steps](CDialog* d) {
            steps(d);
            if (!uitest::WaitFor([d] { return !d->IsWindowVisible(); })) {
                ADD_FAILURE() << "the dialog is still up";
                d->EndDialog(-2);
            }
        });
        return m_dlg.DoModal();
    }
    // What Enter does: OK, also while the OK button is disabled.
    static void Enter(CDialog* d) { d->SendMessage(WM_COMMAND, IDOK, 0); }
    static void Click(CDialog* d, int id)
    {
        QWidget* button = d->GetDlgItem(id)->m_hWnd;
        uitest::Click(button, button->rect().center());
    }
    static bool Enabled(CDialog* d, int id) { return d->GetDlgItem(id)->IsWindowEnabled(); }
    static std::string Text(CDialog* d) { return d->GetDlgItemText(IDC_REC_TIME); }
    // Waits for the dialog's own timer to show the text.
    static bool Shows(CDialog* d, const std::string& text)
    {
        return uitest::WaitFor([&] { return Text(d) == text; });
    }
    // Records until the take holds the whole input, then stops.
    void RecordInput(CDialog* d)
    {
        Click(d, IDC_REC_RECORD);
        ASSERT_TRUE(m_dlg.IsRecording());
        ASSERT_TRUE(uitest::WaitFor([&] { return m_dlg.GetTake().TotalSamples() >= m_input.size(); }));
        Click(d, IDC_REC_STOP);
        ASSERT_FALSE(m_dlg.IsRecording());
    }
    std::string Total() const
    {
        return CRecDlog::FormatTime(m_dlg.GetTake().TotalSamples() / 11025);
    }

    const Bytes m_input = SampleRamp(30000);
    qrtest::AlsaTestDevice m_alsa;
    int64_t m_now = 5000000;
    CWave m_sound;
    CRecDlog m_dlg{nullptr, &m_sound};
};

TEST(RecDlogTime, HoursMinutesSeconds)
{
    EXPECT_EQ(CRecDlog::FormatTime(0), "00:00:00");
    EXPECT_EQ(CRecDlog::FormatTime(5), "00:00:05");
    EXPECT_EQ(CRecDlog::FormatTime(601), "00:10:01");
    EXPECT_EQ(CRecDlog::FormatTime(3600 + 62), "01:01:02");
}

TEST_F(RecDlogTest, OpensPausedWithNothingToPlayOrKeep)
{
    EXPECT_EQ(Run([](CDialog* d) {
                  EXPECT_EQ(Text(d), "Paused. 1ch 11KHz 8bit Mono 00:00:00/00:00:00");
                  EXPECT_EQ(d->GetWindowText(), "Record");
                  EXPECT_TRUE(Enabled(d, IDC_REC_RECORD));
                  EXPECT_TRUE(Enabled(d, IDCANCEL));
                  for (int id : {int(IDC_REC_PLAY), int(IDC_REC_STOP), int(IDOK)})
                      EXPECT_FALSE(Enabled(d, id)) << id;
                  // Enter does nothing while there is nothing to keep.
                  Enter(d);
                  EXPECT_TRUE(d->IsWindowVisible());
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
}

TEST_F(RecDlogTest, RecordStopAndOkHandTheTakeToTheCaller)
{
    EXPECT_EQ(Run([this](CDialog* d) {
                  Click(d, IDC_REC_RECORD);
                  ASSERT_TRUE(m_dlg.IsRecording());
                  for (int id : {int(IDC_REC_RECORD), int(IDC_REC_PLAY), int(IDOK)})
                      EXPECT_FALSE(Enabled(d, id)) << id;
                  EXPECT_TRUE(Enabled(d, IDC_REC_STOP));
                  m_now += 2600;
                  EXPECT_TRUE(Shows(d, "Recording... 1ch 11KHz 8bit Mono 00:00:03/00:10:00")) << Text(d);
                  ASSERT_TRUE(uitest::WaitFor([&] { return m_dlg.GetTake().TotalSamples() >= m_input.size(); }));
                  Click(d, IDC_REC_STOP);
                  EXPECT_FALSE(m_dlg.IsRecording());
                  EXPECT_EQ(Front(SoundSamples(m_dlg.GetTake()), m_input.size()), m_input);
                  EXPECT_TRUE(Shows(d, "Paused. 1ch 11KHz 8bit Mono 00:00:00/" + Total())) << Text(d);
                  for (int id : {int(IDC_REC_RECORD), int(IDC_REC_PLAY), int(IDOK)})
                      EXPECT_TRUE(Enabled(d, id)) << id;
                  EXPECT_FALSE(Enabled(d, IDC_REC_STOP));
                  QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
                  EXPECT_TRUE(uitest::Grab(d->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/record_dialog.png"));
                  Click(d, IDOK);
              }),
              IDOK);
    const Bytes take = SoundSamples(m_sound);
    EXPECT_EQ(Front(take, m_input.size()), m_input);
    // Saved as the sound comment editor saves it, and read back.
    qrtest::TempDir dir;
    const std::string path = (dir / "New.wav").string();
    ASSERT_TRUE(m_sound.WriteWav(path));
    CWave reopened;
    ASSERT_TRUE(reopened.LoadFile(path.c_str()));
    EXPECT_EQ(SoundSamples(reopened), take);
    EXPECT_EQ(reopened.GetFormat().nSamplesPerSec, 11025u);
    EXPECT_EQ(reopened.GetFormat().wBitsPerSample, 8);
    EXPECT_EQ(reopened.GetFormat().nChannels, 1);
}

TEST_F(RecDlogTest, RecordingStopsByItselfAfterTenMinutesAndOneSecond)
{
    EXPECT_EQ(Run([this](CDialog* d) {
                  Click(d, IDC_REC_RECORD);
                  m_now += 600 * 1000 + 499;
                  EXPECT_TRUE(Shows(d, "Recording... 1ch 11KHz 8bit Mono 00:10:00/00:10:00")) << Text(d);
                  EXPECT_TRUE(m_dlg.IsRecording());
                  m_now += 1;
                  ASSERT_TRUE(uitest::WaitFor([&] { return !m_dlg.IsRecording(); }));
                  EXPECT_GT(m_dlg.GetTake().TotalSamples(), 0u);
                  EXPECT_TRUE(Shows(d, "Paused. 1ch 11KHz 8bit Mono 00:00:00/" + Total())) << Text(d);
                  EXPECT_TRUE(Enabled(d, IDOK));
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(m_sound.TotalSamples(), 0u);
}

TEST_F(RecDlogTest, PlayPausesAndResumesWhilePlaying)
{
    EXPECT_EQ(Run([this](CDialog* d) {
                  RecordInput(d);
                  Click(d, IDC_REC_PLAY);
                  ASSERT_TRUE(m_dlg.IsPlaying());
                  EXPECT_TRUE(Enabled(d, IDC_REC_PLAY));
                  EXPECT_TRUE(Enabled(d, IDC_REC_STOP));
                  EXPECT_FALSE(Enabled(d, IDC_REC_RECORD));
                  EXPECT_FALSE(Enabled(d, IDOK));
                  Click(d, IDC_REC_PLAY);
                  EXPECT_TRUE(m_dlg.GetTake().IsPaused());
                  EXPECT_TRUE(m_dlg.IsPlaying());
                  // One tick of the dialog's timer, two seconds on.
                  m_now += 2000;
                  d->SendMessage(WM_TIMER, 1, 0);
                  EXPECT_EQ(Text(d), "Playing... 1ch 11KHz 8bit Mono 00:00:02/" + Total());
                  Click(d, IDC_REC_PLAY);
                  EXPECT_FALSE(m_dlg.GetTake().IsPaused());
                  ASSERT_TRUE(uitest::WaitFor([&] { return !m_dlg.IsPlaying(); }));
                  EXPECT_TRUE(Shows(d, "Paused. 1ch 11KHz 8bit Mono 00:00:00/" + Total())) << Text(d);
                  EXPECT_TRUE(Enabled(d, IDC_REC_PLAY));
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_GE(m_alsa.Played().size(), m_input.size());
    EXPECT_EQ(Front(m_alsa.Played(), m_input.size()), m_input);
}

TEST_F(RecDlogTest, OkWhileRecordingKeepsTheTake)
{
    EXPECT_EQ(Run([this](CDialog* d) {
                  Click(d, IDC_REC_RECORD);
                  ASSERT_TRUE(uitest::WaitFor([&] { return m_dlg.GetTake().TotalSamples() >= m_input.size(); }));
                  EXPECT_FALSE(Enabled(d, IDOK));
                  Enter(d);
              }),
              IDOK);
    EXPECT_FALSE(m_dlg.IsRecording());
    EXPECT_EQ(Front(SoundSamples(m_sound), m_input.size()), m_input);
    EXPECT_EQ(m_sound.TotalSamples(), m_dlg.GetTake().TotalSamples());
}

TEST_F(RecDlogTest, OkWhilePlayingKeepsTheTakeOncePlaybackHasStopped)
{
    EXPECT_EQ(Run([this](CDialog* d) {
                  RecordInput(d);
                  Click(d, IDC_REC_PLAY);
                  ASSERT_TRUE(m_dlg.IsPlaying());
                  Enter(d);
                  // The dialog ends when the stopped playback is done.
                  EXPECT_TRUE(m_dlg.IsPlaying());
                  EXPECT_TRUE(d->IsWindowVisible());
              }),
              IDOK);
    EXPECT_EQ(Front(SoundSamples(m_sound), m_input.size()), m_input);
}

TEST_F(RecDlogTest, CancelDuringPlaybackEndsOncePlaybackHasStoppedAndKeepsNothing)
{
    EXPECT_EQ(Run([this](CDialog* d) {
                  RecordInput(d);
                  Click(d, IDC_REC_PLAY);
                  Click(d, IDCANCEL);
                  EXPECT_TRUE(d->IsWindowVisible());
              }),
              IDCANCEL);
    EXPECT_FALSE(m_dlg.IsPlaying());
    EXPECT_EQ(m_sound.TotalSamples(), 0u);
}

TEST_F(RecDlogTest, DeviceThatCannotRecordIsSaid)
{
    qrtest::TempDir settings;
    CRegistryStore store(settings.path(), settings / "machine");
    struct StoreInUse {
        explicit StoreInUse(CRegistryStore& s) { SetRegistryStore(&s); }
        ~StoreInUse() { SetRegistryStore(nullptr); }
    } inUse(store);
    RegWriteString(IDS_REG_PREFERENCE, "SoundDevice", "qr_no_microphone");
    std::vector<std::string> boxes;
    MessageBoxHandler old = SetMessageBoxHandler([&](const std::string& text, UINT, UINT) {
        boxes.push_back(text);
        return IDOK;
    });
    EXPECT_EQ(Run([this](CDialog* d) {
                  Click(d, IDC_REC_RECORD);
                  EXPECT_FALSE(m_dlg.IsRecording());
                  EXPECT_TRUE(Enabled(d, IDC_REC_RECORD));
                  EXPECT_FALSE(Enabled(d, IDOK));
                  Click(d, IDCANCEL);
              }),
              IDCANCEL);
    SetMessageBoxHandler(old);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("The sound device cannot be used."), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find("qr_no_microphone"), std::string::npos) << boxes[0];
}

} // namespace
