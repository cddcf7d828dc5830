#include "imaging/plugin_module.h"

#include "platform/path.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <glob.h>
#include <link.h>

PluginModule LoadPluginModule(const std::string& path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void FreePluginModule(PluginModule module)
{
    if (module)
        dlclose(module);
}

std::vector<std::string> ListPluginFiles(const std::string& pattern)
{
    std::vector<std::string> files;
    glob_t g{};
    if (::glob(pattern.c_str(), GLOB_NOSORT, nullptr, &g) == 0) {
        for (size_t i = 0; i < g.gl_pathc; ++i)
            files.emplace_back(g.gl_pathv[i]);
    }
    globfree(&g);
    std::sort(files.begin(), files.end());
    return files;
}

namespace {

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A NUL-terminated text inside a fixed field; a field without a terminator
// ends at the field's end.
std::string FieldText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

// A data symbol of the module with the bytes it really holds, from the
// module's symbol table, so that no size the module states leads a read past
// its end. Empty when the module has no such symbol.
struct PluginData {
    const char* bytes = nullptr;
    size_t size = 0;
};

PluginData FindPluginData(PluginModule module, const char* name)
{
    const auto* bytes = FindPluginEntry<const char*>(module, name);
    Dl_info info{};
    void* entry = nullptr;
    if (!bytes || !dladdr1(bytes, &info, &entry, RTLD_DL_SYMENT) || !entry ||
        info.dli_saddr != bytes)
        return {};
    return {bytes, static_cast<size_t>(static_cast<const ElfW(Sym)*>(entry)->st_size)};
}

std::vector<std::string> ReadInfoRecords(PluginModule module, const char* symbol, const char* sizeSymbol)
{
    std::vector<std::string> list;
    const PluginData records = FindPluginData(module, symbol);
    const PluginData size = FindPluginData(module, sizeSymbol);
    if (!records.bytes || size.size < sizeof(uint32_t))
        return list;
    uint32_t stated = 0;
    std::memcpy(&stated, size.bytes, sizeof stated);
    const size_t bytes = std::min<size_t>(stated, records.size);
    const size_t count = std::min<size_t>(bytes / QR_INFO_RECORD_SIZE, QR_EXT_ENTRIES);
    for (size_t i = 0; i < count; ++i) {
        // An empty record names no extension.
        std::string e = Upper(FieldText(records.bytes + i * QR_INFO_RECORD_SIZE, QR_INFO_RECORD_SIZE));
        if (!e.empty())
            list.push_back(std::move(e));
    }
    return list;
}

} // namespace

std::vector<std::string> ReadImporterExtensions(PluginModule module)
{
    std::vector<std::string> list;
    if (auto proc = FindPluginEntry<ImportExtProcFn>(module, "ImportExtProc")) {
        char entries[QR_EXT_ENTRIES][QR_EXT_ENTRY_SIZE] = {};
        const int16_t n = std::min<int16_t>(proc(entries, QR_EXT_ENTRIES), QR_EXT_ENTRIES);
        for (int16_t i = 0; i < n; ++i)
            list.push_back(Upper(FieldText(entries[i], QR_EXT_ENTRY_SIZE)));
        if (n >= 1)
            return list;
    }
    return ReadInfoRecords(module, QR_SYMBOL_IMPORTINFO, QR_SYMBOL_IMPORTINFO_SIZE);
}

std::vector<std::string> ReadExporterExtensions(PluginModule module)
{
    std::vector<std::string> list;
    if (auto proc = FindPluginEntry<ExportExtProcFn>(module, "ExportExtProc")) {
        char entries[QR_EXT_ENTRIES][QR_EXT_ENTRY_SIZE] = {};
        const int16_t n = std::min<int16_t>(proc(entries), QR_EXT_ENTRIES);
        for (int16_t i = 0; i < n; ++i)
            list.push_back(Upper(FieldText(entries[i], QR_EXT_ENTRY_SIZE)));
        if (n >= 1)
            return list;
    }
    list = ReadInfoRecords(module, QR_SYMBOL_EXPORTINFO, QR_SYMBOL_EXPORTINFO_SIZE);
    for (std::string& e : list)
        if (!e.empty() && e[0] == '.')
            e.erase(0, 1);
    return list;
}

std::string ReadPluginName(PluginModule module, bool exporter)
{
    if (exporter) {
        if (auto proc = FindPluginEntry<ExportNameProcFn>(module, "ExportNameProc")) {
            char name[256] = {};
            if (proc(name) != 0)
                return FieldText(name, sizeof name);
        }
    }
    const PluginData text = FindPluginData(module, QR_SYMBOL_STRING_2000);
    return text.bytes ? FieldText(text.bytes, std::min<size_t>(text.size, 256)) : std::string();
}

std::string UpperFileExtensionWithDot(const std::string& path) { return Upper(DottedExtensionOf(path)); }

bool ExtensionListsShare(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    auto norm = [](std::string s) {
        s.erase(std::remove(s.begin(), s.end(), '.'), s.end());
        return Upper(s);
    };
    for (const std::string& x : a)
        for (const std::string& y : b)
            if (norm(x) == norm(y))
                return true;
    return false;
}
