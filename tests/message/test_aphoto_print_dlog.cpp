#include "message_doc_fixture.h"

#include "message/aphoto_metafile.h"
#include "platform/framework/document.h"
#include "message/aphoto_print_dlog.h"
#include "message/aphoto_tree.h"
#include "platform/framework/controls.h"
#include "support/ui_test_util.h"
#include "ui/font_dialog.h"
#include "ui/printer_dc.h"
#include "util/reg_settings.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr char kTitle[] = "Harbour at dawn";

// The print preview over a message of five comments, driven as a user drives it.
class PrintDlogTest : public msgtest::MessageDocTest {
protected:
    void SetUp() override
    {
        MessageDocTest::SetUp();
        CAPhotoContent& content = doc->GetContent();
        CImageBuffer picture = msgtest::MakePicture(240, 180);
        content.TakeImage(picture);
        content.m_strPictureText = kTitle;
        const char* notes[] = {"Fishing boats coming in", "A gull on the mast", "The old pier", "Nets drying",
                               "Morning light on the water"};
        int i = 0;
        for (const char* note : notes) {
            const CRect area(10 + 40 * i, 20 + 20 * i, 60 + 40 * i, 70 + 20 * i);
            content.m_comments.emplace_back(
                0, std::make_unique<CAnoRecord>(msgtest::TextRecord(note, CAreaMarquee(area, 1 + i % 3))));
            ++i;
        }
        options.bDate = FALSE;
    }
    void TearDown() override
    {
        CDialog::SetModalObserver(nullptr);
        MessageDocTest::TearDown();
    }

    INT_PTR Run(CAPhotoPrintDlog& dlg, std::function<void(CAPhotoPrintDlog*)> steps)
    {
        CDialog::SetModalObserver([steps](CDialog* d) {
            steps(static_cast<CAPhotoPrintDlog*>(d));
            if (!uitest::WaitFor([d] { return !d->IsWindowVisible(); })) {
                ADD_FAILURE() << "the dialog is still up";
                d->EndDialog(-2);
            }
        });
        return dlg.DoModal();
    }
    static void Click(CDialog* d, int id)
    {
        QWidget* button = d->GetDlgItem(id)->m_hWnd;
        uitest::Click(button, button->rect().center());
    }
    static bool Enabled(CDialog* d, int id) { return d->GetDlgItem(id)->IsWindowEnabled(); }
    static std::string Page(CDialog* d) { return d->GetDlgItemText(IDC_PRINT_PAGE); }

    CAPhotoPrintOptions options;
};

} // namespace

TEST_F(PrintDlogTest, PagesFollowTheOptionsAndTheCurrentPageStaysOnAPage)
{
    CAPhotoPageRender render(doc->GetContent(), options);
    CAPhotoPrintDlog dlg(nullptr, *doc, render, nullptr, CAPhotoPrintDlog::modePrint);
    int endPage = 0;
    const INT_PTR result = Run(dlg, [&](CAPhotoPrintDlog* d) {
        // Two cards beside the photograph, four on the next page.
        EXPECT_EQ(d->GetDlgItemText(IDC_PRINT_OK), "Print");
        EXPECT_EQ(Page(d), "1/2");
        EXPECT_FALSE(Enabled(d, IDC_PRINT_BACK));
        EXPECT_TRUE(Enabled(d, IDC_PRINT_NEXT));
        Click(d, IDC_PRINT_NEXT);
        EXPECT_EQ(Page(d), "2/2");
        EXPECT_TRUE(Enabled(d, IDC_PRINT_BACK));
        EXPECT_FALSE(Enabled(d, IDC_PRINT_NEXT));

        // One card a column: three pages; then three a column: page 3 is gone.
        d->SetDlgItemText(IDC_PRINT_COLUMNS, "1");
        EXPECT_EQ(Page(d), "2/3");
        Click(d, IDC_PRINT_NEXT);
        EXPECT_EQ(Page(d), "3/3");
        d->SetDlgItemText(IDC_PRINT_COLUMNS, "3");
        EXPECT_EQ(options.nColumns, 3);
        EXPECT_EQ(Page(d), "2/2");
        // Out of range: refused with a message, the value stays.
        d->SetDlgItemText(IDC_PRINT_COLUMNS, "7");
        EXPECT_TRUE(Said("between 1 and 3"));
        EXPECT_EQ(options.nColumns, 3);
        EXPECT_EQ(d->GetDlgItemText(IDC_PRINT_COLUMNS), "3");
        // The arrows step it.
        QWidget* spin = d->GetDlgItem(IDC_PRINT_COLUMNS_SPIN)->m_hWnd;
        auto* down = spin->findChild<QToolButton*>("down");
        ASSERT_NE(down, nullptr);
        down->click();
        EXPECT_EQ(options.nColumns, 2);
        EXPECT_EQ(d->GetDlgItemText(IDC_PRINT_COLUMNS), "2");

        // A 70-character header is cut to 64.
        d->SetDlgItemText(IDC_PRINT_HEADER, std::string(70, 'h'));
        EXPECT_EQ(d->GetDlgItemText(IDC_PRINT_HEADER), std::string(64, 'h'));
        EXPECT_EQ(options.strHeader, std::string(64, 'h'));
        d->SetDlgItemText(IDC_PRINT_FOOTER, "Printed for the club");
        EXPECT_EQ(options.strFooter, "Printed for the club");

        Click(d, IDC_PRINT_NUMBER_HIDE);
        EXPECT_FALSE(options.bPageNumber);
        Click(d, IDC_PRINT_NUMBER_SHOW);
        EXPECT_TRUE(options.bPageNumber);
        Click(d, IDC_PRINT_DETAIL_HIDE);
        EXPECT_FALSE(options.bImageDetail);
        Click(d, IDC_PRINT_DETAIL_SHOW);

        // No comment selected: the photograph alone, on one page.
        CAPhotoTree* tree = d->GetTree();
        ASSERT_NE(tree, nullptr);
        for (int item = 1; item <= tree->GetCount(); ++item)
            tree->SetSelectState(item, 0, TRUE);
        EXPECT_TRUE(options.printOrder.empty());
        EXPECT_EQ(Page(d), "1/1");
        EXPECT_FALSE(Enabled(d, IDC_PRINT_NEXT));
        tree->SelectAll(TRUE);
        EXPECT_EQ(options.printOrder, (std::vector<int32_t>{0, 1, 2, 3, 4}));

        // The font dialog's choice goes to the cards.
        FontDialogAnswer before = SetFontDialogAnswer([](LOGFONT& lf) {
            lf.lfHeight = -20;
            return TRUE;
        });
        Click(d, IDC_PRINT_FONT);
        SetFontDialogAnswer(before);
        EXPECT_EQ(options.commentFont.lfHeight, -20);

        QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(uitest::Grab(d->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/message_print_preview_small.png"));
        d->m_hWnd->resize(900, 640);
        QApplication::processEvents();
        EXPECT_TRUE(uitest::Grab(d->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/message_print_preview.png"));
        endPage = d->GetCurrentPage();
        Click(d, IDC_PRINT_OK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.GetCurrentPage(), endPage);
}

TEST_F(PrintDlogTest, TheCommentListBesideThePreviewReadsInLinesNotWordByWord)
{
    doc->GetContent().m_comments.resize(3);
    CAPhotoPageRender render(doc->GetContent(), options);
    CAPhotoPrintDlog dlg(nullptr, *doc, render, nullptr, CAPhotoPrintDlog::modePrint);
    Run(dlg, [&](CAPhotoPrintDlog* d) {
        CAPhotoTree* tree = d->GetTree();
        ASSERT_NE(tree, nullptr);
        ASSERT_EQ(tree->GetCount(), 3);
        QApplication::processEvents();
        QDir().mkpath(QString(QR_TEST_BUILD_DIR) + "/screenshots");
        EXPECT_TRUE(uitest::Grab(d->m_hWnd).save(QString(QR_TEST_BUILD_DIR) + "/screenshots/message_print_preview_three.png"));
        // Each card takes at most twice the lines it takes in a list wide
        // enough for any of them (word by word it took three times as many).
        CRect shown;
        tree->GetWindowRect(&shown);
        d->ScreenToClient(&shown);
        std::vector<int> heights;
        for (int item = 1; item <= 3; ++item)
            heights.push_back(tree->GetItemRect(item).Height());
        tree->MoveWindow(shown.left, shown.top, 1200, shown.Height());
        for (int item = 1; item <= 3; ++item)
            EXPECT_LE(heights[size_t(item - 1)], 2 * tree->GetItemRect(item).Height()) << item;
        tree->MoveWindow(shown);
        Click(d, IDC_PRINT_QUIT);
    });
}

TEST_F(PrintDlogTest, HeaderAndFooterAreRememberedAndQuitEndsWithCancel)
{
    CAPhotoPageRender render(doc->GetContent(), options);
    {
        CAPhotoPrintDlog dlg(nullptr, *doc, render, nullptr, CAPhotoPrintDlog::modeWrite);
        const INT_PTR result = Run(dlg, [&](CAPhotoPrintDlog* d) {
            EXPECT_EQ(d->GetDlgItemText(IDC_PRINT_OK), "Save");
            d->SetDlgItemText(IDC_PRINT_HEADER, std::string(70, 'x'));
            d->SetDlgItemText(IDC_PRINT_FOOTER, "Club");
            Click(d, IDC_PRINT_QUIT);
        });
        EXPECT_EQ(result, IDCANCEL);
    }
    std::string header, footer;
    RegReadString(header, 7, CAPhotoPrintDlog::kHeaderValue);
    RegReadString(footer, 7, CAPhotoPrintDlog::kFooterValue);
    EXPECT_EQ(header, std::string(64, 'x'));
    EXPECT_EQ(footer, "Club");
    // The next dialog starts with them.
    CAPhotoPrintDlog again(nullptr, *doc, render, nullptr, CAPhotoPrintDlog::modePrint);
    Run(again, [&](CAPhotoPrintDlog* d) {
        EXPECT_EQ(d->GetDlgItemText(IDC_PRINT_HEADER), std::string(64, 'x'));
        EXPECT_EQ(options.strFooter, "Club");
        Click(d, IDC_PRINT_QUIT);
    });
}

TEST_F(PrintDlogTest, TwoPagesPrintedToPdfShowThePhotographWhereTheLayoutPutsIt)
{
    options.nColumns = 2;
    CAPhotoPageRender render(doc->GetContent(), options);
    options.printOrder = AllComments(*doc);
    const std::string pdf = (dir / "message.pdf").string();
    CPrinterDC printer(pdf);
    ASSERT_TRUE(PrintMessagePages(render, printer, kTitle));
    ASSERT_EQ(render.GetPageCount(), 2);

    constexpr int kDpi = 50;
    QR_SKIP_WITHOUT_PROGRAM("pdftoppm");
    QProcess run;
    run.start("pdftoppm", {"-r", QString::number(kDpi), "-png", QString::fromStdString(pdf),
                           QString::fromStdString((dir / "page").string())});
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(run.exitCode(), 0);
    const QImage page1((dir / "page-1.png").c_str());
    const QImage page2((dir / "page-2.png").c_str());
    ASSERT_FALSE(page1.isNull());
    ASSERT_FALSE(page2.isNull());
    EXPECT_TRUE(QImage((dir / "page-3.png").c_str()).isNull());

    // The picture's centre where the layout puts the photograph's centre.
    const int res = printer.GetDeviceCaps(LOGPIXELSY);
    const CPoint offset = printer.GetPrintingOffset();
    const CSize size = render.GetPageSize();
    const CRect inset(render.GetMarginX(), render.GetMarginY(), size.cx - render.GetMarginX(),
                      size.cy - render.GetMarginY());
    const auto layout = render.LayoutPage(&printer, inset, 1);
    const CRect& photo = layout.photo;
    const QPoint centre(int(int64_t(offset.x + photo.CenterPoint().x) * kDpi / res),
                        int(int64_t(offset.y + photo.top + photo.Height() * 3 / 8) * kDpi / res));
    const CImageBuffer& picture = doc->GetContent().GetImage();
    const BYTE* mid = picture.GetRowPointer(picture.GetHeight() / 2) + 3 * (picture.GetWidth() / 2);
    const QColor seen(page1.pixel(centre));
    EXPECT_NEAR(seen.blue(), mid[0], 40);
    EXPECT_NEAR(seen.green(), mid[1], 40);
    EXPECT_NEAR(seen.red(), mid[2], 40);
    // Page 2 holds cards: dark text somewhere on it.
    int dark = 0;
    for (int y = 0; y < page2.height(); ++y)
        for (int x = 0; x < page2.width(); ++x)
            dark += qGray(page2.pixel(x, y)) < 128;
    EXPECT_GT(dark, 20);
}

TEST_F(PrintDlogTest, TheChosenPageIsTheOneWrittenToFile)
{
    CAPhotoPageRender render(doc->GetContent(), options);
    CAPhotoPrintDlog dlg(nullptr, *doc, render, nullptr, CAPhotoPrintDlog::modeWrite);
    const INT_PTR result = Run(dlg, [&](CAPhotoPrintDlog* d) {
        Click(d, IDC_PRINT_NEXT);
        Click(d, IDC_PRINT_OK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(dlg.GetCurrentPage(), 2);
    const std::string path = (dir / "page2.emf").string();
    ASSERT_TRUE(WritePageMetafile(render, path, DefaultPrintablePage()));
    EXPECT_EQ(render.GetCurrentPage(), 2);
    EXPECT_GT(std::filesystem::file_size(path), 108u);
}

namespace {

std::string g_chosenPath;

BOOL ChooseMetafileName(std::string& path, BOOL bOpen, const std::string&, const std::string& filter)
{
    EXPECT_FALSE(bOpen);
    EXPECT_NE(filter.find("*.EMF"), std::string::npos);
    EXPECT_EQ(path, kTitle);
    path = g_chosenPath;
    return TRUE;
}

} // namespace

TEST_F(PrintDlogTest, WriteToFileWritesThePageChosenUnderTheNameChosen)
{
    CAPhotoPageRender render(doc->GetContent(), options);
    doc->SetMessageTitle(kTitle);
    g_chosenPath = (dir / "harbour").string();
    const FileDialogHandler before = SetFileDialogHandler(&ChooseMetafileName);
    CDialog::SetModalObserver([](CDialog* d) {
        Click(d, IDC_PRINT_NEXT);
        Click(d, IDC_PRINT_OK);
    });
    const BOOL written = WriteMessageToFile(nullptr, *doc, render, nullptr);
    SetFileDialogHandler(before);
    ASSERT_TRUE(written);
    EXPECT_EQ(render.GetCurrentPage(), 2);
    // The name took the metafile's extension; the file is a whole metafile.
    const auto bytes = qrtest::ReadBytes(dir / "harbour.EMF");
    ASSERT_GT(bytes.size(), 108u);
    EXPECT_EQ(bytes[40], 0x20);
    EXPECT_EQ(bytes[41], 'E');
    EXPECT_EQ(bytes[42], 'M');
    EXPECT_EQ(bytes[43], 'F');
}

TEST_F(PrintDlogTest, PrintPutsEveryPageOnThePrinter)
{
    CAPhotoPageRender render(doc->GetContent(), options);
    CPrinterDC::SetPdfFallbackFolder(dir.path().string());
    CDialog::SetModalObserver([](CDialog* d) { Click(d, IDC_PRINT_OK); });
    uitest::RecordedBoxes boxes;
    const BOOL printed = PrintMessage(nullptr, *doc, render, nullptr);
    CPrinterDC::SetPdfFallbackFolder(std::string());
    ASSERT_TRUE(printed);
    // Without a printer the pages went into a PDF file of two pages, and the user is told where.
    std::string pdf;
    for (const std::string& name : qrtest::FolderNames(dir.path()))
        if (name.size() > 4 && name.substr(name.size() - 4) == ".pdf")
            pdf = (dir / name).string();
    ASSERT_FALSE(pdf.empty());
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find(pdf), std::string::npos) << boxes.texts[0];
    QR_SKIP_WITHOUT_PROGRAM("pdfinfo");
    QProcess info;
    info.start("pdfinfo", {QString::fromStdString(pdf)});
    ASSERT_TRUE(info.waitForFinished(60000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const QString pages = out.section("Pages:", 1, 1).section('\n', 0, 0).trimmed();
    EXPECT_EQ(pages.toStdString(), "2") << out.toStdString();
}
