// The display copy: a first paint at a new scale makes only what it shows,
// and every pixel is the one a copy of the whole scaled picture has.
#include "imaging/display_copy.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The whole picture at the scale, made in one piece.
QImage Whole(const CDibBitmap& picture, CSize scaled, resample::Kernel kernel)
{
    QImage image(scaled.cx, scaled.cy, QImage::Format_RGB32);
    const CSize size = picture.GetSize();
    const ptrdiff_t stride = picture.GetStride();
    const RasterView src{const_cast<BYTE*>(picture.GetBits()) + stride * (size.cy - 1), -stride, size.cx, size.cy};
    const RasterView dst{image.bits(), static_cast<ptrdiff_t>(image.bytesPerLine()), image.width(), image.height()};
    resample::Filter(src, 3, 1, kernel, scaled.cx, scaled.cy, 0, 0, dst, 4);
    return image;
}

TEST(DisplayCopy, TheViewFirstThenTheRestWithTheWholeCopysPixels)
{
    CDibBitmap picture;
    ASSERT_TRUE(picture.CreateDib(CSize(301, 203), 24));
    uint32_t noise = 99;
    for (int y = 0; y < 203; ++y)
        for (int x = 0; x < 301 * 3; ++x) {
            noise = noise * 1664525u + 1013904223u;
            picture.GetBits()[y * picture.GetStride() + x] = static_cast<BYTE>((x + y) / 3 + (noise >> 28));
        }
    const resample::Kernel kernels[] = {resample::Kernel::Nearest, resample::Kernel::Linear, resample::Kernel::Cubic};
    for (const CSize scaled : {CSize(150, 101), CSize(640, 431)})
        for (const resample::Kernel kernel : kernels) {
            const QImage whole = Whole(picture, scaled, kernel);
            QImage target(scaled.cx, scaled.cy, QImage::Format_RGB32);
            target.fill(Qt::black);
            CDisplayCopy copy;
            const CRect all(0, 0, scaled.cx, scaled.cy);
            const CRect view(17, 9, 17 + scaled.cx / 2, 9 + scaled.cy / 2);
            {
                QPainter p(&target);
                ASSERT_TRUE(copy.Draw(p, picture, 1, all, view, kernel));
            }
            EXPECT_EQ(copy.Builds(), 1);
            EXPECT_EQ(copy.Window(), view);
            const QRect part(view.left, view.top, view.Width(), view.Height());
            EXPECT_EQ(target.copy(part), whole.copy(part)) << scaled.cx << " " << int(kernel);
            // Scrolled to the rest: made then, whole, and kept.
            for (int paint = 0; paint < 2; ++paint) {
                QPainter p(&target);
                ASSERT_TRUE(copy.Draw(p, picture, 1, all, all, kernel));
            }
            EXPECT_EQ(copy.Builds(), 2);
            EXPECT_EQ(copy.Window(), all);
            EXPECT_EQ(target, whole) << scaled.cx << " " << int(kernel);
        }
}

} // namespace
