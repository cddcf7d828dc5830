#pragma once

#include "platform/shell_namespace.h"

#include <optional>
#include <string>

namespace qrtest {

// A home of the test's own for the folder trees while it lives: the given
// home, its Pictures folder as the only user folder, no desktop folder and
// no volume but the file-system root. The session's places come back after.
class ScopedShellPlaces {
public:
    explicit ScopedShellPlaces(const std::string& home)
    {
        ShellPlaces places;
        places.home = home;
        places.userFolders.push_back({home + "/Pictures", "folder-pictures"});
        m_previous = CShellNamespace::Instance().SetPlaces(places);
    }
    ~ScopedShellPlaces() { CShellNamespace::Instance().SetPlaces(m_previous); }
    ScopedShellPlaces(const ScopedShellPlaces&) = delete;
    ScopedShellPlaces& operator=(const ScopedShellPlaces&) = delete;

private:
    std::optional<ShellPlaces> m_previous;
};

} // namespace qrtest
