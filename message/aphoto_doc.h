#pragma once

#include "message/photo_content.h"
#include "platform/framework/document.h"

#include <cstdint>
#include <memory>
#include <string>

class CAnoMarkup;
class CAPhotoViewBase;
class CCmdUI;
class CImageBuffer;

// The message editor's document. It keeps the message (the content: the
// photograph, the comments and the values of the message file) and decides
// what a file becomes when it is opened: a message file is read whole, an
// annotation text file becomes a photograph with its sound and image
// comments, any other picture file becomes the photograph of a new message.
// It saves messages through the file writer, asks for their names, keeps the
// read-only lock and the picture state. Views show the content and are told
// what changed through the update hints; a failed open leaves the message
// that was open as it was.
class CAPhotoDoc : public CDocument {
    DECLARE_DYNCREATE(CAPhotoDoc)
    DECLARE_MESSAGE_MAP()
public:
    // What changed, as the views' OnUpdate receives it (lHint; pHint is null).
    enum Hint : LPARAM {
        hintCleared = 0x4100, // the message was emptied (a new or closed document)
        hintLoaded,           // a new message is in the content (file, picture or annotation)
        hintCommentAdded,     // a comment was appended to the end of the comment array
        hintReadOnly,         // the lock changed (IsReadOnly)
        hintTitle,            // the message title (the content's picture text) changed
        hintDropFormat,       // GetDropFormat names the clipboard format the view's drops take
        hintBeforeSave,       // the message is about to be written: views put what is being edited into the content
    };
    // Where the photograph came from.
    enum PictureState : int32_t { pictureNone = 0, pictureFromFile = 1, pictureInserted = 2 };
    // How LoadPictureFile ended.
    enum PictureLoad : int { pictureLoaded = 0, pictureMissing, pictureNoImporter, pictureCancelled, pictureFailed };

    // The message title: at most this many characters.
    static constexpr size_t kMaxTitleChars = 64;
    // The side of a photograph, in pixels.
    static constexpr int kMinPictureSide = 8;
    static constexpr int kMaxPictureSide = 3840;

    CAPhotoDoc();
    ~CAPhotoDoc() override;

    CAPhotoContent& GetContent() { return m_content; }
    const CAPhotoContent& GetContent() const { return m_content; }

    // The framework's operations.
    void Serialize(CArchive& ar) override;
    void SetPathName(const std::string& path, BOOL bAddToMRU = TRUE) override;
    // A locked message never becomes modified.
    void SetModifiedFlag(BOOL bModified = TRUE) override;
    void DeleteContents() override;
    BOOL OnNewDocument() override;
    // Reads the file aside and takes it only when all of it was read.
    BOOL OnOpenDocument(const std::string& path) override;
    BOOL CanCloseFrame(CFrameWnd* pFrame) override;
    // Saves under path, or asks for a name with the Save As dialog when it is
    // empty. A failed save leaves the file that was there as it was.
    BOOL DoSave(const std::string& path, BOOL bReplace = TRUE) override;

    // The editor template's open: a file that is no message, annotation or
    // picture of a supported size is refused with a message; otherwise the
    // file is opened, pictures straight through the importers when bDirect is
    // set, else behind the loading progress dialog. bReadOnlyWord is the
    // template's read-only word.
    virtual BOOL OpenByName(const std::string& path, BOOL bReadOnlyWord, BOOL bDirect);
    // The template's add: a message file (or any file while the photograph
    // did not come from a picture file) is opened, after the open message
    // agreed to go; a picture while the photograph came from a picture file
    // is inserted beside it. Refused while the message is locked.
    BOOL OpenOrInsert(const std::string& path);
    // The view puts the picture beside the photograph; the message is then
    // modified and its picture state pictureInserted.
    BOOL InsertPicture(const std::string& path);

    // A picture file decoded into image: straight through the importer
    // plug-ins, or behind the loading progress dialog (nValue goes to the
    // plug-ins). Shows no message; *pnResult says how it ended.
    static BOOL LoadPictureFile(const std::string& path, CImageBuffer& image, BOOL bDirect, uintptr_t nValue = 0,
                                int* pnResult = nullptr);
    // The photograph of a message made of a decoded picture: 24 bits a pixel
    // at 96 dpi, kept in a mapping. picture may be converted on the way.
    static bool MakeMessagePicture(CImageBuffer& picture, CImageBuffer& out);
    // The message file test: the extension, case ignored.
    static BOOL IsMessageFile(const std::string& path);

    // The lock against editing, kept in the message file.
    BOOL IsReadOnly() const { return m_content.m_nReadOnly != 0; }
    void SetReadOnly(BOOL bReadOnly = TRUE);
    int32_t GetPictureState() const { return m_nPictureState; }
    void SetPictureState(int32_t state) { m_nPictureState = state; }
    const std::string& GetPicturePath() const { return m_strPicturePath; }
    // The file the message came from when it is no message file (an
    // annotation text file, or a picture the browser handed over): the
    // browser shows it anew after each save.
    const std::string& GetSourcePath() const { return m_strSourcePath; }
    void SetSourcePath(const std::string& path) { m_strSourcePath = path; }

    // The message title (the content's picture text), cut to 64 characters.
    const std::string& GetMessageTitle() const { return m_content.m_strPictureText; }
    void SetMessageTitle(const std::string& title);

    // Appends a finished comment to the comment tree, on the photograph.
    void AddComment(std::unique_ptr<CAnoRecord> record);

    // The clipboard format the view's drop target takes (0: none).
    UINT GetDropFormat() const { return m_nDropFormat; }
    void SetDropFormat(UINT format);

    // The name a mailed message file gets: the message file's own name, or
    // the message title and the message file extension.
    std::string GetMailAttachmentName() const;
    // Writes the message to path for mail, as it is or shrunk for mail; the
    // document's own name and modified state stay. The shrinking applies to
    // this save only.
    BOOL SaveForMail(const std::string& path, BOOL bShrink);
    // File/Mail: after the save-modified question, the mail dialog's choices
    // (kept in the settings) and SendMail.
    void OnFileMail();
    // Hands the message to the mail client: as it is on the disk, or saved
    // for mail (shrunk with bResize) into the staging folder; with bAttach the
    // reader program and its licence go along where they are found. TRUE when
    // the mail client was started; failures are told the user.
    BOOL SendMail(BOOL bAttach, BOOL bResize);

protected:
    void OnFileSave();
    void OnUpdateImportImage(CCmdUI* pCmdUI);

    CAPhotoViewBase* GetPhotoView() const;

private:
    struct Loaded;
    void Load(CArchive& ar);
    void Store(CArchive& ar);
    // Tells the user which comments of the message just opened have a sound
    // or picture that does not read.
    void ReportUnreadableComments() const;
    void LoadPlainPicture(const std::string& path, CAPhotoContent& content, Loaded& loaded);
    void LoadAnnotationText(CArchive& ar, CAPhotoContent& content, Loaded& loaded);
    void AddCommentFromMarkup(CAPhotoContent& content, int32_t kind, const CRect& area, const std::string& path);
    std::string ProposeSaveName(BOOL bReplace) const;

    CAPhotoContent m_content;
    int32_t m_nPictureState = pictureNone;
    BOOL m_bMailResize = FALSE;
    std::string m_strPicturePath;
    std::string m_strSourcePath;
    BOOL m_bDirectLoad = TRUE;
    UINT m_nDropFormat = 0;
};
