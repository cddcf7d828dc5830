#pragma once

#include <dlfcn.h>
#include <string>

namespace qrtest {

// A test's own handle on a scripted fake plug-in (tests/plugins/fakes). The
// host's dlopen gets the same instance, so the script set here is what the
// host's calls see. It starts from an empty script and log, whatever an earlier
// test left in a fake that stayed loaded.
class FakePlugin {
public:
    explicit FakePlugin(const std::string& path) : m_handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (m_handle)
            Entry<void (*)()>("FakeReset")();
    }
    ~FakePlugin()
    {
        if (m_handle)
            dlclose(m_handle);
    }
    FakePlugin(const FakePlugin&) = delete;
    FakePlugin& operator=(const FakePlugin&) = delete;

    bool Loaded() const { return m_handle != nullptr; }
    void Set(const char* key, long value) const { Entry<void (*)(const char*, long)>("FakeControl")(key, value); }
    // Blocks (bounded) until the plug-in's script has the value.
    bool WaitFor(const char* key, long value) const
    {
        return Entry<bool (*)(const char*, long)>("FakeWaitFor")(key, value);
    }
    std::string Log() const { return Entry<const char* (*)()>("FakeLog")(); }
    void ClearLog() const { Entry<void (*)()>("FakeClearLog")(); }

private:
    template <class F> F Entry(const char* name) const { return reinterpret_cast<F>(dlsym(m_handle, name)); }

    void* m_handle;
};

} // namespace qrtest
