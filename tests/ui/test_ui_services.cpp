#include "ui/ui_services.h"
#include "platform/gdi/dc.h"
#include "platform/framework/ole_drop.h"
#include "resources/program_icon.h"

#include <QGuiApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

TEST(UiServices, FileNameTests)
{
    struct Row {
        const char* path;
        BOOL message, wave, movie;
    } rows[] = {
        {"/home/a/photo.kvt", TRUE, FALSE, FALSE},
        {"/home/a/PHOTO.KvT", TRUE, FALSE, FALSE},
        {"/home/a.b/photo.kvt", TRUE, FALSE, FALSE},   // a dot in a folder name too
        {"/home/a/photo.kvt.bak", FALSE, FALSE, FALSE}, // a further extension behind it
        {"/home/a.kvt/photo", FALSE, FALSE, FALSE},     // the only dot is in a folder name
        {"C:\\x.kvt\\photo", FALSE, FALSE, FALSE},
        {"song.Wav", FALSE, TRUE, FALSE},
        {"clip.mov", FALSE, FALSE, TRUE},
        {"clip.AVI", FALSE, FALSE, TRUE},
        {"noext", FALSE, FALSE, FALSE},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(IsMessageFileName(r.path), r.message) << r.path;
        EXPECT_EQ(IsWaveFileName(r.path), r.wave) << r.path;
        EXPECT_EQ(IsMovieFileName(r.path), r.movie) << r.path;
    }
}

TEST(UiServices, SizeLimitsColoursAndFormats)
{
    EXPECT_TRUE(IsImageSizeSupported(3840, 8));
    EXPECT_FALSE(IsImageSizeSupported(3841, 100));
    EXPECT_FALSE(IsImageSizeSupported(7, 100));
    EXPECT_FALSE(IsImageSizeSupported(100, 3841));
    EXPECT_EQ(GetSchemeSysColor(5), GetSysColor(5));
    EXPECT_EQ(GetSchemeSysColor(0), RGB(166, 202, 240));
    EXPECT_EQ(GetSchemeSysColor(15), RGB(166, 202, 240));
    EXPECT_EQ(GetSchemeSysColor(4), RGB(212, 255, 255));
    EXPECT_EQ(GetSchemeSysColor(10), RGB(204, 255, 255));
    EXPECT_EQ(GetSchemeSysColor(12), RGB(42, 95, 170));

    RegisterClipboardFormats();
    const ClipboardFormats& f = GetClipboardFormats();
    EXPECT_NE(f.pathList, 0u);
    EXPECT_EQ(f.pathList, RegisterClipboardFormat("TessalyZunPathListCF"));
    EXPECT_EQ(ClipboardFormatMimeType(f.fileCut), "application/x-qr-TessalyZunFileCutCF");

    std::string program = "keep", licence = "keep";
    LoadReaderFileNames(program, licence);
    EXPECT_EQ(program, "Quiram Relayo Reader.exe");
    EXPECT_EQ(licence, "EULA.txt");
    EXPECT_FALSE(GetWebLinkUrl().empty());
}

TEST(UiServices, RoundFrameWithOnlyTheCornerColour)
{
    QImage img(20, 12, QImage::Format_RGB32);
    img.fill(Qt::white);
    CDC dc(&img);
    const COLORREF c = RGB(200, 0, 0);
    Draw3DRoundFrame(&dc, CRect(0, 0, 20, 12), CLR_INVALID, c, CLR_INVALID, CLR_INVALID, CLR_INVALID, CLR_INVALID);
    dc.DeleteDC();
    auto px = [&](int x, int y) { return RGB(qRed(img.pixel(x, y)), qGreen(img.pixel(x, y)), qBlue(img.pixel(x, y))); };
    // Outer edges and corners in the corner colour; the inside not filled.
    EXPECT_EQ(px(0, 5), c);       // left edge
    EXPECT_EQ(px(8, 0), c);       // top edge
    EXPECT_EQ(px(19, 5), c);      // right edge
    EXPECT_EQ(px(8, 11), c);      // bottom edge
    EXPECT_EQ(px(0, 0), c);       // corner pixel
    EXPECT_EQ(px(10, 6), RGB(255, 255, 255));
    EXPECT_EQ(px(1, 5), RGB(255, 255, 255)); // no inner light line without a fill
}

TEST(UiServices, EachProgramHasItsOwnIconAtEverySizeADesktopAsks)
{
    const QIcon main = res::ProgramIcon(res::kMainProgramName);
    const QIcon reader = res::ProgramIcon(res::kReaderProgramName);
    const QList<QSize> sizes = {{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
    EXPECT_EQ(main.availableSizes(), sizes);
    EXPECT_EQ(reader.availableSizes(), sizes);
    // Drawn, not blank, and not one picture for both.
    const QImage a = main.pixmap(32, 32).toImage(), b = reader.pixmap(32, 32).toImage();
    EXPECT_EQ(qAlpha(a.pixel(16, 16)), 255);
    EXPECT_EQ(qAlpha(a.pixel(0, 0)), 0); // the rounded corner
    EXPECT_NE(a, b);
    EXPECT_TRUE(res::ProgramIcon("no-such-program").isNull());

    // Every window of the program carries it, and the desktop learns its name.
    SetProgramIdentity(res::kReaderProgramName);
    QWidget window;
    EXPECT_EQ(window.windowIcon().pixmap(32, 32).toImage(), b);
    EXPECT_EQ(QGuiApplication::desktopFileName(), "quiram-relayo-reader");
    QGuiApplication::setWindowIcon(QIcon());
    QGuiApplication::setDesktopFileName(QString());
}
