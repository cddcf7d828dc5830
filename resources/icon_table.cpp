#include "resources/icon_table.h"

namespace res {
namespace {

const IconPixels kIcons[] = {
#include "icons/browser_icons.inc"
#include "icons/folder_icons.inc"
#include "icons/framework_icons.inc"
};

} // namespace

const IconPixels* Icon(uint32_t id)
{
    for (const IconPixels& icon : kIcons)
        if (icon.id == id)
            return &icon;
    return nullptr;
}

} // namespace res
