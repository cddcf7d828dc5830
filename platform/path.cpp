#include "platform/path.h"

namespace {

// '.' and '/' are one-byte characters, and in UTF-8 no byte of a longer
// character has a one-byte value, so a plain search never lands inside one.
std::string_view WithoutTrailingSeparators(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

std::string_view LastNameView(std::string_view path)
{
    path = WithoutTrailingSeparators(path);
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Where the dotted extension starts in the last name; the name's size when it has none.
size_t ExtensionStart(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name == "..")
        return name.size();
    return dot;
}

} // namespace

std::string ParentFolderOf(std::string_view path)
{
    path = WithoutTrailingSeparators(path);
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos || path == "/")
        return {};
    size_t end = slash;
    while (end > 0 && path[end - 1] == '/')
        --end;
    return end == 0 ? std::string("/") : std::string(path.substr(0, end));
}

std::string ParentFolderToOpen(std::string_view path)
{
    const std::string parent = ParentFolderOf(path);
    return parent.empty() ? std::string(path.starts_with('/') ? "/" : ".") : parent;
}

std::string LastNameOf(std::string_view path) { return std::string(LastNameView(path)); }

std::string DottedExtensionOf(std::string_view path)
{
    const std::string_view name = LastNameView(path);
    return std::string(name.substr(ExtensionStart(name)));
}

std::string ExtensionOf(std::string_view path)
{
    const std::string_view name = LastNameView(path);
    const size_t start = ExtensionStart(name);
    return start == name.size() ? std::string() : std::string(name.substr(start + 1));
}

std::string StemOf(std::string_view path)
{
    const std::string_view name = LastNameView(path);
    return std::string(name.substr(0, ExtensionStart(name)));
}
