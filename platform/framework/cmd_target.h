#pragma once

#include "platform/framework/runtime_class.h"
#include "platform/framework/wnd_defs.h"

#include <string>
#include <type_traits>
#include <vector>

// Command targets and their dispatch tables. Each class that handles commands,
// update requests, control notifications or its own messages declares one
// table (DECLARE_MESSAGE_MAP) and lists its handlers between BEGIN_MESSAGE_MAP
// and END_MESSAGE_MAP; a lookup walks the class's table, then its base's.

class CCmdTarget;
class CCmdUI;

enum class MsgKind {
    Command,       // WM_COMMAND with a code (0 for menus and accelerators), one id or a range
    UpdateUI,      // CN_UPDATE_COMMAND_UI for one id or a range
    Notify,        // WM_NOTIFY from a control id with a code
    CommandReflect,// a control's own WM_COMMAND code, reflected back to it
    NotifyReflect, // a control's own WM_NOTIFY code, reflected back to it
    Message,       // any message number (user or registered message)
};

// handler(target, id, extra, result): extra is the CCmdUI, the NMHDR or the
// message's WPARAM/LPARAM pair; returns FALSE when it declined.
using MsgHandlerFn = BOOL (*)(CCmdTarget* target, UINT id, void* extra, LRESULT* result);

struct MsgMapEntry {
    MsgKind kind;
    UINT message;   // the message number for Message entries
    int code;       // the notification or command code
    UINT idFirst;
    UINT idLast;
    MsgHandlerFn fn;
};

struct MsgMap {
    const MsgMap* (*pfnGetBaseMap)();
    std::vector<MsgMapEntry> entries;
};

struct MsgParams {
    WPARAM wParam;
    LPARAM lParam;
};

namespace fwmap {

template <class T> struct MemberClass;
template <class C, class R, class... A> struct MemberClass<R (C::*)(A...)> { using type = C; };
template <auto F> using ClassOf = typename MemberClass<decltype(F)>::type;

template <auto F> MsgMapEntry Command(UINT first, UINT last, int code)
{
    using C = ClassOf<F>;
    using Fn = decltype(F);
    if constexpr (std::is_invocable_v<Fn, C*, UINT>) {
        // A range handler gets the id; one returning BOOL may decline.
        return {MsgKind::Command, WM_COMMAND, code, first, last, [](CCmdTarget* t, UINT id, void*, LRESULT*) -> BOOL {
                    if constexpr (std::is_same_v<std::invoke_result_t<Fn, C*, UINT>, void>) {
                        (static_cast<C*>(t)->*F)(id);
                        return TRUE;
                    } else {
                        return (static_cast<C*>(t)->*F)(id);
                    }
                }};
    } else {
        return {MsgKind::Command, WM_COMMAND, code, first, last, [](CCmdTarget* t, UINT, void*, LRESULT*) -> BOOL {
                    (static_cast<C*>(t)->*F)();
                    return TRUE;
                }};
    }
}

template <auto F> MsgMapEntry Update(UINT first, UINT last)
{
    using C = ClassOf<F>;
    return {MsgKind::UpdateUI, WM_COMMAND, CN_UPDATE_COMMAND_UI, first, last,
            [](CCmdTarget* t, UINT, void* extra, LRESULT*) -> BOOL {
                (static_cast<C*>(t)->*F)(static_cast<CCmdUI*>(extra));
                return TRUE;
            }};
}

template <auto F> MsgMapEntry Notify(MsgKind kind, int code, UINT first, UINT last)
{
    using C = ClassOf<F>;
    using Fn = decltype(F);
    if constexpr (std::is_invocable_v<Fn, C*, UINT, NMHDR*, LRESULT*>) {
        return {kind, WM_NOTIFY, code, first, last, [](CCmdTarget* t, UINT id, void* extra, LRESULT* r) -> BOOL {
                    (static_cast<C*>(t)->*F)(id, static_cast<NMHDR*>(extra), r);
                    return TRUE;
                }};
    } else {
        return {kind, WM_NOTIFY, code, first, last, [](CCmdTarget* t, UINT, void* extra, LRESULT* r) -> BOOL {
                    (static_cast<C*>(t)->*F)(static_cast<NMHDR*>(extra), r);
                    return TRUE;
                }};
    }
}

template <auto F> MsgMapEntry Reflect(int code)
{
    using C = ClassOf<F>;
    return {MsgKind::CommandReflect, WM_COMMAND, code, 0, 0, [](CCmdTarget* t, UINT, void*, LRESULT*) -> BOOL {
                (static_cast<C*>(t)->*F)();
                return TRUE;
            }};
}

template <auto F> MsgMapEntry Message(UINT msg)
{
    using C = ClassOf<F>;
    return {MsgKind::Message, msg, 0, 0, 0, [](CCmdTarget* t, UINT, void* extra, LRESULT* r) -> BOOL {
                auto* p = static_cast<MsgParams*>(extra);
                *r = (static_cast<C*>(t)->*F)(p->wParam, p->lParam);
                return TRUE;
            }};
}

} // namespace fwmap

#define DECLARE_MESSAGE_MAP()                                                                  \
protected:                                                                                     \
    static const MsgMap* GetThisMessageMap();                                                  \
    const MsgMap* GetMessageMap() const override { return GetThisMessageMap(); }

#define BEGIN_MESSAGE_MAP(cls, base)                                                           \
    const MsgMap* cls::GetThisMessageMap()                                                     \
    {                                                                                          \
        using ThisClass = cls;                                                                 \
        using TheBaseClass = base;                                                             \
        (void)sizeof(ThisClass);                                                               \
        static const MsgMap map = {&TheBaseClass::GetThisMessageMap, {

#define END_MESSAGE_MAP()                                                                      \
        }};                                                                                    \
        return &map;                                                                           \
    }

#define ON_COMMAND(id, fn) fwmap::Command<fn>(id, id, 0),
#define ON_COMMAND_RANGE(first, last, fn) fwmap::Command<fn>(first, last, 0),
#define ON_CONTROL(code, id, fn) fwmap::Command<fn>(id, id, int(code)),
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_UPDATE_COMMAND_UI(id, fn) fwmap::Update<fn>(id, id),
#define ON_UPDATE_COMMAND_UI_RANGE(first, last, fn) fwmap::Update<fn>(first, last),
#define ON_NOTIFY(code, id, fn) fwmap::Notify<fn>(MsgKind::Notify, int(code), id, id),
#define ON_NOTIFY_REFLECT(code, fn) fwmap::Notify<fn>(MsgKind::NotifyReflect, int(code), 0, 0),
#define ON_CONTROL_REFLECT(code, fn) fwmap::Reflect<fn>(int(code)),
#define ON_MESSAGE(msg, fn) fwmap::Message<fn>(msg),

// The state of one user-interface item (menu item, toolbar button, status
// pane, dialog control) while its owner's update handler decides it.
class CCmdUI {
public:
    virtual ~CCmdUI() = default;
    UINT m_nID = 0;
    UINT m_nIndex = 0;
    void* m_pOther = nullptr;
    BOOL m_bEnableChanged = FALSE;

    virtual void Enable(BOOL bOn = TRUE);
    virtual void SetCheck(int nCheck = 1);
    virtual void SetText(const std::string& text);

    // Asks the target's update handler; without one, disables the item when
    // asked to and no command handler exists either.
    BOOL DoUpdate(CCmdTarget* target, BOOL bDisableIfNoHandler);

    // What the handler decided, for items that read it back.
    BOOL m_bEnabled = TRUE;
    int m_nCheck = 0;
};

class CCmdTarget : public CObject {
    DECLARE_DYNAMIC(CCmdTarget)
public:
    // Looks the id up in this target's tables (nCode: CN_COMMAND, a control
    // code, or CN_UPDATE_COMMAND_UI with pExtra the CCmdUI). Routing classes
    // override it to offer the command to other targets first.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra);


protected:
    static const MsgMap* GetThisMessageMap();
    virtual const MsgMap* GetMessageMap() const { return GetThisMessageMap(); }
    const MsgMapEntry* FindEntry(MsgKind kind, UINT message, int code, UINT id) const;
    BOOL DispatchEntry(const MsgMapEntry* e, UINT id, void* extra, LRESULT* result);

    friend class CCmdUI;
    friend class CWnd;
};
