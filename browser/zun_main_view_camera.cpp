// The browser view's camera copies: each selected picture saved as a JPEG
// that a camera plays back, named PICT0001.JPG, PICT0002.JPG and so on.
#include "browser/zun_main_view.h"

#include "browser/camera_copy.h"

#include <filesystem>

void CZunMainView::OnSaveCameraCopies()
{
    std::vector<std::string> sources;
    if (!CollectSelectedPaths(sources))
        return;
    // The first copy is offered beside its picture; the next ones where the one before went.
    std::string suggestion = (std::filesystem::path(sources.front()).parent_path() / kFirstCameraName).string();
    for (const std::string& source : sources) {
        if (!SaveCameraCopy(this, source, suggestion))
            return;
        RefreshSavedItem(suggestion);
        suggestion = NextCameraName(suggestion);
    }
}
