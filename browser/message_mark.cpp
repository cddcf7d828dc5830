#include "browser/message_mark.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "platform/framework/controls.h"
#include "platform/framework/image_list.h"
#include "resources/picture_resources.h"

#include <QImage>

namespace {

constexpr uint32_t kSmallIconsBitmap = 164;
constexpr int kMessageMark = 1;

} // namespace

const CImageList& SharedSmallIcons()
{
    static const CImageList icons = [] {
        CImageList list;
        const std::vector<uint8_t> bytes = res::BinaryResource("bitmaps", kSmallIconsBitmap);
        if (list.Create(24, 24, ILC_COLOR24 | ILC_MASK, 0, 0))
            list.Add(QImage::fromData(bytes.data(), int(bytes.size())), RGB(255, 0, 255));
        return list;
    }();
    return icons;
}

void DrawMessageMark(CGalleryCtrl*, CDC* dc, int index, const CRect&, const CRect& picture)
{
    const CFileItem* item = GetFileItem(index);
    if (!dc || !item || (!item->IsMessageFile() && !item->HasSecondName()))
        return;
    const CImageList& icons = SharedSmallIcons();
    if (icons.GetImageCount() > kMessageMark)
        DrawImageTransparent(dc, picture.left - 5, picture.bottom - 10, icons.Image(kMessageMark));
}
