#include "platform/framework/image_list.h"

BOOL CImageList::Create(int cx, int cy, UINT nFlags, int, int)
{
    if (cx <= 0 || cy <= 0)
        return FALSE;
    m_cx = cx;
    m_cy = cy;
    m_flags = nFlags;
    m_images.clear();
    return TRUE;
}

int CImageList::Add(const QImage& strip, COLORREF crMask)
{
    if (!IsValid() || strip.isNull() || strip.height() < m_cy)
        return -1;
    QImage src = strip.convertToFormat(QImage::Format_ARGB32);
    const QRgb mask = qRgb(GetRValue(crMask), GetGValue(crMask), GetBValue(crMask));
    int first = int(m_images.size());
    for (int x = 0; x + m_cx <= src.width(); x += m_cx) {
        QImage img = src.copy(x, 0, m_cx, m_cy);
        if (m_flags & ILC_MASK) {
            for (int y = 0; y < img.height(); ++y) {
                auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
                for (int i = 0; i < img.width(); ++i)
                    if ((row[i] & 0xFFFFFF) == (mask & 0xFFFFFF))
                        row[i] = 0;
            }
        }
        m_images.push_back(img);
    }
    return int(m_images.size()) > first ? first : -1;
}


BOOL CImageList::Replace(int nImage, const QImage& image)
{
    if (nImage < 0 || nImage >= int(m_images.size()) || image.isNull())
        return FALSE;
    m_images[size_t(nImage)] = image.size() == QSize(m_cx, m_cy) ? image.convertToFormat(QImage::Format_ARGB32)
                                                                  : image.scaled(m_cx, m_cy).convertToFormat(QImage::Format_ARGB32);
    return TRUE;
}
