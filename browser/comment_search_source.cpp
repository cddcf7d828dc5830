#include "browser/comment_search_source.h"

#include "browser/file_item.h"
#include "browser/file_item_store.h"
#include "message/aphoto_doc.h"

#include <mutex>

CommentSearchSource FileItemSearchSource()
{
    return [](const std::string& text) {
        std::vector<std::string> candidates;
        std::lock_guard lock(GetFileItemLock());
        const int count = GetFileItemCount();
        for (int i = 0; i < count; ++i) {
            const CFileItem* item = GetFileItem(i, TRUE);
            const std::string& path = item->GetPath();
            if (path.empty())
                continue;
            if (CAPhotoDoc::IsMessageFile(path) || (text.empty() && item->HasSecondName()))
                candidates.push_back(path);
        }
        return candidates;
    };
}
