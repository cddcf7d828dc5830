#include "platform/path.h"

std::string ParentFolderOf(std::string_view path)
{
    // "/a/b/" names the same entry as "/a/b".
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
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
