#include "platform/framework/menu.h"

#include "platform/framework/wnd.h"

#include <QAction>
#include <QMenu>

namespace {
CMenu::Chooser g_chooser = nullptr;
}

CMenu::CMenu() = default;
CMenu::~CMenu() = default;

void CMenu::SetChooser(Chooser chooser) { g_chooser = chooser; }

BOOL CMenu::CreatePopupMenu()
{
    m_items.clear();
    m_bCreated = TRUE;
    return TRUE;
}

BOOL CMenu::DestroyMenu()
{
    m_items.clear();
    m_bCreated = FALSE;
    return TRUE;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const std::string& text)
{
    m_items.push_back(Item{nFlags, UINT(nIDNewItem), text, nullptr});
    return TRUE;
}

BOOL CMenu::AppendPopup(CMenu* pPopup, const std::string& text)
{
    m_items.push_back(Item{MF_POPUP, 0, text, pPopup});
    return TRUE;
}

CMenu::Item* CMenu::Find(UINT nID, UINT nFlags)
{
    if (nFlags & MF_BYPOSITION)
        return nID < m_items.size() ? &m_items[nID] : nullptr;
    for (Item& i : m_items)
        if (!(i.flags & (MF_SEPARATOR | MF_POPUP)) && i.id == nID)
            return &i;
    return nullptr;
}

const CMenu::Item* CMenu::Find(UINT nID, UINT nFlags) const { return const_cast<CMenu*>(this)->Find(nID, nFlags); }

UINT CMenu::EnableMenuItem(UINT nID, UINT nEnable)
{
    Item* i = Find(nID, nEnable);
    if (!i)
        return UINT(-1);
    UINT old = i->flags & (MF_GRAYED | MF_DISABLED);
    i->flags = (i->flags & ~(MF_GRAYED | MF_DISABLED)) | (nEnable & (MF_GRAYED | MF_DISABLED));
    return old;
}

UINT CMenu::CheckMenuItem(UINT nID, UINT nCheck)
{
    Item* i = Find(nID, nCheck);
    if (!i)
        return UINT(-1);
    UINT old = i->flags & MF_CHECKED;
    i->flags = (i->flags & ~MF_CHECKED) | (nCheck & MF_CHECKED);
    return old;
}

UINT CMenu::GetMenuState(UINT nID, UINT nFlags) const
{
    const Item* i = Find(nID, nFlags);
    return i ? i->flags : UINT(-1);
}

UINT CMenu::GetMenuItemID(int nPos) const
{
    if (nPos < 0 || nPos >= int(m_items.size()))
        return UINT(-1);
    const Item& i = m_items[size_t(nPos)];
    return (i.flags & MF_POPUP) ? UINT(-1) : i.id;
}

std::string CMenu::GetMenuString(UINT nID, UINT nFlags) const
{
    const Item* i = Find(nID, nFlags);
    return i ? i->text : std::string();
}

CMenu* CMenu::GetSubMenu(int nPos) const
{
    if (nPos < 0 || nPos >= int(m_items.size()))
        return nullptr;
    return m_items[size_t(nPos)].popup;
}

UINT CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, const RECT*)
{
    if (pWnd)
        pWnd->SendMessage(WM_INITMENUPOPUP, WPARAM(this), MAKELPARAM(0, m_bSysMenu ? 1 : 0));
    UINT chosen = 0;
    if (g_chooser) {
        chosen = g_chooser(this);
    } else {
        QMenu menu(pWnd ? pWnd->m_hWnd : nullptr);
        for (const Item& i : m_items) {
            if (i.flags & MF_SEPARATOR) {
                menu.addSeparator();
                continue;
            }
            QAction* a = menu.addAction(QString::fromStdString(i.text).replace('&', "&&").replace("&&&&", "&&"));
            a->setData(i.id);
            a->setEnabled(!(i.flags & (MF_GRAYED | MF_DISABLED)));
            a->setCheckable((i.flags & MF_CHECKED) != 0);
            a->setChecked((i.flags & MF_CHECKED) != 0);
        }
        if (QAction* a = menu.exec(QPoint(x, y)))
            chosen = a->data().toUInt();
    }
    if (chosen) {
        const Item* it = Find(chosen, MF_BYCOMMAND);
        if (!it || (it->flags & (MF_GRAYED | MF_DISABLED)))
            return 0;
    }
    if (!(nFlags & TPM_RETURNCMD) && chosen && pWnd)
        pWnd->PostMessage(m_bSysMenu ? WM_SYSCOMMAND : WM_COMMAND, chosen, 0);
    return chosen;
}

void CMenuCmdUI::Enable(BOOL bOn)
{
    CCmdUI::Enable(bOn);
    if (m_pMenu)
        m_pMenu->EnableMenuItem(m_nID, bOn ? MF_ENABLED : MF_GRAYED);
}

void CMenuCmdUI::SetCheck(int nCheck)
{
    CCmdUI::SetCheck(nCheck);
    if (m_pMenu)
        m_pMenu->CheckMenuItem(m_nID, nCheck ? MF_CHECKED : MF_UNCHECKED);
}
