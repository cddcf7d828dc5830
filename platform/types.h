#pragma once

#include <algorithm>
#include <cstdint>

// The plain value types the program's classes are written in: fixed-width
// integers with the class library's names, colours, points, sizes and
// rectangles (left/top inclusive, right/bottom exclusive).

using BOOL = int;
using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using INT_PTR = intptr_t;
using UINT_PTR = uintptr_t;
using LPARAM = intptr_t;
using WPARAM = uintptr_t;
using LRESULT = intptr_t;
using COLORREF = uint32_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr COLORREF RGB(int r, int g, int b)
{
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
// "The control's own colour" where a colour may be set.
constexpr COLORREF CLR_DEFAULT = 0xFF000000u;
// A wait without time limit.
constexpr DWORD INFINITE = 0xFFFFFFFFu;

constexpr WORD LOWORD(uint32_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(uint32_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr DWORD MAKELONG(WORD lo, WORD hi) { return static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16); }

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

// A font description as the program stores it (60 bytes on disk, written
// field by field by whoever stores it).
inline constexpr int LF_FACESIZE = 32;
inline constexpr BYTE DEFAULT_CHARSET = 1;
struct LOGFONT {
    LONG lfHeight = 0;
    LONG lfWidth = 0;
    LONG lfEscapement = 0;
    LONG lfOrientation = 0;
    LONG lfWeight = 0;
    BYTE lfItalic = 0;
    BYTE lfUnderline = 0;
    BYTE lfStrikeOut = 0;
    BYTE lfCharSet = 0;
    BYTE lfOutPrecision = 0;
    BYTE lfClipPrecision = 0;
    BYTE lfQuality = 0;
    BYTE lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
};

class CPoint : public POINT {
public:
    constexpr CPoint() = default;
    constexpr CPoint(LONG px, LONG py) { x = px; y = py; }
    constexpr CPoint(const POINT& p) { x = p.x; y = p.y; }
    void Offset(LONG dx, LONG dy) { x += dx; y += dy; }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    CPoint operator+(const CPoint& o) const { return {x + o.x, y + o.y}; }
    CPoint operator-(const CPoint& o) const { return {x - o.x, y - o.y}; }
};

class CSize : public SIZE {
public:
    constexpr CSize() = default;
    constexpr CSize(LONG w, LONG h) { cx = w; cy = h; }
    constexpr CSize(const SIZE& s) { cx = s.cx; cy = s.cy; }
    bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
};

class CRect : public RECT {
public:
    constexpr CRect() = default;
    constexpr CRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
    constexpr CRect(const RECT& r) { left = r.left; top = r.top; right = r.right; bottom = r.bottom; }
    CRect(const POINT& topLeft, const SIZE& size)
    {
        left = topLeft.x; top = topLeft.y; right = left + size.cx; bottom = top + size.cy;
    }

    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    CSize Size() const { return {Width(), Height()}; }
    CPoint TopLeft() const { return {left, top}; }
    CPoint BottomRight() const { return {right, bottom}; }
    CPoint CenterPoint() const { return {(left + right) / 2, (top + bottom) / 2}; }

    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(const POINT& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    void SetRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
    void SetRectEmpty() { left = top = right = bottom = 0; }
    void NormalizeRect()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    void OffsetRect(LONG dx, LONG dy) { left += dx; right += dx; top += dy; bottom += dy; }
    void OffsetRect(const POINT& p) { OffsetRect(p.x, p.y); }
    void InflateRect(LONG dx, LONG dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
    void DeflateRect(LONG dx, LONG dy) { InflateRect(-dx, -dy); }
    // Empty (all zero) when the two do not overlap.
    bool IntersectRect(const RECT& a, const RECT& b)
    {
        CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom));
        if (r.IsRectEmpty()) { SetRectEmpty(); return false; }
        *this = r;
        return true;
    }
    bool UnionRect(const RECT& a, const RECT& b)
    {
        const CRect ra(a), rb(b);
        if (ra.IsRectEmpty()) { *this = rb; return !rb.IsRectEmpty(); }
        if (rb.IsRectEmpty()) { *this = ra; return true; }
        SetRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom));
        return true;
    }
    bool operator==(const CRect& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};
