#include "util/draw_guards.h"

#include "platform/gdi/metafile_dc.h"

#include <QTransform>

namespace {

bool IsRecording(const CDC* dc)
{
    return dynamic_cast<const CMetaFileDC*>(dc) != nullptr;
}

} // namespace

CFontSelection::CFontSelection(CDC* dc, CFont* font) : m_dc(dc)
{
    if (m_dc && font)
        m_old = m_dc->SelectObject(font);
}

CFontSelection::~CFontSelection()
{
    if (m_dc && m_old)
        m_dc->SelectObject(m_old);
}

CPenSelection::CPenSelection(CDC* dc, CPen* pen) : m_dc(dc)
{
    if (m_dc && pen)
        m_old = m_dc->SelectObject(pen);
}

CPenSelection::~CPenSelection()
{
    if (m_dc && m_old)
        m_dc->SelectObject(m_old);
}

CBitmapSelection::CBitmapSelection(CDC* dc, CGdiObject* object) : m_dc(dc)
{
    if (!m_dc || IsRecording(m_dc))
        return;
    m_active = true;
    m_old = m_dc->SelectObject(object ? object->GetSafeHandle() : nullptr);
    m_keepOld = GdiRef(m_old);
}

CBitmapSelection::~CBitmapSelection()
{
    if (m_active && m_old)
        m_dc->SelectObject(m_old);
}

CPaletteSelection::CPaletteSelection(CDC* dc, CPalette* palette, BOOL realize, BOOL forceBackground) : m_dc(dc)
{
    if (!m_dc || !palette || !palette->GetSafeHandle() || IsRecording(m_dc) ||
        !(m_dc->GetDeviceCaps(RASTERCAPS) & RC_PALETTE))
        return;
    m_active = true;
    m_old = m_dc->SelectPalette(palette, forceBackground);
    if (realize)
        m_dc->RealizePalette();
}

CPaletteSelection::~CPaletteSelection()
{
    if (m_active && m_old)
        m_dc->SelectPalette(m_old, FALSE);
}

// ---------------------------------------------------------------------------

CClipSelection::CClipSelection(CDC* dc, CRgn* region, int mode) : m_dc(dc)
{
    if (m_dc && region && region->GetSafeHandle())
        Select(region, mode);
}

CClipSelection::CClipSelection(CDC* dc, const RECT& rect, int mode) : m_dc(dc)
{
    if (!m_dc)
        return;
    CRgn region;
    region.CreateRectRgnIndirect(&rect);
    Select(&region, mode);
}

void CClipSelection::Select(CRgn* region, int mode)
{
    // Keep the clip that is there now, so that the end of the scope restores
    // it rather than removing every clip an outer painter had set.
    m_previous.CreateRectRgn(0, 0, 0, 0);
    m_hadClip = m_dc->GetClipRgn(&m_previous) == 1;
    m_active = true;
    m_dc->SelectClipRgn(region, mode);
}

CClipSelection::~CClipSelection()
{
    if (!m_active)
        return;
    m_dc->SelectClipRgn(m_hadClip ? &m_previous : nullptr);
}


// ---------------------------------------------------------------------------

CDeviceClipRegion::CDeviceClipRegion(CDC* dc, CRgn* region, int mode)
{
    if (!dc || !region || !region->GetSafeHandle())
        return;
    // The scale is taken from the region's own box, the offset from where the
    // logical origin lands on the device.
    CRect logical;
    region->GetRgnBox(&logical);
    CRect device(logical);
    dc->LPtoDP(&device);
    const double sx = logical.Width() != 0 ? double(device.Width()) / logical.Width() : 1.0;
    const double sy = logical.Height() != 0 ? double(device.Height()) / logical.Height() : 1.0;
    POINT origin{0, 0};
    dc->LPtoDP(&origin, 1);
    m_region.CreateFromRegion(QTransform(sx, 0, 0, sy, 0, 0).map(region->Region()).translated(origin.x, origin.y));
    m_selection.emplace(dc, &m_region, mode);
}
