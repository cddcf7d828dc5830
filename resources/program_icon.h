#pragma once

#include <QIcon>

#include <string_view>

// The programs' icons, drawn at the sizes a desktop asks for (16 to 256
// pixels). Each program is known to the desktop by one name: its icon's name
// in the icon theme and its .desktop file's name.
namespace res {

constexpr std::string_view kMainProgramName = "quiram-relayo";
constexpr std::string_view kReaderProgramName = "quiram-relayo-reader";

// The icon the resources hold under that name, every size of it; null when none.
QIcon ProgramIcon(std::string_view name);

} // namespace res
