// A message as a web page: the page's bytes, the side files and their names,
// escaping, the folder it may write to, cancelling, the replace question and
// failures; the page as a browser shows it.
#include "message_doc_fixture.h"

#include "message/picture_jpeg.h"
#include "message/web_page.h"
#include "message/web_page_save_dlog.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace msgtest;

namespace {

std::string Text(const fs::path& p)
{
    const auto bytes = qrtest::ReadBytes(p);
    return std::string(bytes.begin(), bytes.end());
}

CAreaMarquee Square(int l, int t, int r, int b) { return CAreaMarquee(CRect(l, t, r, b), CAreaMarquee::square); }

CAnoRecord Sound(const std::string& name)
{
    CAnoRecord r = SoundRecord(WaveBytes(32), CAreaMarquee());
    r.SetContentString(name);
    return r;
}

std::vector<uint8_t> JpegOf(int w, int h)
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(msgjpeg::Encode(MakePicture(w, h), 90, out));
    return out;
}

// Runs the installed Chromium headless on a page; false when it did not end
// well. Each run has a profile of its own, so that runs beside each other
// (ctest -j) never share one.
bool Chromium(const QStringList& args, QByteArray* output = nullptr)
{
    const QString exe = QStandardPaths::findExecutable("chromium");
    if (exe.isEmpty())
        return false;
    qrtest::TempDir profile;
    QProcess p;
    p.start(exe, QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                             "--user-data-dir=" + QString::fromStdString(profile.path().string())} +
                     args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class WebPageTest : public MessageDocTest {
protected:
    // The message saved by the document and opened again, as the view hands it over.
    const CAPhotoContent& Reopened(const std::string& title, const std::vector<std::pair<int, CAnoRecord>>& comments,
                                   int w = 120, int h = 80)
    {
        const std::string path = SaveMessage("m.kvt", title, w, h, comments);
        EXPECT_TRUE(doc->OpenByName(path, FALSE, TRUE));
        return doc->GetContent();
    }
    webpage::Result Write(const CAPhotoContent& content, std::function<bool()> stop = {})
    {
        fs::create_directories(out);
        std::atomic<uint32_t> total{0}, done{0};
        webpage::Result r = webpage::WritePage(content.GetImage(), content, out.string(), 90, stop, total, done);
        EXPECT_LE(done.load(), total.load());
        return r;
    }
    fs::path out = dir / "web";
};

} // namespace

TEST_F(WebPageTest, TripExampleByteForByteWithItsSideFilesAndAsABrowserShowsIt)
{
    const CAPhotoContent& content =
        Reopened("Trip", {{0, TextRecord("Lake at dawn", Square(10, 20, 70, 60))}, {1, Sound("voice.wav")}});
    const webpage::Result r = Write(content);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.failedPath, "");

    const std::string expected = "<HTML>\r\n<HEAD>\r\n"
                                 "<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\r\n"
                                 "<TITLE></TITLE>\r\n</HEAD>\r\n<BODY>\r\n"
                                 "Trip_000.jpg<br>\r\n<IMG SRC=\"./Trip_000.jpg\">\r\n<br>\r\n<hr>\r\n"
                                 "Trip_001.jpg<br>\r\n<IMG SRC=\"./Trip_001.jpg\">\r\n<br>\r\n"
                                 "1. Lake at dawn<br>\r\n<hr>\r\n"
                                 "<A HREF=\"./Trip_001_001.wav\">1-1. Trip_001_001.wav</A>\r\n<br>\r\n"
                                 "voice.wav<br>\r\n<hr>\r\n"
                                 "</BODY>\r\n</HTML>\r\n";
    EXPECT_EQ(Text(out / "Trip.htm"), expected);
    EXPECT_EQ(qrtest::FolderNames(out),
              (std::vector<std::string>{"Trip.htm", "Trip_000.jpg", "Trip_001.jpg", "Trip_001_001.wav"}));

    // The photograph whole, the area as marked, the sound as it was attached.
    for (const auto& [name, w, h] : {std::tuple{"Trip_000.jpg", 120, 80}, std::tuple{"Trip_001.jpg", 60, 40}}) {
        const auto bytes = qrtest::ReadBytes(out / name);
        CImageBuffer decoded;
        msgjpeg::Decode(bytes.data(), bytes.size(), decoded);
        EXPECT_EQ(decoded.GetWidth(), w) << name;
        EXPECT_EQ(decoded.GetHeight(), h) << name;
    }
    const auto wave = WaveBytes(32);
    EXPECT_EQ(qrtest::ReadBytes(out / "Trip_001_001.wav"), std::vector<unsigned char>(wave.begin(), wave.end()));

    QR_SKIP_WITHOUT_PROGRAM("chromium");
    const QString shot = QString(QR_TEST_BUILD_DIR) + "/screenshots/web_page_trip.png";
    QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
    QFile::remove(shot);
    ASSERT_TRUE(Chromium({"--window-size=640,480", "--screenshot=" + shot,
                          QString::fromStdString("file://" + (out / "Trip.htm").string())}));
    QImage img(shot);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(640, 480));
}

TEST_F(WebPageTest, CommentTextIsTextAndTheTitleNeverLeavesTheFolder)
{
    const CAPhotoContent& content =
        Reopened("../x", {{0, TextRecord("<b>&\nsecond \"line\"", Square(0, 0, 20, 20))}});
    Write(content);
    // Nothing beside the chosen folder; the page keeps its name visible.
    EXPECT_EQ(qrtest::FolderNames(dir.path()), (std::vector<std::string>{"m.kvt", "web"}));
    const std::string page = Text(out / "___x.htm");
    EXPECT_NE(page.find("1. &lt;b&gt;&amp;<br>\r\nsecond &quot;line&quot;<br>\r\n"), std::string::npos) << page;
    EXPECT_NE(page.find("<IMG SRC=\"./___x_001.jpg\">"), std::string::npos);

    // The browser sees text, not markup.
    QR_SKIP_WITHOUT_PROGRAM("chromium");
    QByteArray dom;
    ASSERT_TRUE(Chromium({"--dump-dom", QString::fromStdString("file://" + (out / "___x.htm").string())}, &dom));
    EXPECT_TRUE(dom.contains("1. &lt;b&gt;&amp;")) << dom.toStdString();
    EXPECT_FALSE(dom.contains("<b>"));
}

TEST_F(WebPageTest, NamesAddressesAndNumbersOfEveryKind)
{
    const auto jpeg = JpegOf(30, 20);
    auto image = [&](const std::string& name) {
        CAnoRecord r = ImageRecord(jpeg, Square(2, 2, 12, 12));
        r.SetContentString(name);
        return r;
    };
    // Group 3 holds an image and a sound; the second group's replies go three deep.
    const CAPhotoContent& content = Reopened("",
        {{0, TextRecord("one", Square(0, 0, 10, 10))},
         {0, TextRecord("two\nlines", Square(5, 5, 15, 15))},
         {1, TextRecord("r", CAreaMarquee())},
         {2, TextRecord("rr", CAreaMarquee())},
         {3, TextRecord("rrr", CAreaMarquee())},
         {0, image("p.jpg")},
         {1, Sound("s.wav")},
         {1, image("q.jpg")}});
    Write(content);
    EXPECT_EQ(qrtest::FolderNames(out),
              (std::vector<std::string>{"ANO.htm", "ANO_000.jpg", "ANO_001.jpg", "ANO_002.jpg", "ANO_003.jpg",
                                        "ANO_003_001.jpg", "ANO_003_001.wav", "ANO_003_002.jpg"}));
    EXPECT_EQ(webpage::TargetNames(content),
              (std::vector<std::string>{"ANO.htm", "ANO_000.jpg", "ANO_001.jpg", "ANO_002.jpg", "ANO_003.jpg",
                                        "ANO_003_001.jpg", "ANO_003_001.wav", "ANO_003_002.jpg"}));
    const std::string page = Text(out / "ANO.htm");
    for (const char* piece : {"2. two<br>\r\nlines<br>\r\n", "2-1-1-1. rrr<br>\r\n",
                              "3. ANO_003_001.jpg<br>\r\np.jpg<br>\r\n<IMG SRC=\"./ANO_003_001.jpg\">\r\n<br>\r\n",
                              "<A HREF=\"./ANO_003_001.wav\">3-1. ANO_003_001.wav</A>",
                              "3-2. ANO_003_002.jpg<br>\r\n"})
        EXPECT_NE(page.find(piece), std::string::npos) << piece;
    EXPECT_EQ(qrtest::ReadBytes(out / "ANO_003_002.jpg"), std::vector<unsigned char>(jpeg.begin(), jpeg.end()));

    // Addresses carry any name a title may give.
    CMemFile f;
    webpage::HtmlImage(f, ".", "Caf\xC3\xA9 #1 50%.jpg");
    EXPECT_EQ(std::string(f.Data().begin(), f.Data().end()), "<IMG SRC=\"./Caf%C3%A9%20%231%2050%25.jpg\">\r\n");

    // Depths past the deepest count as the deepest.
    webpage::CNestingNumber n;
    EXPECT_EQ(n.Next(0), "1.");
    EXPECT_EQ(n.Next(9), "1-0-0-0-0-0-0-1.");
    EXPECT_EQ(n.Next(-3), "2.");
}

TEST_F(WebPageTest, AMessageWithoutCommentsAndACancelledSaveStillEndTheirPage)
{
    const std::string tail = "<IMG SRC=\"./p_000.jpg\">\r\n<br>\r\n<hr>\r\n</BODY>\r\n</HTML>\r\n";
    Write(Reopened("p", {}));
    const std::string empty = Text(out / "p.htm");
    EXPECT_EQ(empty.substr(empty.size() - tail.size()), tail);

    fs::remove_all(out);
    const webpage::Result r = Write(Reopened("p", {{0, TextRecord("a", Square(0, 0, 8, 8))}}), [] { return true; });
    EXPECT_FALSE(r.complete);
    const std::string cancelled = Text(out / "p.htm");
    EXPECT_EQ(cancelled.substr(cancelled.size() - tail.size()), tail);
    EXPECT_EQ(qrtest::FolderNames(out), (std::vector<std::string>{"p.htm", "p_000.jpg"}));
}

TEST_F(WebPageTest, TheCommandAsksBeforeReplacingAndSaysWhatItCouldNotWrite)
{
    const CAPhotoContent& content = Reopened("t", {{0, TextRecord("a", Square(0, 0, 8, 8))}});
    fs::create_directories(out);
    qrtest::WriteBytes(out / "t_001.jpg", {'o', 'l', 'd'});

    answers = {IDCANCEL};
    EXPECT_FALSE(SaveMessageAsWebPage(view, content.GetImage(), content, out.string()));
    EXPECT_EQ(boxes, std::vector<std::string>{"File already exists. Replace?"});
    EXPECT_EQ(qrtest::FolderNames(out), std::vector<std::string>{"t_001.jpg"});

    boxes.clear();
    EXPECT_TRUE(SaveMessageAsWebPage(view, content.GetImage(), content, out.string()));
    EXPECT_EQ(boxes, std::vector<std::string>{"File already exists. Replace?"});
    EXPECT_EQ(qrtest::FolderNames(out), (std::vector<std::string>{"t.htm", "t_000.jpg", "t_001.jpg"}));
    EXPECT_NE(qrtest::ReadBytes(out / "t_001.jpg").size(), 3u);

    // A read-only target ends the command before anything is written.
    boxes.clear();
    const auto pageBefore = qrtest::ReadBytes(out / "t.htm");
    fs::permissions(out / "t.htm", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_FALSE(SaveMessageAsWebPage(view, content.GetImage(), content, out.string()));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Said("This is a file only for reading. " + (out / "t.htm").string()));
    EXPECT_EQ(qrtest::ReadBytes(out / "t.htm"), pageBefore);

    // A folder that cannot take the files is reported, with the file and the reason.
    boxes.clear();
    EXPECT_FALSE(SaveMessageAsWebPage(view, content.GetImage(), content, (dir / "gone").string()));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(Said("Unable to save file. \n" + (dir / "gone" / "t_000.jpg").string() + "\n"));
}
