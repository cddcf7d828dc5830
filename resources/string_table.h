#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The string table of both programs, keyed by the same ids as the menus,
// toolbars and message boxes. Texts are UTF-8.
namespace res {

// The reader program's build of the shared classes: its own settings key,
// message document string, Open filter and title take the place of the main
// program's. Set once at start-up.
void SetReaderRole(bool bReader);
bool IsReaderRole();

// The text of a string id; empty when the table has none.
std::string_view String(uint32_t id);
bool HasString(uint32_t id);

// A status-bar prompt and its tooltip share one string, separated by '\n'.
std::string_view PromptPart(uint32_t id);
std::string_view TooltipPart(uint32_t id);

} // namespace res

// The class-library spelling used by the program's classes.
inline std::string LoadResString(uint32_t id) { return std::string(res::String(id)); }
