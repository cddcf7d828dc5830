#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Binary resources of the program (pictures kept as their file bytes), keyed
// by resource type and id.
namespace res {

// The bytes of resource (type, id); empty when there is none.
std::vector<uint8_t> BinaryResource(std::string_view type, uint32_t id);

} // namespace res
