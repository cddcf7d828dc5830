// Loading a folder into the item store behind the progress dialog: pictures
// with their voice notes, the remaining sounds, the sort; cancelling; the
// merge of what is new.
#include "browser_fixture.h"

#include "browser/folder_scan.h"
#include "browser/sort_key.h"
#include "platform/gcc_warnings.h"

#include <QImage>
#include <QWidget>

#include <atomic>

using qrtest::BrowserTest;

namespace {

std::vector<uint8_t> GreyJpeg(int w, int h)
{
    std::vector<uint8_t> rows(size_t(w) * size_t(h), 128), out;
    size_t n = 0;
    JpegEncode(rows.data(), 14, false, w, h, 90, 72, 72, 0, nullptr, 0, nullptr, 0, out, &n, nullptr, size_t(w));
    return out;
}

// A paletted drawing: a picture the importers read that the browser does not show.
void WriteDrawing(const std::filesystem::path& path)
{
    QImage drawing(8, 8, QImage::Format_Indexed8);
    drawing.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    drawing.fill(1);
    ASSERT_TRUE(drawing.save(QString::fromStdString(path.string()), "BMP"));
}

void Scan(const std::string& folder, int mode, bool descending, std::function<bool()> stop = {})
{
    std::atomic<uint32_t> total{0}, done{0};
    CFolderScanDlog::ScanFolder(folder, mode, descending, stop, total, done);
    EXPECT_LE(done.load(), total.load());
}

} // namespace

TEST_F(BrowserTest, ScanPairsPicturesWithTheirVoiceNotesBehindTheDialog)
{
    Jpeg("IMG_0001.JPG");
    qrtest::WriteBytes(Pics() / "img_0001.wav", {'R', 'I', 'F', 'F'});
    qrtest::WriteBytes(Pics() / "memo.WAV", {'R', 'I', 'F', 'F'});
    qrtest::WriteBytes(Pics() / "x.txt", {'x'});
    qrtest::WriteBytes(Pics() / ".hidden.jpg", qrtest::JpegBytes(8, 8));
    std::filesystem::create_directories(Pics() / "sub.jpg");
    qrtest::WriteBytes(Pics() / "sub.jpg" / "inner.jpg", qrtest::JpegBytes(8, 8));
    SetCurrentIndex(0);

    CFolderScanDlog dlg(nullptr, Pics().string(), kSortByFoundOrder, FALSE);
    bool cancelEnabled = false;
    QColor barBack;
    CDialog::SetModalObserver([&](CDialog* d) {
        cancelEnabled = d->GetDlgItem(IDCANCEL)->IsWindowEnabled();
        barBack = d->GetDlgItem(IDC_PROGRESS_BAR)->m_hWnd->palette().color(QPalette::Base);
    });
    const INT_PTR result = dlg.DoModal();
    CDialog::SetModalObserver(nullptr);
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(cancelEnabled);
    EXPECT_EQ(barBack, QColor(212, 255, 255)); // the scheme's colour 4
    EXPECT_EQ(dlg.m_nTotal.load(), 3u); // one picture, two sounds
    EXPECT_EQ(dlg.m_nDone.load(), 3u);

    ASSERT_EQ(Names(), (std::vector<std::string>{"IMG_0001.JPG", "memo.WAV"}));
    // The voice note keeps the name it has on disk.
    EXPECT_EQ(GetItemSoundPath(0), Pic("img_0001.wav"));
    EXPECT_EQ(GetItemSoundPath(1), "");
    EXPECT_EQ(GetFileItem(-1), GetSharedEmptyItem()); // no item current after a load
    EXPECT_GE(GetItemFileTime(1), 0);
}

TEST_F(BrowserTest, ScanDropsWhatTheBrowserDoesNotShowAndSortsAsAsked)
{
    Jpeg("b.jpg", 64, 48);
    Jpeg("A.jpg", 64, 48);
    Jpeg("c.JPEG", 64, 48);
    // A greyscale photograph is a photograph; a paletted drawing is not shown.
    qrtest::WriteBytes(Pics() / "grey.jpg", GreyJpeg(16, 16));
    WriteDrawing(Pics() / "drawing.bmp");
    qrtest::WriteBytes(Pics() / "broken.jpg", {0xFF, 0xD8, 0xFF});
    qrtest::WriteBytes(Pics() / "song.wav", {'R'});
    Scan(Pics().string(), kSortByName, true);
    EXPECT_EQ(Names(), (std::vector<std::string>{"song.wav", "grey.jpg", "c.JPEG", "b.jpg", "A.jpg"}));
    // Names as found: the list indexes count only accepted files.
    SortFileItems(kSortByFoundOrder, false);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A.jpg", "b.jpg", "c.JPEG", "grey.jpg", "song.wav"}));
    // The information is read only for the orders that need it.
    EXPECT_FALSE(GetFileItem(0)->m_bInfoRead);
    Scan(Pics().string(), kSortByKind, false);
    EXPECT_TRUE(GetFileItem(0)->m_bInfoRead);
    // An empty folder gives an empty store; a folder that is not there too.
    Scan((m_dir / "nothing").string(), kSortByName, false);
    EXPECT_EQ(GetFileItemCount(), 0);
}

// GCC 12 sees overlapping copies in "text" + std::string, inlined: a false -Wrestrict.
QR_GCC_IGNORE_BEGIN("-Wrestrict")
TEST_F(BrowserTest, PairedSoundsStillCountForTheThumbnailMode)
{
    for (int i = 0; i < 200; ++i) {
        const std::string stem = "P" + std::to_string(1000 + i);
        qrtest::WriteBytes(Pics() / (stem + ".jpg"), qrtest::JpegBytes(8, 8));
        qrtest::WriteBytes(Pics() / (stem + (i % 2 ? ".WAV" : ".wav")), {'R'});
    }
    Scan(Pics().string(), kSortByName, false);
    EXPECT_EQ(GetFileItemCount(), 200);
    EXPECT_FALSE(IsThumbnailMemoryMode()); // prepared for 400
    for (int i : {0, 199})
        EXPECT_FALSE(GetItemSoundPath(i).empty());
}
QR_GCC_IGNORE_END

TEST_F(BrowserTest, CancelStopsAfterThePictureAndLeavesAConsistentStore)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        Jpeg(name);
    WriteDrawing(Pics() / "b2.bmp"); // refused, third in folder order
    qrtest::WriteBytes(Pics() / "a.wav", {'R'});
    qrtest::WriteBytes(Pics() / "zz.wav", {'R'});
    int asked = 0;
    Scan(Pics().string(), kSortByName, true, [&] { return ++asked == 3; });
    // Pictures accepted among the first three, in folder order, unsorted, no sounds.
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(GetItemSoundPath(0), Pic("a.wav"));
    for (int i = 0; i < GetFileItemCount(); ++i)
        EXPECT_EQ(GetFileItem(i)->m_nListIndex, i);
    // The store takes a thumbnail and sorts as ever.
    SortFileItems(kSortByName, true);
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.jpg", "a.jpg"}));
}

TEST_F(BrowserTest, MergeAddsOnlyWhatIsNew)
{
    Jpeg("a.jpg");
    Jpeg("b.jpg");
    Scan(Pics().string(), kSortByName, false);
    ASSERT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    // New: a voice note for b, a picture named like a in another case (another
    // file here), a picture with its note, a lone sound and a file nothing shows.
    qrtest::WriteBytes(Pics() / "b.WAV", {'R'});
    Jpeg("A.JPG");
    Jpeg("new.jpg");
    qrtest::WriteBytes(Pics() / "NEW.wav", {'R'});
    qrtest::WriteBytes(Pics() / "lone.wav", {'R'});
    WriteDrawing(Pics() / "drawing.bmp");
    SetCurrentIndex(1);
    ScanFolderSoundFiles(Pics().string());
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.jpg", "b.jpg", "A.JPG", "new.jpg", "lone.wav"}));
    EXPECT_EQ(GetItemSoundPath(0), "");
    EXPECT_EQ(GetItemSoundPath(1), Pic("b.WAV"));
    EXPECT_EQ(GetItemSoundPath(2), "");
    EXPECT_EQ(GetItemSoundPath(3), Pic("NEW.wav"));
    EXPECT_EQ(GetCurrentIndex(), 1);
    for (int i = 0; i < GetFileItemCount(); ++i)
        EXPECT_EQ(GetFileItem(i)->m_nListIndex, i);
    ScanFolderSoundFiles(Pics().string());
    EXPECT_EQ(GetFileItemCount(), 5);
}

TEST(SoundList, TakesTheFirstNoteInAnyCaseOnce)
{
    CSoundList sounds({"/p/IMG.wav", "/p/img.WAV", "/p/other.wav"});
    EXPECT_EQ(sounds.Take("/p/img.wav"), "/p/IMG.wav");
    EXPECT_EQ(sounds.Take("/p/IMG.WAV"), "/p/img.WAV");
    EXPECT_EQ(sounds.Take("/p/IMG.WAV"), "");
    EXPECT_EQ(sounds.Remaining(), (std::vector<std::string>{"/p/other.wav"}));
    EXPECT_EQ(sounds.RemainingCount(), 1u);
}
