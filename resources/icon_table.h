#pragma once

#include <cstdint>

// Small icons of the program, kept as text pictures keyed by resource id.
namespace res {

struct IconPixels {
    uint32_t id;
    int width;
    int height;
    // "c=RRGGBB;" entries, one per character used in the rows; "none" is transparent.
    const char* palette;
    const char* rows[32];
};

// The icon of an id, or null when the resources hold none.
const IconPixels* Icon(uint32_t id);

} // namespace res
