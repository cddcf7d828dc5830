#include "message/aphoto_doc.h"

#include "imaging/exif_file.h"
#include "imaging/image_buffer.h"
#include "imaging/image_importer.h"
#include "imaging/metadata_file_kind.h"
#include "imaging/program_folders.h"
#include "viewer/image_file_tests.h"
#include "viewer/image_load_progress_dlog.h"
#include "message/ano_markup.h"
#include "message/aphoto_save_dlog.h"
#include "message/aphoto_view_base.h"
#include "platform/archive.h"
#include "platform/framework/doc_template.h"
#include "platform/framework/frame_wnd.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "platform/path.h"
#include "resources/string_table.h"
#include "ui/app_templates.h"
#include "ui/ui_services.h"
#include "util/app_settings.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "resources/string_ids.h"

#include <QGuiApplication>

#include <cstdio>
#include <filesystem>
#include <vector>

IMPLEMENT_DYNCREATE(CAPhotoDoc, CDocument)

BEGIN_MESSAGE_MAP(CAPhotoDoc, CDocument)
    ON_COMMAND(ID_FILE_SAVE, &CAPhotoDoc::OnFileSave)
    ON_COMMAND(ID_FILE_SEND_MAIL, &CAPhotoDoc::OnFileMail)
    ON_UPDATE_COMMAND_UI(ID_IMPORT_IMAGE, &CAPhotoDoc::OnUpdateImportImage)
END_MESSAGE_MAP()

namespace {

enum : UINT {
    IDR_MESSAGE = 129,
    IDD_IMAGE_LOAD_PROGRESS = 913,
};

constexpr WORD kTagImageDescription = 270;
constexpr int kMarkupSquare = 1;
// The message file's extension when the template gives none.
constexpr char kMessageExtension[] = ".kvt";

// The wait cursor for the length of a save or a load.
class CWaitCursorScope {
public:
    CWaitCursorScope() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursorScope() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursorScope(const CWaitCursorScope&) = delete;
    CWaitCursorScope& operator=(const CWaitCursorScope&) = delete;
};

// Sets a flag for the length of one call and clears it when the call ends,
// whatever way it ends.
class CFlagScope {
public:
    CFlagScope(BOOL& flag, BOOL value) : m_flag(flag) { m_flag = value; }
    ~CFlagScope() { m_flag = FALSE; }
    CFlagScope(const CFlagScope&) = delete;
    CFlagScope& operator=(const CFlagScope&) = delete;

private:
    BOOL& m_flag;
};

std::string Format(UINT id, const std::string& arg)
{
    const std::string format(res::String(id));
    std::vector<char> text(format.size() + arg.size() + 1);
    std::snprintf(text.data(), text.size(), format.c_str(), arg.c_str());
    return text.data();
}

// The part of a document string (string 129 without a template).
std::string DocString(const CDocTemplate* tmpl, CDocTemplate::DocStringIndex index)
{
    if (tmpl)
        return tmpl->GetDocString(index);
    const std::string_view s = res::String(IDR_MESSAGE);
    size_t start = 0;
    for (int i = 0; i < int(index); ++i) {
        start = s.find('\n', start);
        if (start == std::string_view::npos)
            return {};
        ++start;
    }
    return std::string(s.substr(start, s.find('\n', start) - start));
}

// A title from a file name: without folder and extension, cut to 64 characters.
std::string TitleFromPath(const std::string& path)
{
    std::string title = StemOf(path);
    TruncateToChars(title, CAPhotoDoc::kMaxTitleChars);
    return title;
}

} // namespace

bool CAPhotoDoc::MakeMessagePicture(CImageBuffer& picture, CImageBuffer& out)
{
    if (!picture.ConvertToBitsPerPixel(24))
        return false;
    if (const BYTE* bits = picture.GetBits())
        return out.Create(CImageBuffer::kMapping, picture.GetSize(), picture.GetPixelType(), picture.GetOrientation(),
                          bits, nullptr, 96.0f, 96.0f);
    // Rows kept in a temporary file are copied row by row.
    return out.CopyRect(picture, CRect(0, 0, picture.GetWidth(), picture.GetHeight()));
}

// What a load has found, taken by the document only when the whole load succeeded.
struct CAPhotoDoc::Loaded {
    int32_t pictureState = pictureNone;
    std::string picturePath;
    std::string sourcePath;
    std::string title;
    BOOL modified = FALSE;
};

CAPhotoDoc::CAPhotoDoc() : m_content(GetCompressionSetting()) {}

CAPhotoDoc::~CAPhotoDoc() = default;

CAPhotoViewBase* CAPhotoDoc::GetPhotoView() const
{
    return dynamic_cast<CAPhotoViewBase*>(GetFirstView());
}

BOOL CAPhotoDoc::IsMessageFile(const std::string& path)
{
    // Compared without the dot the template's extension is written with.
    return IsMessageFileName(path);
}

void CAPhotoDoc::SetModifiedFlag(BOOL bModified)
{
    if (IsReadOnly() && bModified)
        return;
    CDocument::SetModifiedFlag(bModified);
}

void CAPhotoDoc::SetPathName(const std::string& path, BOOL bAddToMRU)
{
    if (IsMessageFile(path)) {
        CDocument::SetPathName(path, bAddToMRU);
        return;
    }
    // A picture is not this document's file: saving it asks for a name.
    m_strPathName.clear();
    SetTitle(TitleFromPath(path));
}

void CAPhotoDoc::DeleteContents()
{
    CAPhotoContent empty(GetCompressionSetting());
    m_content.TakeOver(empty);
    m_nPictureState = pictureNone;
    m_strPicturePath.clear();
    m_strSourcePath.clear();
    UpdateAllViews(nullptr, hintCleared);
}

BOOL CAPhotoDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return FALSE;
    SetTitle({});
    return TRUE;
}

BOOL CAPhotoDoc::CanCloseFrame(CFrameWnd* pFrame)
{
    if (CAPhotoViewBase* view = GetPhotoView(); view && !view->CanClose())
        return FALSE;
    return CDocument::CanCloseFrame(pFrame);
}

void CAPhotoDoc::SetReadOnly(BOOL bReadOnly)
{
    m_content.m_nReadOnly = bReadOnly ? 1 : 0;
    UpdateAllViews(nullptr, hintReadOnly);
}

void CAPhotoDoc::SetMessageTitle(const std::string& title)
{
    std::string cut = title;
    TruncateToChars(cut, kMaxTitleChars);
    if (cut == m_content.m_strPictureText)
        return;
    m_content.m_strPictureText = cut;
    UpdateAllViews(nullptr, hintTitle);
}

void CAPhotoDoc::AddComment(std::unique_ptr<CAnoRecord> record)
{
    if (!record)
        return;
    m_content.m_comments.emplace_back(0, std::move(record));
    UpdateAllViews(nullptr, hintCommentAdded);
}

void CAPhotoDoc::SetDropFormat(UINT format)
{
    m_nDropFormat = format;
    UpdateAllViews(nullptr, hintDropFormat);
}

// ---- opening ---------------------------------------------------------------

BOOL CAPhotoDoc::LoadPictureFile(const std::string& path, CImageBuffer& image, BOOL bDirect, uintptr_t nValue,
                                 int* pnResult)
{
    int result = pictureLoaded;
    std::error_code ec;
    CImageImporter importer(GetImporterSearchPath());
    importer.SetUserValue(nValue);
    if (!std::filesystem::is_regular_file(path, ec)) {
        result = pictureMissing;
    } else if (!importer.SelectPlugin(path, nullptr)) {
        // No plug-in reads the file: a failure, not an empty picture.
        result = pictureNoImporter;
    } else if (bDirect) {
        if (!importer.TryDecodeToBuffer(path, image, nullptr, -1) || !image.IsValid())
            result = importer.ResultCode() == kLoadCancelled ? pictureCancelled : pictureFailed;
    } else {
        CImageLoadProgressDlog job(nullptr, IDD_IMAGE_LOAD_PROGRESS, GetHomePath(), FALSE, 0, path, &image, nValue, 0,
                                   TRUE);
        if (job.DoModal() != IDOK || !image.IsValid())
            result = job.GetResultCode() == kLoadCancelled ? pictureCancelled : pictureFailed;
    }
    if (result != pictureLoaded)
        image.Free();
    if (pnResult)
        *pnResult = result;
    return result == pictureLoaded;
}

BOOL CAPhotoDoc::OpenByName(const std::string& path, BOOL bReadOnlyWord, BOOL bDirect)
{
    // A file that is not there is told as such by the open below, not as a wrong type.
    std::error_code ec;
    if (!IsMessageFile(path) && !IsAnnotationTextFile(path) && std::filesystem::exists(path, ec)) {
        if (!IsImportableFile(path)) {
            // Refused whatever the template's word says: nothing was opened.
            AfxMessageBox(IDS_INVALID_FILE_TYPE, MB_ICONEXCLAMATION);
            return FALSE;
        }
        if (!IsLoadableImageFile(path)) {
            AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    CFlagScope direct(m_bDirectLoad, bDirect);
    return OnOpenDocument(path);
}

BOOL CAPhotoDoc::OpenOrInsert(const std::string& path)
{
    if (IsReadOnly())
        return FALSE;
    const bool message = IsMessageFile(path);
    if (!message && !IsAnnotationTextFile(path) && !IsLoadableImageFile(path)) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!message && m_nPictureState == pictureFromFile)
        return InsertPicture(path);
    // The open message goes: a changed one is offered for saving first.
    if (!SaveModified())
        return FALSE;
    if (!OnOpenDocument(path))
        return FALSE;
    SetPathName(path);
    if (!message)
        SetModifiedFlag(TRUE);
    return TRUE;
}

BOOL CAPhotoDoc::InsertPicture(const std::string& path)
{
    if (IsReadOnly())
        return FALSE;
    CAPhotoViewBase* view = GetPhotoView();
    if (!view || !view->InsertPicture(path))
        return FALSE;
    SetModifiedFlag(TRUE);
    m_nPictureState = pictureInserted;
    return TRUE;
}

BOOL CAPhotoDoc::OnOpenDocument(const std::string& path)
{
    CFile file;
    CFileException fe;
    if (!file.Open(path, CFile::modeRead, &fe)) {
        ReportSaveLoadException(path, &fe, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    try {
        CWaitCursorScope wait;
        CArchive ar(&file, CArchive::load);
        Serialize(ar);
    } catch (const CException& e) {
        ReportSaveLoadException(path, &e, FALSE, AFX_IDP_FAILED_TO_OPEN_DOC);
        return FALSE;
    }
    return TRUE;
}

void CAPhotoDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
        Store(ar);
    else
        Load(ar);
}

void CAPhotoDoc::Load(CArchive& ar)
{
    const std::string path = ar.GetFilePath();
    // Everything is read aside; the open message stays until all of it was.
    CAPhotoContent content(GetCompressionSetting());
    Loaded loaded;
    if (IsMessageFile(path)) {
        content.ReadBody(ar);
        // The oldest files have no user names: the comments are the user's.
        if (content.GetVersionNumber() <= 100)
            for (CAnoElement& e : content.m_comments)
                e.m_pRecord->m_strUserName = GetAppSettings().m_strUserName;
        loaded.pictureState = content.m_nPictureState;
        loaded.title = TitleFromPath(path);
    } else if (IsAnnotationTextFile(path)) {
        LoadAnnotationText(ar, content, loaded);
        loaded.sourcePath = path;
    } else {
        LoadPlainPicture(path, content, loaded);
    }

    m_content.TakeOver(content);
    // A message from another kind of file has no message file yet.
    if (!IsMessageFile(path))
        ClearPathName();
    m_nPictureState = loaded.pictureState;
    m_strPicturePath = loaded.picturePath;
    m_strSourcePath = loaded.sourcePath;
    SetTitle(loaded.title);
    // As loaded, whatever the lock of the message that was open.
    CDocument::SetModifiedFlag(loaded.modified);
    UpdateAllViews(nullptr, hintLoaded);
    if (IsMessageFile(path))
        ReportUnreadableComments();
}

void CAPhotoDoc::ReportUnreadableComments() const
{
    std::string said;
    for (const CAnoElement& e : m_content.m_comments) {
        const std::string why = e.m_pRecord->UnreadableText();
        if (!why.empty())
            said += (said.empty() ? "" : "\n\n") + why;
    }
    if (!said.empty())
        AfxMessageBox(FormatWithStrings(res::String(IDS_COMMENTS_UNREADABLE), {said}), MB_ICONEXCLAMATION);
}

void CAPhotoDoc::LoadPlainPicture(const std::string& path, CAPhotoContent& content, Loaded& loaded)
{
    CImageBuffer picture;
    int result = pictureLoaded;
    if (!LoadPictureFile(path, picture, m_bDirectLoad, 0, &result)) {
        if (result == pictureNoImporter) {
            AfxMessageBox(IDS_INVALID_FILE_TYPE, MB_ICONEXCLAMATION);
            throw CUserException();
        }
        if (result == pictureCancelled)
            throw CUserException();
        throw CArchiveException(CArchiveException::genericException, path);
    }
    if (!IsBufferSizeSupported(picture)) {
        AfxMessageBox(IDS_IMAGE_SIZE_OUT_OF_RANGE, MB_ICONEXCLAMATION);
        throw CUserException();
    }
    CImageBuffer photo;
    if (!MakeMessagePicture(picture, photo))
        throw CMemoryException();
    content.TakeImage(photo);

    // The picture's kind, colour profile and description travel with it.
    const int kind = GetMetadataFileKind(path);
    content.m_nInfoValue = kind;
    CFile file;
    if (file.Open(path, CFile::modeRead)) {
        CExifFile exif;
        if (exif.Attach(&file, kind) == 0) {
            content.m_profile.SetFromMetadata(exif);
            const CExifEntry* description = exif.FindEntry(kTagImageDescription, 1, 0);
            content.m_strInfoText = description ? description->GetText() : std::string();
        }
    }

    loaded.title = TitleFromPath(path);
    content.m_strPictureText = loaded.title;
    content.m_nReadOnly = 0;
    loaded.pictureState = pictureFromFile;
    loaded.picturePath = path;
    loaded.modified = TRUE;
}

void CAPhotoDoc::LoadAnnotationText(CArchive& ar, CAPhotoContent& content, Loaded& loaded)
{
    CAnoMarkup markup;
    if (!markup.Load(ar)) {
        if (markup.m_nError == CAnoMarkup::loadNoMainPicture) {
            // An empty message under the annotation's name would look opened.
            AfxMessageBox(Format(IDS_MARKUP_PICTURE_MISSING, ar.GetFilePath()), MB_ICONEXCLAMATION);
            throw CUserException();
        }
        throw CArchiveException(CArchiveException::genericException, ar.GetFilePath());
    }
    LoadPlainPicture(markup.m_strMainImage, content, loaded);
    for (size_t i = 0; i < markup.m_kinds.size(); ++i)
        AddCommentFromMarkup(content, markup.m_kinds[i], markup.m_areas[i], markup.m_paths[i]);
}

void CAPhotoDoc::AddCommentFromMarkup(CAPhotoContent& content, int32_t kind, const CRect& area,
                                      const std::string& path)
{
    auto record = std::make_unique<CAnoRecord>(kind, GetAppSettings().m_strUserName, GetCurrentLocalTime(),
                                               CAreaMarquee(area, kMarkupSquare));
    bool attached = false;
    if (kind == CAnoMarkup::sound) {
        attached = record->AttachSound(path);
    } else if (kind == CAnoMarkup::image) {
        CImageBuffer picture;
        attached = LoadPictureFile(path, picture, FALSE) && record->AttachImage(path, picture);
    }
    // A linked file that cannot be taken gives no comment; the others still come.
    if (attached)
        content.m_comments.emplace_back(0, std::move(record));
}

// ---- saving ----------------------------------------------------------------

void CAPhotoDoc::Store(CArchive& ar)
{
    m_content.m_strReserved = std::string(res::String(IDS_APP_TITLE));
    m_content.m_nPictureState = m_nPictureState;
    UpdateAllViews(nullptr, hintBeforeSave);
    if (m_bMailResize) {
        CAPhotoContent copy(m_content);
        copy.ShrinkForMail();
        copy.WriteBody(ar);
        return;
    }
    m_content.WriteBody(ar);
}

void CAPhotoDoc::OnFileSave()
{
    std::error_code ec;
    if (!m_strPathName.empty() && std::filesystem::exists(m_strPathName, ec) &&
        AfxMessageBox(IDS_REPLACE_FILE, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    DoFileSave();
}

std::string CAPhotoDoc::ProposeSaveName(BOOL bReplace) const
{
    std::string proposal = m_strPathName;
    if (bReplace && proposal.empty()) {
        proposal = m_strTitle.substr(0, m_strTitle.find_first_of(":/\\"));
        std::string ext = DocString(m_pDocTemplate, CDocTemplate::filterExt);
        ext = ext.substr(0, ext.find(';'));
        proposal += ext;
    }
    // An unsaved message is proposed beside its picture.
    std::string folder = ParentFolderOf(proposal);
    if (folder.empty())
        folder = ParentFolderOf(m_strPicturePath);
    const std::string& title = GetMessageTitle();
    if (title.empty() || HasInvalidFileNameChar(title))
        return JoinPath(folder, "*");
    return JoinPath(folder, title);
}

BOOL CAPhotoDoc::DoSave(const std::string& path, BOOL bReplace)
{
    std::string target = path;
    const int32_t lockBefore = m_content.m_nReadOnly;
    if (target.empty()) {
        std::string extensions = DocString(m_pDocTemplate, CDocTemplate::filterExt);
        if (extensions.empty())
            extensions = kMessageExtension;
        CWnd* parent = GetFirstView() ? GetFirstView()->GetParentFrame() : nullptr;
        CAPhotoSaveDlog dlg(bReplace ? "Save As" : "Save Copy As", DocString(m_pDocTemplate, CDocTemplate::filterName),
                            extensions, ProposeSaveName(bReplace), IsReadOnly(), parent);
        if (dlg.DoModal() != IDOK)
            return FALSE;
        target = dlg.GetPathName();
        m_content.m_nReadOnly = dlg.IsReadOnlyChecked() ? 1 : 0;
    }
    BOOL saved = FALSE;
    {
        CWaitCursorScope wait;
        saved = OnSaveDocument(target);
    }
    if (!saved) {
        // The file that was there is as it was (the writer keeps it until the
        // new one is whole), and so is the message's lock.
        m_content.m_nReadOnly = lockBefore;
        return FALSE;
    }
    if (!m_strSourcePath.empty())
        if (CView* view = GetFirstView())
            if (CWnd* frame = view->GetParentFrame())
                frame->SendMessage(WM_COMMAND, ID_REFRESH_SAVED_MESSAGE, 0);
    if (bReplace)
        SetPathName(target);
    UpdateAllViews(nullptr, hintReadOnly);
    return TRUE;
}

BOOL CAPhotoDoc::SaveForMail(const std::string& path, BOOL bShrink)
{
    const BOOL modified = IsModified();
    BOOL saved = FALSE;
    {
        CFlagScope shrink(m_bMailResize, bShrink);
        saved = OnSaveDocument(path);
    }
    CDocument::SetModifiedFlag(modified);
    return saved;
}

std::string CAPhotoDoc::GetMailAttachmentName() const
{
    if (std::string name = LastNameOf(m_strPathName); !name.empty())
        return name;
    std::string ext = DocString(m_pDocTemplate, CDocTemplate::filterExt);
    return GetMessageTitle() + ext.substr(0, ext.find(';'));
}

void CAPhotoDoc::OnUpdateImportImage(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(!IsReadOnly() && (m_nPictureState == pictureNone || m_nPictureState == pictureFromFile));
}
