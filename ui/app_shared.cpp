#include "ui/app_shared.h"

#include "resources/string_table.h"
#include "util/reg_settings.h"
#include "util/string_util.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/document.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/posted_call.h"
#include "resources/string_ids.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <stdexcept>

CFrameInputBlock::CFrameInputBlock() { qApp->installEventFilter(this); }

CFrameInputBlock::~CFrameInputBlock() { qApp->removeEventFilter(this); }

void CFrameInputBlock::Block(const std::vector<QWidget*>& frames)
{
    if (m_nDepth++ == 0)
        for (QWidget* w : frames)
            if (w)
                m_blocked.insert(w);
}

void CFrameInputBlock::Release()
{
    if (m_nDepth > 0 && --m_nDepth == 0)
        m_blocked.clear();
}

bool CFrameInputBlock::IsBlocked(QWidget* w) const { return w && m_blocked.count(w->window()) != 0; }

bool CFrameInputBlock::eventFilter(QObject* obj, QEvent* e)
{
    posted::TakeEvent(e); // sees the messages other threads post before their windows do
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return IsBlocked(qobject_cast<QWidget*>(obj));
    default: return false;
    }
}

UINT MessageBoxTypeWithIcon(UINT type)
{
    if ((type & MB_ICONMASK) != 0)
        return type;
    switch (type & MB_TYPEMASK) {
    case MB_OK:
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_YESNO: return type | MB_ICONEXCLAMATION;
    default: return type;
    }
}

const InstanceWindow* FindRunningInstanceWindow(const std::vector<InstanceWindow>& windows, const std::string& title)
{
    const InstanceWindow* found = nullptr;
    for (const InstanceWindow& w : windows)
        if (w.title.find(title) != std::string::npos && w.className.compare(0, 4, "Afx:") == 0)
            found = &w;
    return found;
}

BOOL CheckInstanceRuntimeFolder()
{
    std::string refused;
    if (!InstanceRuntimeFolder(&refused).empty())
        return TRUE;
    AfxMessageBox(FormatWithStrings(res::String(IDS_RUNTIME_FOLDER_NOT_PRIVATE), {refused}), MB_OK | MB_ICONEXCLAMATION,
                  IDS_RUNTIME_FOLDER_NOT_PRIVATE);
    return FALSE;
}

RunningInstance BringRunningInstanceToFront(CInstanceClient& client, const std::string& title, uint64_t& rId)
{
    // The running copy makes its socket right after taking the lock, so a
    // short wait finds it; its answer comes once its main window is up.
    std::vector<InstanceWindow> windows;
    if (!client.Connect(kInstanceConnectTimeoutMs) || !client.ListWindows(windows, kInstanceAnswerTimeoutMs))
        return RunningInstance::unreachable;
    const InstanceWindow* found = FindRunningInstanceWindow(windows, title);
    if (!found)
        return RunningInstance::noWindow;
    rId = found->id;
    client.BringToFront(found->id, kInstanceAnswerTimeoutMs);
    return RunningInstance::broughtToFront;
}

namespace {

std::string StringPart(std::string_view s, char sep, int index)
{
    if (index < 0)
        throw std::invalid_argument("string part");
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t p = s.find(sep, start);
        if (p == std::string_view::npos)
            throw std::invalid_argument("string part");
        start = p + 1;
    }
    size_t end = s.find(sep, start);
    return std::string(s.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

// The framework's recent-file list lives under Software\<key>\<profile>.
std::string RecentFileKey()
{
    return "Software\\" + GetRegistryPathPart(1) + "\\" + GetRegistryPathPart(2) + "\\Recent File List";
}

} // namespace

std::string GetRegistryPathPart(int index) { return StringPart(res::String(IDS_REG_KEYPATH), '\\', index); }

std::string GetDocStringPart(UINT nStringId, int index) { return StringPart(res::String(nStringId), '\n', index); }

std::vector<std::string> RecentFilesFromValues(std::span<const std::optional<RegValue>> values)
{
    std::vector<std::string> files;
    for (const std::optional<RegValue>& v : values.first(std::min<size_t>(values.size(), kRecentFileCount))) {
        std::string path = v ? TextFromRegValue(*v).value_or(std::string()) : std::string();
        if (!path.empty())
            files.push_back(std::move(path));
    }
    return files;
}

std::vector<std::string> LoadRecentFiles()
{
    const std::string key = RecentFileKey();
    std::vector<std::optional<RegValue>> values;
    for (int i = 1; i <= kRecentFileCount; ++i)
        values.push_back(GetRegistryStore().QueryValue(HKEY_CURRENT_USER, key, "File" + std::to_string(i)));
    return RecentFilesFromValues(values);
}

void SaveRecentFiles(const std::vector<std::string>& files)
{
    const std::string key = RecentFileKey();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        std::string s = size_t(i) <= files.size() ? files[size_t(i - 1)] : std::string();
        GetRegistryStore().SetValue(HKEY_CURRENT_USER, key, "File" + std::to_string(i), REG_SZ, s.c_str(), s.size() + 1);
    }
}

namespace {
}

BOOL RestartActiveDocument()
{
    auto* frame = dynamic_cast<CFrameWnd*>(CWnd::GetActiveWindow());
    CDocument* doc = frame ? frame->GetActiveDocument() : nullptr;
    if (!doc)
        return FALSE;
    if (!doc->SaveModified())
        return TRUE;
    if (CDocTemplate* t = doc->GetDocTemplate())
        t->SetDefaultTitle(doc);
    doc->OnNewDocument();
    return TRUE;
}

void OpenNewDocumentFrame(CSingleDocTemplate* pTemplate)
{
    if (!pTemplate)
        return;
    CDocument* doc = pTemplate->CreateNewDocument();
    if (!doc) {
        AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
        return;
    }
    BOOL autoDelete = doc->m_bAutoDelete;
    doc->m_bAutoDelete = FALSE; // a failing frame must not take the document
    CFrameWnd* frame = pTemplate->CreateNewFrame(doc, nullptr);
    doc->m_bAutoDelete = autoDelete;
    if (!frame) {
        AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
        delete doc;
        return;
    }
    pTemplate->SetDefaultTitle(doc);
    if (!doc->OnNewDocument()) {
        AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
        frame->DestroyWindow();
        return;
    }
    pTemplate->InitialUpdateFrame(frame, doc, TRUE);
}
