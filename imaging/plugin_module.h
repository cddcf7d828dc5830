#pragma once

#include "util/shell_util.h" // NoProgressCallback, the callback every host starts with
#include "imaging/plugin_api.h"

#include <dlfcn.h>
#include <string>
#include <vector>

// Loading importer and exporter plug-in modules and reading what they say of
// themselves. Everything a module answers is checked before use.

using PluginModule = void*;

// dlopen of the path; null when it cannot be loaded.
PluginModule LoadPluginModule(const std::string& path);
void FreePluginModule(PluginModule module);

template <typename F>
F FindPluginEntry(PluginModule module, const char* name)
{
    return module ? reinterpret_cast<F>(dlsym(module, name)) : nullptr;
}

// The plug-in files a search pattern ("folder/*.gim") names, in a stable order.
std::vector<std::string> ListPluginFiles(const std::string& pattern);

// Extensions of an importer, upper-cased, as listed (".JPG"): ImportExtProc,
// else the IMPORTINFO records. Counts above 32 and entries without a
// terminator are cut to what the buffers hold.
std::vector<std::string> ReadImporterExtensions(PluginModule module);

// Extensions of an exporter, upper-cased: ExportExtProc as listed ("JPG"),
// else the EXPORTINFO records without a leading dot.
std::vector<std::string> ReadExporterExtensions(PluginModule module);

// The display name: ExportNameProc for exporters, else string 2000.
std::string ReadPluginName(PluginModule module, bool exporter);

// The file name's extension with its dot (platform/path.h's DottedExtensionOf),
// upper-cased; empty without one.
std::string UpperFileExtensionWithDot(const std::string& path);

// True when the two lists share an extension, compared without case and with
// every "." removed.
bool ExtensionListsShare(const std::vector<std::string>& a, const std::vector<std::string>& b);
