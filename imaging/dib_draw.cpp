// Drawing a bitmap on a device context, resampled drawing, rotation and
// bitmaps from the program's resources.
#include "imaging/dib_bitmap.h"

#include "imaging/dib_pixels.h"
#include "imaging/resample.h"
#include "imaging/rotation.h"
#include "platform/file.h"
#include "platform/gdi/dc.h"
#include "resources/picture_resources.h"

#include <QImage>

#include <cstdlib>
#include <vector>

QImage CDibBitmap::StoredImage() const
{
    if (!IsValid())
        return {};
    const int w = m_header.biWidth, h = m_header.biHeight;
    const qsizetype stride = GetStride();
    // Qt only reads through the view; the non-const form keeps it from
    // copying when the colour table is set.
    uchar* bits = const_cast<uchar*>(m_bits.get());
    auto table = [&] {
        QList<QRgb> colours;
        for (const RGBQUAD& q : m_palette)
            colours.append(qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
        return colours;
    };
    const DWORD* masks = m_masks;
    const bool fields = m_header.biCompression == BI_BITFIELDS;
    switch (m_header.biBitCount) {
    case 1: {
        QImage image(bits, w, h, stride, QImage::Format_Mono);
        image.setColorTable(table());
        return image;
    }
    case 8: {
        QImage image(bits, w, h, stride, QImage::Format_Indexed8);
        image.setColorTable(table());
        return image;
    }
    case 16:
        if (!fields || (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F))
            return QImage(bits, w, h, stride, QImage::Format_RGB555);
        if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
            return QImage(bits, w, h, stride, QImage::Format_RGB16);
        break;
    case 24: return QImage(bits, w, h, stride, QImage::Format_BGR888);
    case 32:
        if (!fields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF))
            return QImage(bits, w, h, stride, QImage::Format_RGB32);
        break;
    default: break;
    }
    // 4 bits and unusual masks have no Qt layout: converted pixel by pixel.
    QImage image(w, h, QImage::Format_RGB32);
    for (int row = 0; row < h; ++row) {
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int x = 0; x < w; ++x) {
            const COLORREF c = dib::ReadPixel(*this, x, row);
            out[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    return image;
}

bool CDibBitmap::Draw(CDC* dc, const CRect& dest, const CRgn* clip, bool noReduction) const
{
    return DrawRect(dc, CRect(0, 0, GetSize().cx, GetSize().cy), dest, clip, noReduction);
}

bool CDibBitmap::DrawRect(CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip, bool noReduction) const
{
    if (!IsValid() || !dc)
        return false;
    const int deviceBits = dc->GetDeviceCaps(BITSPIXEL);
    if (!noReduction && deviceBits < 9 && deviceBits < GetBitsPerPixel()) {
        // A palette or monochrome device: the visible part is reduced first.
        CRect box, part;
        dc->GetClipBox(&box);
        if (!part.IntersectRect(dest, box))
            return true;
        const int64_t dw = dest.Width(), dh = dest.Height();
        const CRect from(static_cast<LONG>(source.left + (part.left - dest.left) * source.Width() / dw),
                         static_cast<LONG>(source.top + (part.top - dest.top) * source.Height() / dh),
                         static_cast<LONG>(source.left + (part.right - dest.left) * source.Width() / dw),
                         static_cast<LONG>(source.top + (part.bottom - dest.top) * source.Height() / dh));
        CDibBitmap extract, reduced;
        if (!extract.ExtractRect(*this, from, from, 0))
            return false;
        bool ok = false;
        if (deviceBits == 8 && GetBitsPerPixel() == 24)
            ok = reduced.ReduceTo8Bit(extract);
        else if (deviceBits == 1)
            ok = reduced.ReduceTo1Bit(extract);
        if (!ok)
            return false;
        return reduced.DrawRect(dc, CRect(0, 0, reduced.GetSize().cx, reduced.GetSize().cy), part, clip, true);
    }
    const int saved = dc->SaveDC();
    if (clip && clip->GetSafeHandle())
        dc->SelectClipRgn(const_cast<CRgn*>(clip), RGN_COPY);
    dc->SetStretchBltMode(COLORONCOLOR);
    // The stored rows are upside down: a source rectangle of negative height
    // turns them the right way up as they are drawn.
    const int h = GetSize().cy;
    const BOOL ok = dc->StretchImage(dest.left, dest.top, dest.Width(), dest.Height(), StoredImage(), source.left,
                                     h - source.top, source.Width(), -source.Height(), SRCCOPY);
    dc->RestoreDC(saved);
    return ok != FALSE;
}

namespace {

bool DrawResampledBy(const CDibBitmap& bmp, CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip,
                     bool bicubic)
{
    if (!bmp.IsValid() || !dc)
        return false;
    if (bmp.GetBitsPerPixel() != 24 || dest.Size() == bmp.GetSize())
        return bmp.DrawRect(dc, source, dest, clip);
    if (source.Width() == 1 && source.Height() == 1) {
        const COLORREF c = bmp.GetPixel(source.left, source.top);
        if (c == CLR_INVALID)
            return false;
        const int saved = dc->SaveDC();
        if (clip && clip->GetSafeHandle())
            dc->SelectClipRgn(const_cast<CRgn*>(clip), RGN_COPY);
        dc->FillSolidRect(&dest, c);
        dc->RestoreDC(saved);
        return true;
    }
    CDibBitmap resampled;
    const CRect size(0, 0, std::abs(dest.Width()), std::abs(dest.Height()));
    if (!(bicubic ? resampled.ResampleIntoEx(bmp, source, size) : resampled.ResampleInto(bmp, source, size)))
        return false;
    return resampled.DrawRect(dc, size, dest, clip);
}

} // namespace

bool CDibBitmap::DrawResampled(CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip) const
{
    return DrawResampledBy(*this, dc, source, dest, clip, false);
}

bool CDibBitmap::DrawResampledEx(CDC* dc, const CRect& source, const CRect& dest, const CRgn* clip) const
{
    return DrawResampledBy(*this, dc, source, dest, clip, true);
}

bool CDibBitmap::LoadFromResource(int id)
{
    std::vector<uint8_t> bytes = res::BinaryResource("bitmaps", static_cast<uint32_t>(id));
    if (bytes.empty()) {
        DeleteObject();
        return false;
    }
    CMemFile memory(std::move(bytes));
    return Read(memory);
}


bool CDibBitmap::Rotate(int degrees)
{
    if (!IsValid())
        return false;
    if (degrees % 360 == 0)
        return true;
    const RasterRotation turn(GetSize().cx, GetSize().cy, degrees);
    if (turn.TargetWidth() <= 0 || turn.TargetHeight() <= 0 || turn.TargetWidth() > INT32_MAX ||
        turn.TargetHeight() > INT32_MAX)
        return false;
    CDibBitmap turned;
    if (!turned.CreateDib(CSize(static_cast<LONG>(turn.TargetWidth()), static_cast<LONG>(turn.TargetHeight())),
                          GetBitsPerPixel(), nullptr, m_palette.empty() ? nullptr : m_palette.data(), RGB(0, 0, 0)))
        return false;
    turned.m_header.biCompression = m_header.biCompression;
    std::copy(m_masks, m_masks + 3, turned.m_masks);
    turned.m_header.biXPelsPerMeter = m_header.biXPelsPerMeter;
    turned.m_header.biYPelsPerMeter = m_header.biYPelsPerMeter;
    // Row tables from the top row down: stored rows run bottom-up.
    auto rows = [](CDibBitmap& b) {
        std::vector<BYTE*> table(static_cast<size_t>(b.GetSize().cy));
        for (size_t y = 0; y < table.size(); ++y)
            table[y] = b.GetBits() + (table.size() - 1 - y) * static_cast<uint64_t>(b.GetStride());
        return table;
    };
    const std::vector<BYTE*> from = rows(*this), to = rows(turned);
    turn.Apply(from.data(), to.data(), GetBitsPerPixel());
    *this = std::move(turned);
    return true;
}
