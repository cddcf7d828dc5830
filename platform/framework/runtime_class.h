#pragma once

#include <cstddef>

// Runtime class records: the name a class is created by, its base, and a
// factory for the classes that documents, frames, views and splitter panes are
// made from by name.

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    unsigned m_wSchema;
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* base) const
    {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass)
            if (c == base)
                return true;
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* c) const { return GetRuntimeClass()->IsDerivedFrom(c); }
};

#define RUNTIME_CLASS(cls) (&cls::class##cls)

#define DECLARE_DYNAMIC(cls)                                                                   \
public:                                                                                        \
    static const CRuntimeClass class##cls;                                                     \
    const CRuntimeClass* GetRuntimeClass() const override { return &class##cls; }

#define DECLARE_DYNCREATE(cls)                                                                 \
    DECLARE_DYNAMIC(cls)                                                                       \
    static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS(cls, base, schema, factory)                                     \
    const CRuntimeClass cls::class##cls = {#cls, int(sizeof(cls)), schema, factory, RUNTIME_CLASS(base)};

#define IMPLEMENT_DYNAMIC(cls, base) IMPLEMENT_RUNTIMECLASS(cls, base, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(cls, base)                                                         \
    CObject* cls::CreateObject() { return new cls; }                                           \
    IMPLEMENT_RUNTIMECLASS(cls, base, 0xFFFF, cls::CreateObject)
