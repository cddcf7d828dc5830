#pragma once

// The browser's item store over a temporary folder of its own (its cache and
// settings inside it), with the program's importers; given back at the end.
#include "browser/file_item_store.h"
#include "platform/registry.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace qrbench {

// A count from the environment, else the default.
inline int EnvCount(const char* name, int fallback)
{
    const char* n = std::getenv(name);
    return n ? std::max(1, std::atoi(n)) : fallback;
}

struct BrowserStore {
    std::filesystem::path root;
    std::unique_ptr<CRegistryStore> registry;

    explicit BrowserStore(const char* name)
    {
        std::string pattern = std::string("/tmp/") + name + "-XXXXXX";
        root = mkdtemp(pattern.data());
        std::filesystem::create_directories(root / "cache");
        registry = std::make_unique<CRegistryStore>(root / "reg", root / "reg");
        SetRegistryStore(registry.get());
        const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
        InitFileItemStore((root / "cache").string(), (exe.parent_path().parent_path() / "bin").string() + "/");
    }
    ~BrowserStore()
    {
        ExitFileItemStore();
        SetRegistryStore(nullptr);
        std::filesystem::remove_all(root);
    }
    BrowserStore(const BrowserStore&) = delete;
    BrowserStore& operator=(const BrowserStore&) = delete;
};

} // namespace qrbench
