#include "ui/menu_bar_item.h"

#include "util/string_util.h"

#include "platform/framework/system_metrics.h"
#include "platform/framework/wnd_defs.h"
#include "platform/gdi/dc.h"
#include "platform/gdi/logfont.h"

#include <QFontInfo>

#include <algorithm>
#include <cstdlib>

namespace {
MenuBarMetrics g_metrics;
std::unique_ptr<CFont> g_fontHorz;
std::unique_ptr<CFont> g_fontVert;

} // namespace

MenuBarMetrics ComputeMenuBarMetrics(int iMenuHeight, int lfHeight, int cySmIcon, int cxBorder, int cyBorder)
{
    MenuBarMetrics m;
    m.menuHeight = std::max(iMenuHeight, cySmIcon);
    m.fontHeight = std::abs(lfHeight);
    m.textMargin = (m.menuHeight - m.fontHeight) / 2;
    m.cxBorder2 = 2 * cxBorder;
    m.cyBorder2 = 2 * cyBorder;
    return m;
}

void UpdateMenuMetrics(bool bForce)
{
    if (g_fontHorz && g_fontVert && !bForce)
        return;
    NONCLIENTMETRICS ncm = GetNonClientMetrics();
    LOGFONT lf{};
    lf.lfHeight = -QFontInfo(ncm.lfMenuFont).pixelSize();
    lf.lfWeight = ncm.lfMenuFont.bold() ? 700 : 400;
    SetLogFontFaceName(lf, ncm.lfMenuFont.family().toStdString());
    g_fontHorz = std::make_unique<CFont>();
    g_fontHorz->CreateFontIndirect(&lf);
    lf.lfEscapement = lf.lfOrientation = -900; // text runs downwards
    g_fontVert = std::make_unique<CFont>();
    g_fontVert->CreateFontIndirect(&lf);
    g_metrics = ComputeMenuBarMetrics(ncm.iMenuHeight, lf.lfHeight, GetSystemMetrics(SM_CYSMICON),
                                      GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER));
}

const MenuBarMetrics& GetMenuBarMetrics() { return g_metrics; }

CFont* GetMenuBarFont(bool bVertical) { return bVertical ? g_fontVert.get() : g_fontHorz.get(); }

MenuMnemonic ParseMnemonic(const std::string& text)
{
    MenuMnemonic m;
    const size_t amp = text.find('&');
    if (amp == std::string::npos || amp + 1 >= text.size())
        return m;
    const auto c = static_cast<unsigned char>(text[amp + 1]);
    m.pos = amp;
    m.len = CharLenAt(text, amp + 1);
    // Keys are matched by their virtual key, which exists for letters and digits only.
    m.key = c < 0x80 ? BYTE(std::toupper(c)) : 0;
    return m;
}

std::string StripMnemonic(const std::string& text)
{
    MenuMnemonic m = ParseMnemonic(text);
    if (m.pos == std::string::npos)
        return text;
    return text.substr(0, m.pos) + text.substr(m.pos + 1);
}

void CMenuBarItem::Layout(int x, int y, BOOL bHorz)
{
    if (bHorz)
        m_state |= MBS_HORZ;
    else
        m_state &= BYTE(~MBS_HORZ);
    if (IsHidden()) {
        m_rect = CRect(x, y, x, y);
        return;
    }
    m_rect = bHorz ? CRect(x, y, x + m_size.cx, y + m_size.cy) : CRect(x, y, x + m_size.cy, y + m_size.cx);
}

CMenuBarButton::CMenuBarButton(const std::string& text, CMenu* pPopup, int nCmdId, COLORREF crBack)
    : m_text(text), m_pPopup(pPopup), m_nCmdId(pPopup ? -1 : nCmdId), m_crBack(crBack)
{
    m_kind = MBK_HITTEST | MBK_CANWRAP;
    m_mnemonic = ParseMnemonic(text).key;
}

void CMenuBarButton::Draw(CDC* pDC)
{
    if (IsHidden())
        return;
    pDC->FillSolidRect(&m_rect, m_crBack == 0xFFFFFFFF ? GetSysColor(COLOR_3DFACE) : m_crBack);
    CRect rcText = m_rect;
    if (m_state & MBS_HOT) {
        pDC->Draw3dRect(&m_rect, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    } else if (m_state & MBS_PRESSED) {
        pDC->Draw3dRect(&m_rect, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
        rcText.OffsetRect(1, 1);
    }
    pDC->SetTextColor(GetSysColor((m_state & MBS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_MENUTEXT));
    const int oldMode = pDC->SetBkMode(TRANSPARENT);
    const bool horz = (m_state & MBS_HORZ) != 0;
    CFont* old = nullptr;
    if (CFont* f = GetMenuBarFont(!horz))
        old = pDC->SelectObject(f);
    if (horz) {
        pDC->DrawText(m_text, &rcText, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    } else {
        CRect rc(rcText.left, rcText.top + 5, rcText.right - GetMenuBarMetrics().textMargin, rcText.bottom);
        pDC->DrawText(StripMnemonic(m_text), &rc, DT_SINGLELINE | DT_NOCLIP | DT_NOPREFIX);
        if (m_ptUnderline[0] != m_ptUnderline[1]) {
            pDC->MoveTo(m_rect.left + m_ptUnderline[0].x, m_rect.top + m_ptUnderline[0].y);
            pDC->LineTo(m_rect.left + m_ptUnderline[1].x, m_rect.top + m_ptUnderline[1].y);
        }
    }
    if (old)
        pDC->SelectObject(old);
    pDC->SetBkMode(oldMode);
}

int WrapMenuBarItems(MenuBarItems& items, int nWidth)
{
    int rows = 1;
    int x = 0;
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        CMenuBarItem& it = *items[i];
        const int w = it.IsHidden() ? 0 : it.m_size.cx;
        const int wNext = items[i + 1]->IsHidden() ? 0 : items[i + 1]->m_size.cx;
        if (x + w > nWidth || x + w + wNext > nWidth) {
            if (it.m_kind & MBK_CANWRAP) {
                it.m_state |= MBS_WRAP;
                x = 0;
                ++rows;
            }
            continue;
        }
        it.m_state &= BYTE(~MBS_WRAP);
        x += w;
    }
    if (!items.empty())
        items.back()->m_state &= BYTE(~MBS_WRAP);
    return rows;
}

CSize PlaceMenuBarItems(MenuBarItems& items, BOOL bHorz, int nMenuHeight)
{
    if (!bHorz) {
        int y = 0;
        for (auto& it : items) {
            it->Layout(0, y, FALSE);
            y += it->m_rect.Height();
        }
        return CSize(nMenuHeight, y);
    }
    int x = 0, y = 0, rowHeight = 0, widest = 0;
    for (auto& it : items) {
        it->Layout(x, y, TRUE);
        x += it->m_rect.Width();
        rowHeight = std::max(rowHeight, int(it->m_rect.Height()));
        widest = std::max(widest, x);
        if (it->m_state & MBS_WRAP) {
            y += rowHeight;
            x = 0;
            rowHeight = 0;
        }
    }
    return CSize(widest, y + rowHeight);
}
