#include "ui/ui_services.h"
#include "ui/app_templates.h"
#include "platform/framework/win_app.h"

#include "util/reg_settings.h"
#include "platform/framework/ole_drop.h"
#include "platform/gdi/dc.h"
#include "platform/path.h"
#include "resources/program_icon.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QGuiApplication>

#include <map>
#include <mutex>
#include <strings.h>

namespace {

ClipboardFormats g_formats;

bool ExtensionIs(const std::string& path, std::initializer_list<const char*> exts)
{
    const std::string ext = ExtensionOf(path);
    for (const char* e : exts)
        if (strcasecmp(ext.c_str(), e) == 0)
            return true;
    return false;
}

} // namespace

void RegisterClipboardFormats()
{
    g_formats.fileCopy = RegisterClipboardFormat("TessalyZunFileCopyCF");
    g_formats.fileCut = RegisterClipboardFormat("TessalyZunFileCutCF");
    g_formats.folder = RegisterClipboardFormat("TessalyZunFolderCF");
    g_formats.pathList = RegisterClipboardFormat("TessalyZunPathListCF");
}

const ClipboardFormats& GetClipboardFormats() { return g_formats; }

COLORREF GetSchemeSysColor(int index)
{
    switch (index) {
    case 0:
    case 15: return RGB(166, 202, 240);
    case 4: return RGB(212, 255, 255);
    case 10: return RGB(204, 255, 255);
    case 12: return RGB(42, 95, 170);
    default: return GetSysColor(index);
    }
}

BOOL IsImageSizeSupported(int width, int height)
{
    return width >= kMinImageSide && width <= kMaxImageSide && height >= kMinImageSide && height <= kMaxImageSide;
}

BOOL IsMessageFileName(const std::string& path) { return ExtensionIs(path, {"KVT"}); }
BOOL IsWaveFileName(const std::string& path) { return ExtensionIs(path, {"WAV"}); }
BOOL IsMovieFileName(const std::string& path) { return ExtensionIs(path, {"AVI", "MOV"}); }

void Draw3DRoundFrame(CDC* pDC, const RECT& rc, COLORREF crFill, COLORREF crCorner, COLORREF crOuterLight,
                      COLORREF crInnerLight, COLORREF crInnerDark, COLORREF crOuterDark)
{
    if (!pDC)
        return;
    const LONG L = rc.left, T = rc.top, R = rc.right, B = rc.bottom;
    auto given = [](COLORREF c) { return c != CLR_INVALID; };
    // One pen per step, selected for that step only.
    auto withPen = [&](COLORREF colour, auto draw) {
        CPen pen(PS_SOLID, 1, colour);
        CPen* old = pDC->SelectObject(&pen);
        draw();
        pDC->SelectObject(old);
    };
    if (given(crFill)) {
        CRect inner(L + 1, T + 1, R - 1, B - 1);
        pDC->FillSolidRect(&inner, crFill);
        if (given(crCorner))
            pDC->SetPixel(R - 2, B - 2, crCorner);
    }
    COLORREF outerLight = given(crOuterLight) ? crOuterLight : crCorner;
    if (given(outerLight)) {
        withPen(outerLight, [&] {
            pDC->MoveTo(L, B - 3);
            pDC->LineTo(L, T + 1);
            pDC->LineTo(L + 1, T + 1);
            pDC->LineTo(L + 1, T);
            pDC->LineTo(R - 3, T);
        });
        if (!given(crInnerLight)) {
            pDC->SetPixel(L + 1, B - 3, outerLight);
            pDC->SetPixel(R - 3, T + 1, outerLight);
        }
    }
    if (given(crInnerLight) || given(crFill)) {
        withPen(given(crInnerLight) ? crInnerLight : crFill, [&] {
            pDC->MoveTo(L + 1, B - 2);
            pDC->LineTo(L + 1, T + 2);
            pDC->LineTo(L + 2, T + 2);
            pDC->LineTo(L + 2, T + 1);
            pDC->LineTo(R - 2, T + 1);
        });
    }
    if (given(crInnerDark) || given(crFill)) {
        withPen(given(crInnerDark) ? crInnerDark : crFill, [&] {
            pDC->MoveTo(R - 3, T);
            pDC->LineTo(R - 3, T + 1);
            pDC->LineTo(R - 2, T + 1);
            pDC->LineTo(R - 2, B - 3);
            pDC->LineTo(R - 3, B - 3);
            pDC->LineTo(R - 3, B - 2);
            pDC->LineTo(L + 1, B - 2);
            pDC->LineTo(L + 1, B - 3);
            pDC->LineTo(L + 1, B - 2);
        });
    }
    COLORREF outerDark = given(crOuterDark) ? crOuterDark : crCorner;
    if (given(outerDark)) {
        withPen(outerDark, [&] {
            pDC->MoveTo(L + 2, B - 1);
            pDC->LineTo(R - 3, B - 1);
            pDC->LineTo(R - 1, B - 3);
            pDC->LineTo(R - 1, T + 1);
        });
    }
    if (given(crCorner)) {
        pDC->SetPixel(L, T, crCorner);
        withPen(crCorner, [&] {
            pDC->MoveTo(L, B - 2);
            pDC->LineTo(L, B - 1);
            pDC->LineTo(L + 2, B - 1);
            pDC->MoveTo(R - 2, T);
            pDC->LineTo(R - 1, T);
            pDC->LineTo(R - 1, T + 2);
            pDC->MoveTo(R - 2, B - 1);
            pDC->LineTo(R - 1, B - 1);
            pDC->LineTo(R - 1, B - 3);
        });
    }
}

void LoadReaderFileNames(std::string& programName, std::string& licenceName)
{
    if (res::HasString(IDS_READER_PROGRAM))
        programName = std::string(res::String(IDS_READER_PROGRAM));
    if (res::HasString(IDS_READER_LICENCE))
        licenceName = std::string(res::String(IDS_READER_LICENCE));
}

std::string GetWebLinkUrl()
{
    std::string url;
    RegReadString(url, IDS_REG_PREFERENCE, "URL", HKEY_LOCAL_MACHINE);
    if (url.empty())
        url = "https://www.quiram.example/relayo/";
    return url;
}

void SetProgramIdentity(std::string_view name)
{
    QGuiApplication::setDesktopFileName(QString::fromUtf8(name.data(), qsizetype(name.size())));
    QGuiApplication::setWindowIcon(res::ProgramIcon(name));
}

void DrawCaptionBand(CDC* pDC, const RECT& band, CFont* font, BOOL bActive, const std::string& title)
{
    CRect cap(band);
    pDC->FillSolidRect(&cap, SchemeColorTeal);
    CRect text = cap;
    text.DeflateRect(1, 1);
    text.left += 24;
    CFont* old = pDC->SelectObject(font);
    pDC->SetTextColor(GetSysColor(bActive ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
    pDC->SetBkColor(SchemeColorTeal);
    pDC->SetBkMode(OPAQUE);
    pDC->DrawText(title, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    pDC->SelectObject(old);
}

IZunAppServices* GetZunAppServices() { return dynamic_cast<IZunAppServices*>(AfxGetApp()); }
