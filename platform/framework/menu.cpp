#include "platform/framework/menu.h"

#include "platform/framework/wnd.h"
#include "platform/framework/wnd_bridge.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

#include <algorithm>
#include <map>

namespace {
CMenu::Chooser g_chooser = nullptr;
CMenu::MessageFilterProc g_filter = nullptr;
QPointer<QMenu> g_openPopup;

std::map<UINT, std::vector<MenuResourceItem>>& MenuResources()
{
    static std::map<UINT, std::vector<MenuResourceItem>> menus;
    return menus;
}

// Hands the input of an open popup to the process's message filter first.
class MenuInputFilter : public QObject {
public:
    bool eventFilter(QObject* obj, QEvent* e) override
    {
        if (!g_filter)
            return false;
        auto* w = qobject_cast<QWidget*>(obj);
        MSG msg;
        switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
            if (!fwdetail::TranslateEvent(nullptr, w, e, msg))
                return false;
            break;
        default: return false;
        }
        if (e->type() != QEvent::KeyPress) {
            QPoint g = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
            msg.lParam = MAKELPARAM(g.x(), g.y());
        }
        return g_filter(MSGF_MENU, &msg) != FALSE;
    }
};

// The text a popup shows: "&&" stays a literal ampersand, one "&" marks the mnemonic.
QString ActionText(const std::string& text) { return QString::fromStdString(text); }

// Fills a Qt menu from the menu's entries; a cascade fills itself when it opens.
void Populate(QMenu* qm, CMenu* menu, CWnd* owner, MenuInputFilter* filter)
{
    qm->clear();
    int pos = 0;
    for (const CMenu::Item& i : menu->Items()) {
        const int here = pos++;
        if (i.flags & MF_SEPARATOR) {
            qm->addSeparator();
            continue;
        }
        if ((i.flags & MF_POPUP) && i.popup) {
            auto* sub = new QMenu(ActionText(i.text), qm);
            sub->installEventFilter(filter);
            CMenu* child = i.popup;
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, child, owner, filter, here]() {
                if (owner)
                    owner->SendMessage(WM_INITMENUPOPUP, WPARAM(child), MAKELPARAM(here, 0));
                Populate(sub, child, owner, filter);
            });
            QAction* a = qm->addMenu(sub);
            a->setEnabled(!(i.flags & (MF_GRAYED | MF_DISABLED)));
            a->setData(QVariant::fromValue<qulonglong>(0x100000000ULL | UINT(here)));
            continue;
        }
        QAction* a = qm->addAction(ActionText(i.text));
        a->setData(QVariant::fromValue<qulonglong>(i.id));
        a->setEnabled(!(i.flags & (MF_GRAYED | MF_DISABLED)));
        a->setCheckable((i.flags & MF_CHECKED) != 0);
        a->setChecked((i.flags & MF_CHECKED) != 0);
    }
    // A cascade fills itself again each time it opens: wire its hover once.
    if (owner && !qm->property("qr_hoverWired").toBool()) {
        qm->setProperty("qr_hoverWired", true);
        QObject::connect(qm, &QMenu::hovered, qm, [qm, menu, owner](QAction* a) {
            const qulonglong d = a ? a->data().toULongLong() : 0;
            const bool popup = (d & 0x100000000ULL) != 0;
            UINT flags = popup ? UINT(MF_POPUP) : 0u;
            if (a && !a->isEnabled())
                flags |= MF_GRAYED;
            if (QPointer<QMenu>(qm))
                owner->SendMessage(WM_MENUSELECT, MAKEWPARAM(int(d & 0xFFFF), int(flags)), LPARAM(menu));
        });
    }
}
} // namespace

void RegisterMenuResource(UINT nID, std::vector<MenuResourceItem> items) { MenuResources()[nID] = std::move(items); }

BOOL CMenu::LoadMenu(UINT nIDResource)
{
    auto it = MenuResources().find(nIDResource);
    if (it == MenuResources().end())
        return FALSE;
    DestroyMenu();
    CreateMenu();
    auto fill = [](auto& self, CMenu* menu, const std::vector<MenuResourceItem>& items, CMenu* owner) -> void {
        for (const MenuResourceItem& r : items) {
            if (!r.popup.empty() || (r.flags & MF_POPUP)) {
                auto sub = std::make_unique<CMenu>();
                sub->CreatePopupMenu();
                self(self, sub.get(), r.popup, owner);
                menu->m_items.push_back(Item{MF_POPUP | (r.flags & (MF_GRAYED | MF_DISABLED)), 0, r.text, sub.get()});
                owner->m_ownedPopups.push_back(std::move(sub));
            } else {
                menu->AppendMenu(r.flags, r.id, r.text);
            }
        }
    };
    fill(fill, this, it->second, this);
    return TRUE;
}

CMenu::MessageFilterProc CMenu::SetMessageFilter(MessageFilterProc proc)
{
    MessageFilterProc old = g_filter;
    g_filter = proc;
    return old;
}

void CMenu::EndMenu()
{
    if (g_openPopup)
        g_openPopup->close();
}

QMenu* CMenu::GetOpenPopup() { return g_openPopup.data(); }

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
    m_ownedPopups.clear();
    m_bCreated = FALSE;
    return TRUE;
}

BOOL CMenu::AppendMenu(UINT nFlags, UINT_PTR nIDNewItem, const std::string& text)
{
    m_items.push_back(Item{nFlags, UINT(nIDNewItem), text, nullptr});
    return TRUE;
}

BOOL CMenu::InsertMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const std::string& text)
{
    if (!(nFlags & MF_BYPOSITION))
        return FALSE;
    const size_t at = std::min<size_t>(nPosition, m_items.size());
    m_items.insert(m_items.begin() + std::ptrdiff_t(at), Item{nFlags & ~UINT(MF_BYPOSITION), UINT(nIDNewItem), text, nullptr});
    return TRUE;
}

BOOL CMenu::ModifyMenu(UINT nPosition, UINT nFlags, UINT_PTR nIDNewItem, const std::string& text)
{
    Item* i = Find(nPosition, nFlags & MF_BYPOSITION);
    if (!i || (i->flags & MF_POPUP))
        return FALSE;
    *i = Item{nFlags & ~UINT(MF_BYPOSITION), UINT(nIDNewItem), text, nullptr};
    return TRUE;
}

BOOL CMenu::DeleteMenu(UINT nPosition, UINT nFlags)
{
    if (nFlags & MF_BYPOSITION) {
        if (nPosition >= m_items.size())
            return FALSE;
        m_items.erase(m_items.begin() + std::ptrdiff_t(nPosition));
        return TRUE;
    }
    for (size_t i = 0; i < m_items.size(); ++i)
        if (!(m_items[i].flags & (MF_SEPARATOR | MF_POPUP)) && m_items[i].id == nPosition) {
            m_items.erase(m_items.begin() + std::ptrdiff_t(i));
            return TRUE;
        }
    return FALSE;
}

CMenu::Item* CMenu::Find(UINT nID, UINT nFlags)
{
    if (nFlags & MF_BYPOSITION)
        return nID < m_items.size() ? &m_items[nID] : nullptr;
    for (Item& i : m_items)
        if (!(i.flags & (MF_SEPARATOR | MF_POPUP)) && i.id == nID)
            return &i;
    // A command is found in the cascades too.
    for (Item& i : m_items)
        if ((i.flags & MF_POPUP) && i.popup && i.popup != this)
            if (Item* found = i.popup->Find(nID, nFlags))
                return found;
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
        MenuInputFilter filter;
        QMenu menu(pWnd ? pWnd->m_hWnd : nullptr);
        menu.installEventFilter(&filter);
        Populate(&menu, this, pWnd, &filter);
        QPointer<QMenu> outer = g_openPopup;
        g_openPopup = &menu;
        QAction* a = menu.exec(QPoint(x, y));
        g_openPopup = outer;
        if (a && !(a->data().toULongLong() & 0x100000000ULL))
            chosen = UINT(a->data().toULongLong());
    }
    if (pWnd)
        pWnd->SendMessage(WM_EXITMENULOOP, 0, 0);
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

void CMenuCmdUI::SetText(const std::string& text)
{
    if (m_pMenu && m_nIndex < UINT(m_pMenu->GetMenuItemCount()))
        m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | (m_pMenu->Items()[m_nIndex].flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED)),
                            m_nID, text);
}

void CMenuCmdUI::SetCheck(int nCheck)
{
    CCmdUI::SetCheck(nCheck);
    if (m_pMenu)
        m_pMenu->CheckMenuItem(m_nID, nCheck ? MF_CHECKED : MF_UNCHECKED);
}
