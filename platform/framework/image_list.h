#pragma once

#include "platform/types.h"

#include <QImage>

#include <vector>

enum : UINT { ILC_MASK = 0x0001, ILC_COLOR24 = 0x0018, ILC_COLOR32 = 0x0020 };

// A row of same-sized images; with a mask, pixels of the mask colour are
// transparent when drawn.
class CImageList {
public:
    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow);
    // Cuts the strip into images of the list's width; with a mask, pixels of
    // crMask become transparent. Returns the index of the first one, -1 on failure.
    int Add(const QImage& strip, COLORREF crMask);
    // Puts the image (at the list's size) in place of the one at the index.
    BOOL Replace(int nImage, const QImage& image);
    void SetBkColor(COLORREF cr) { m_crBack = cr; }
    int GetImageCount() const { return int(m_images.size()); }
    CSize GetImageSize() const { return {m_cx, m_cy}; }
    const QImage& Image(int i) const { return m_images[size_t(i)]; }
    bool IsValid() const { return m_cx > 0; }

private:
    int m_cx = 0, m_cy = 0;
    UINT m_flags = 0;
    COLORREF m_crBack = CLR_INVALID;
    std::vector<QImage> m_images;
};
