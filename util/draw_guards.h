#pragma once

#include "platform/gdi/dc.h"

#include <optional>

// Scope guards for drawing: each selects something into a device context and
// undoes it when the scope ends. Made on the stack, never copied.

// Selects a font through the context's own font selection.
class CFontSelection {
public:
    CFontSelection(CDC* dc, CFont* font);
    ~CFontSelection();
    CFontSelection(const CFontSelection&) = delete;
    CFontSelection& operator=(const CFontSelection&) = delete;

private:
    CDC* m_dc;
    CFont* m_old = nullptr;
};

class CPenSelection {
public:
    CPenSelection(CDC* dc, CPen* pen);
    ~CPenSelection();
    CPenSelection(const CPenSelection&) = delete;
    CPenSelection& operator=(const CPenSelection&) = delete;

private:
    CDC* m_dc;
    CPen* m_old = nullptr;
};

// Selects any object by its handle (a null object selects nothing). Does
// nothing at all on a recording context.
class CBitmapSelection {
public:
    CBitmapSelection(CDC* dc, CGdiObject* object);
    ~CBitmapSelection();
    CBitmapSelection(const CBitmapSelection&) = delete;
    CBitmapSelection& operator=(const CBitmapSelection&) = delete;

private:
    CDC* m_dc;
    bool m_active = false;
    HGDIOBJ m_old = nullptr;
    GdiRef m_keepOld; // the old object stays alive until it is selected back
};

// Inactive on a recording context, on a device without a palette and with a null palette.
class CPaletteSelection {
public:
    CPaletteSelection(CDC* dc, CPalette* palette, BOOL realize, BOOL forceBackground);
    ~CPaletteSelection();
    CPaletteSelection(const CPaletteSelection&) = delete;
    CPaletteSelection& operator=(const CPaletteSelection&) = delete;
    bool IsActive() const { return m_active; }

private:
    CDC* m_dc;
    bool m_active = false;
    CPalette* m_old = nullptr;
};

// Sets a clip region (device units) with a combination mode, and puts back
// the clip that was there before when the scope ends.
class CClipSelection {
public:
    // Inactive with a null region.
    CClipSelection(CDC* dc, CRgn* region, int mode);
    // A rectangular region, selected with mode.
    CClipSelection(CDC* dc, const RECT& rect, int mode);
    ~CClipSelection();
    CClipSelection(const CClipSelection&) = delete;
    CClipSelection& operator=(const CClipSelection&) = delete;

private:
    void Select(CRgn* region, int mode);

    CDC* m_dc;
    bool m_active = false;
    bool m_hadClip = false;
    CRgn m_previous;
};

// A region made in logical units, scaled and moved to device pixels as the
// context maps them, then selected as CClipSelection selects it. Inactive
// with a null region.
class CDeviceClipRegion {
public:
    CDeviceClipRegion(CDC* dc, CRgn* region, int mode);
    CDeviceClipRegion(const CDeviceClipRegion&) = delete;
    CDeviceClipRegion& operator=(const CDeviceClipRegion&) = delete;
    bool IsActive() const { return m_selection.has_value(); }

private:
    CRgn m_region; // declared first: the selection ends before the region goes
    std::optional<CClipSelection> m_selection;
};
