#include "imaging/plugin_module.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <glob.h>

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

std::vector<std::string> ReadInfoRecords(PluginModule module, const char* symbol, const char* sizeSymbol)
{
    std::vector<std::string> list;
    const auto* records = FindPluginEntry<const char*>(module, symbol);
    const auto* size = FindPluginEntry<const uint32_t*>(module, sizeSymbol);
    if (!records || !size)
        return list;
    const uint32_t count = std::min<uint32_t>(*size / QR_INFO_RECORD_SIZE, QR_EXT_ENTRIES);
    for (uint32_t i = 0; i < count; ++i) {
        // An empty record names no extension.
        std::string e = Upper(FieldText(records + i * QR_INFO_RECORD_SIZE, QR_INFO_RECORD_SIZE));
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
    if (const char* text = FindPluginEntry<const char*>(module, QR_SYMBOL_STRING_2000))
        return FieldText(text, 256);
    return {};
}

std::string UpperExtensionOfPath(const std::string& path)
{
    const auto dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : Upper(path.substr(dot + 1));
}

std::string UpperFileExtensionWithDot(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return Upper(path.substr(dot));
}

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
