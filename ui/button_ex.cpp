#include "ui/button_ex.h"

#include "ui/draw_effects.h"
#include "ui/ui_services.h"
#include "platform/framework/paint_dc.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QImage>

#include <filesystem>

IMPLEMENT_DYNAMIC(CButtonEx, CButton)
IMPLEMENT_DYNAMIC(CDropButton, CButtonEx)

BEGIN_MESSAGE_MAP(CButtonEx, CButton)
    ON_CONTROL_REFLECT(BN_KILLFOCUS, &CButtonEx::OnReflectKillFocus)
END_MESSAGE_MAP()

CButtonEx::CButtonEx() = default;

BOOL CButtonEx::Create(const std::string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID,
                       COLORREF crBack)
{
    m_crBack = crBack;
    return CButton::Create(caption, dwStyle | BS_OWNERDRAW, rect, pParent, nID);
}

void CButtonEx::SetBackColor(COLORREF cr)
{
    m_crBack = cr;
    Invalidate();
}

BOOL CButtonEx::OnEraseBkgnd(CDC*) { return TRUE; }

void CButtonEx::NotifyOwner(int code)
{
    NMHDR hdr;
    hdr.hwndFrom = m_hWnd;
    hdr.idFrom = UINT_PTR(GetDlgCtrlID());
    hdr.code = code;
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_NOTIFY, WPARAM(m_hWnd), LPARAM(&hdr));
}

void CButtonEx::OnReflectKillFocus() { NotifyOwner(NM_BUTTON_KILLFOCUS); }

void CButtonEx::OnKillFocus(CWnd* pNew)
{
    CButton::OnKillFocus(pNew);
    NotifyOwner(NM_BUTTON_KILLFOCUS);
}

void CButtonEx::DrawItem(LPDRAWITEMSTRUCT dis)
{
    if (!dis || !dis->pDC)
        return;
    CRect rc(dis->rcItem);
    // Drawn in memory first: the disabled look reads back what was drawn.
    QImage pic(std::max<LONG>(1, rc.Width()), std::max<LONG>(1, rc.Height()), QImage::Format_RGB32);
    pic.fill(Qt::white);
    {
        CDC mem(&pic);
        CRect local(0, 0, rc.Width(), rc.Height());
        // What lies behind the rounded corners is the parent's background.
        mem.FillSolidRect(&local, GetSchemeSysColor(15));
        if (LoadResIconImage(GetIcon()).isNull())
            DrawTextFace(&mem, local, dis->itemState);
        else
            DrawIconFace(&mem, local, dis->itemState);
    }
    dis->pDC->StretchImage(rc.left, rc.top, rc.Width(), rc.Height(), pic, 0, 0, rc.Width(), rc.Height(), SRCCOPY);
}

void CButtonEx::DrawIconFace(CDC* pDC, const CRect& rc, UINT state)
{
    const COLORREF outer = GetSchemeSysColor(15);
    if (state & ODS_SELECTED)
        Draw3DRoundFrame(pDC, rc, m_crBack, outer, RGB(42, 0, 85), RGB(85, 127, 170), CLR_INVALID, RGB(255, 255, 255));
    else if (state & ODS_DISABLED)
        Draw3DRoundFrame(pDC, rc, m_crBack, outer, RGB(85, 127, 170), CLR_INVALID, RGB(85, 127, 170), CLR_INVALID);
    else
        Draw3DRoundFrame(pDC, rc, m_crBack, outer, RGB(255, 255, 255), CLR_INVALID, RGB(85, 127, 170), RGB(42, 0, 85));
    QImage icon = LoadResIconImage(GetIcon());
    if (icon.width() < 32)
        icon = icon.scaled(32, 32);
    const int shift = (state & ODS_SELECTED) ? 1 : 0;
    CRect box(rc.left + (rc.Width() - 32) / 2 + shift, rc.top + (rc.Height() - 32) / 2 + shift, 0, 0);
    box.right = box.left + 32;
    box.bottom = box.top + 32;
    DrawImageTransparent(pDC, box.left, box.top, icon);
    if (state & ODS_DISABLED)
        EmbossRectDisabled(pDC, box, GetSchemeSysColor(15), GetSysColor(COLOR_3DHILIGHT), GetSysColor(COLOR_3DSHADOW));
}

void CButtonEx::DrawTextFace(CDC* pDC, const CRect& rc, UINT state)
{
    const COLORREF outer = RGB(255, 251, 240), grey = RGB(160, 160, 164);
    if (state & ODS_SELECTED)
        Draw3DRoundFrame(pDC, rc, m_crBack, outer, RGB(0, 0, 0), grey, grey, CLR_INVALID);
    else if (state & ODS_DISABLED)
        Draw3DRoundFrame(pDC, rc, m_crBack, outer, grey, CLR_INVALID, grey, m_crBack);
    else
        Draw3DRoundFrame(pDC, rc, m_crBack, outer, grey, CLR_INVALID, grey, RGB(0, 0, 0));
    CRect t = rc;
    t.DeflateRect(2, 2);
    if (state & ODS_SELECTED)
        t.OffsetRect(1, 1);
    CFont font;
    font.CreatePointFont(90, std::string(res::String(IDS_BUTTON_FONT_FACE)).c_str(), pDC);
    CFont* old = pDC->SelectObject(&font);
    pDC->SetTextColor((state & ODS_DISABLED) ? grey : RGB(0, 0, 0));
    pDC->SetBkMode(TRANSPARENT);
    pDC->DrawText(GetWindowText(), &t, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS);
    pDC->SelectObject(old);
}

// ---------------------------------------------------------------------------

CDropButton* CButtonDropTarget::Target(CWnd* pWnd) const
{
    if (!m_pWnd || pWnd != m_pWnd)
        return nullptr;
    return m_pButton ? m_pButton : dynamic_cast<CDropButton*>(pWnd);
}

bool CButtonDropTarget::Offers(COleDataObject* pData) const { return IsAnyFormatAvailable(pData, m_formats); }

DROPEFFECT CButtonDropTarget::OnDragEnter(CWnd* pWnd, COleDataObject* pData, DWORD keys, CPoint pt)
{
    CDropButton* b = Target(pWnd);
    return b && Offers(pData) ? b->DoDragEnter(pData, keys, pt) : DROPEFFECT_NONE;
}

DROPEFFECT CButtonDropTarget::OnDragOver(CWnd* pWnd, COleDataObject* pData, DWORD keys, CPoint pt)
{
    CDropButton* b = Target(pWnd);
    return b && Offers(pData) ? b->DoDragOver(pData, keys, pt) : DROPEFFECT_NONE;
}

BOOL CButtonDropTarget::OnDrop(CWnd* pWnd, COleDataObject* pData, DROPEFFECT effect, CPoint pt)
{
    CDropButton* b = Target(pWnd);
    return b && Offers(pData) ? b->DoDrop(pData, effect, pt) : FALSE;
}

DROPEFFECT CButtonDropTarget::OnDragScroll(CWnd* pWnd, DWORD keys, CPoint pt)
{
    CDropButton* b = Target(pWnd);
    return b ? b->DoDragScroll(keys, pt) : DROPEFFECT_NONE;
}

BOOL CDropButton::Create(const std::string& caption, DWORD dwStyle, const RECT& rect, CWnd* pParent, UINT nID,
                         COLORREF crBack)
{
    m_pNotifyOwner = pParent;
    if (!CButtonEx::Create(caption, dwStyle, rect, pParent, nID, crBack))
        return FALSE;
    return m_dropTarget.Register(this);
}

void CDropButton::SetDropFormat(UINT cf)
{
    if (cf)
        m_dropTarget.m_formats.push_back(cf);
    m_cfDrop = cf;
}

bool CDropButton::Accepts(COleDataObject* pData) const
{
    std::vector<uint8_t> block = pData ? pData->GetGlobalData(m_cfDrop) : std::vector<uint8_t>();
    std::vector<std::string> paths;
    if (!ReadDropFilesBlock(block, paths) || paths.empty())
        return false;
    std::error_code ec;
    return std::filesystem::exists(paths.front(), ec) && !std::filesystem::is_directory(paths.front(), ec);
}

DWORD CDropButton::Notify(int code)
{
    m_notify = DropButtonNotify{};
    m_notify.hdr.hwndFrom = m_hWnd;
    m_notify.hdr.idFrom = UINT_PTR(GetDlgCtrlID());
    m_notify.hdr.code = code;
    if (m_pNotifyOwner)
        m_pNotifyOwner->SendMessage(WM_NOTIFY, WPARAM(m_hWnd), LPARAM(&m_notify));
    return m_notify.dwResult;
}

DROPEFFECT CDropButton::DoDragEnter(COleDataObject* pData, DWORD, CPoint)
{
    return Accepts(pData) ? Notify(NM_DRAGENTER) : DROPEFFECT_NONE;
}

DROPEFFECT CDropButton::DoDragOver(COleDataObject* pData, DWORD, CPoint)
{
    return Accepts(pData) ? Notify(NM_DRAGOVER) : DROPEFFECT_NONE;
}

BOOL CDropButton::DoDrop(COleDataObject* pData, DROPEFFECT, CPoint)
{
    if (!Accepts(pData))
        return FALSE;
    m_pDropData = pData;
    Notify(NM_DROP);
    m_pDropData = nullptr;
    return TRUE;
}

DROPEFFECT CDropButton::DoDragScroll(DWORD, CPoint) { return Notify(NM_DRAGSCROLL); }
