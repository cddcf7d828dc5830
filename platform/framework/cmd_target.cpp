#include "platform/framework/cmd_target.h"

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
const CRuntimeClass CObject::classCObject = {"CObject", int(sizeof(CObject)), 0xFFFF, nullptr, nullptr};

const MsgMap* CCmdTarget::GetThisMessageMap()
{
    static const MsgMap map = {nullptr, {}};
    return &map;
}

const MsgMapEntry* CCmdTarget::FindEntry(MsgKind kind, UINT message, int code, UINT id) const
{
    for (const MsgMap* m = GetMessageMap(); m; m = m->pfnGetBaseMap ? m->pfnGetBaseMap() : nullptr) {
        for (const MsgMapEntry& e : m->entries) {
            if (e.kind != kind)
                continue;
            switch (kind) {
            case MsgKind::Message:
                if (e.message == message)
                    return &e;
                break;
            case MsgKind::CommandReflect:
            case MsgKind::NotifyReflect:
                if (e.code == code)
                    return &e;
                break;
            default:
                if (e.code == code && id >= e.idFirst && id <= e.idLast)
                    return &e;
                break;
            }
        }
    }
    return nullptr;
}

BOOL CCmdTarget::DispatchEntry(const MsgMapEntry* e, UINT id, void* extra, LRESULT* result)
{
    LRESULT dummy = 0;
    return e->fn(this, id, extra, result ? result : &dummy);
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra)
{
    if (nCode == CN_UPDATE_COMMAND_UI) {
        const MsgMapEntry* e = FindEntry(MsgKind::UpdateUI, WM_COMMAND, CN_UPDATE_COMMAND_UI, nID);
        if (!e)
            return FALSE;
        DispatchEntry(e, nID, static_cast<CCmdUI*>(pExtra), nullptr);
        return TRUE;
    }
    // A probe for a handler: pExtra carries a flag to set, nothing is called.
    const MsgMapEntry* e = FindEntry(MsgKind::Command, WM_COMMAND, nCode, nID);
    if (!e)
        return FALSE;
    if (pExtra == &CCmdTarget::classCCmdTarget)
        return TRUE;
    return DispatchEntry(e, nID, nullptr, nullptr);
}

void CCmdUI::Enable(BOOL bOn)
{
    m_bEnabled = bOn;
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) { m_nCheck = nCheck; }

void CCmdUI::SetText(const std::string&) {}

BOOL CCmdUI::DoUpdate(CCmdTarget* target, BOOL bDisableIfNoHandler)
{
    if (!target)
        return FALSE;
    m_bEnableChanged = FALSE;
    BOOL handled = target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this);
    if (bDisableIfNoHandler && !m_bEnableChanged) {
        // No update handler decided: enabled only when some target would run it.
        BOOL hasHandler = target->OnCmdMsg(m_nID, CN_COMMAND,
                                           const_cast<CRuntimeClass*>(&CCmdTarget::classCCmdTarget));
        Enable(hasHandler);
    }
    return handled;
}
