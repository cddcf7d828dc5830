#include "message/comment_search.h"

#include "message/aphoto_doc.h"
#include "message/photo_content.h"
#include "util/app_settings.h"
#include "util/path_util.h"
#include "util/string_util.h"

CommentSearchSource MessageFolderSource(std::string folder)
{
    return [folder = std::move(folder)](const std::string&) {
        std::vector<std::string> folders, files, messages;
        ListFolder(folder, folders, files, {});
        for (std::string& path : files)
            if (CAPhotoDoc::IsMessageFile(path))
                messages.push_back(std::move(path));
        return messages;
    };
}

bool MessageFileMatches(const std::string& path, const std::string& text)
{
    CAPhotoContent content(GetCompressionSetting());
    // Only the comments are looked at: the photograph is not decoded.
    if (!ReadMessageFile(path, content, false))
        return false;
    const std::string needle = UpperKeepingOffsets(text);
    for (const CAnoElement& e : content.m_comments)
        if (e.m_pRecord && UpperKeepingOffsets(e.m_pRecord->GetCaption()).find(needle) != std::string::npos)
            return true;
    return false;
}

CCommentSearch::~CCommentSearch() { Stop(); }

void CCommentSearch::Start(const std::string& text, CommentSearchSource source)
{
    Stop();
    {
        std::lock_guard lock(m_lock);
        m_results.clear();
    }
    m_bStop = false;
    m_bEnded = false;
    m_thread = std::thread(&CCommentSearch::Run, this, text, std::move(source));
}

void CCommentSearch::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

size_t CCommentSearch::GetResultCount() const
{
    std::lock_guard lock(m_lock);
    return m_results.size();
}

std::string CCommentSearch::GetResult(size_t index) const
{
    std::lock_guard lock(m_lock);
    return index < m_results.size() ? m_results[index] : std::string();
}

void CCommentSearch::Run(std::string text, CommentSearchSource source)
{
    const std::vector<std::string> candidates = source ? source(text) : std::vector<std::string>();
    for (const std::string& path : candidates) {
        if (m_bStop)
            return;
        if (text.empty() || MessageFileMatches(path, text)) {
            std::lock_guard lock(m_lock);
            m_results.push_back(path);
        }
    }
    m_bEnded = true;
}
