#include "message/message_mail.h"

#include "message/aphoto_doc.h"
#include "message/safe_file_name.h"
#include "message/send_mail_dlog.h"
#include "imaging/program_folders.h"
#include "viewer/image_file_tests.h"
#include "ui/ui_services.h"
#include "util/app_settings.h"
#include "util/path_util.h"
#include "util/string_util.h"
#include "platform/framework/message_box.h"
#include "platform/framework/view.h"
#include "platform/framework/wait_cursor.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr char kUntitled[] = "ANO";
constexpr char kStagingFolderName[] = "Mail";

void ShowMailResult(MailResult result)
{
    if (result == MailResult::noClient)
        AfxMessageBox(AFX_IDP_FAILED_MAPI_LOAD, MB_OK | MB_ICONEXCLAMATION);
    else if (result == MailResult::failed)
        AfxMessageBox(AFX_IDP_FAILED_MAPI_SEND, MB_OK | MB_ICONEXCLAMATION);
}

bool IsFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace

CMapiMail::CMapiMail(std::string subject, std::string note)
{
    m_message.subject = std::move(subject);
    m_message.note = std::move(note);
}

void CMapiMail::AddAttachment(MailAttachment entry)
{
    entry.fileName = MakeMailFileName(entry.fileName);
    m_message.attachments.push_back(std::move(entry));
}

std::string MakeMailFileName(const std::string& name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size())
        return MakeSafeFileName(name, kUntitled);
    return MakeSafeFileName(name.substr(0, dot), kUntitled) + "." + MakeSafeFileName(name.substr(dot + 1), {});
}

bool AddMailAttachments(CMapiMail& mail, const std::string& fileName, const std::string& path, bool bAttach)
{
    mail.AddAttachment({fileName, path});
    if (!bAttach)
        return false;
    std::string programName = "Quiram Relayo Reader.exe", licenceName = "EULA.txt";
    LoadReaderFileNames(programName, licenceName);
    const std::string folder = GetReaderFolder();
    // What is missing stays behind; the note then says where the reader is.
    bool readerAttached = false, licenceAttached = false;
    if (const std::string reader = JoinPath(folder, programName); IsFile(reader)) {
        mail.AddAttachment({programName, reader});
        readerAttached = true;
    }
    if (const std::string licence = JoinPath(folder, licenceName); IsFile(licence)) {
        mail.AddAttachment({licenceName, licence});
        licenceAttached = true;
    }
    return readerAttached && licenceAttached;
}

BOOL CallMapiSendMail(const CMapiMail& mail, const std::string& stagingFolder)
{
    MailResult immediate = MailResult::failed;
    if (!SendMail(mail.GetMessage(), stagingFolder, &immediate, ShowMailResult)) {
        const auto& attachments = mail.GetMessage().attachments;
        // The staged message stays where the box says, for the user to attach.
        if (immediate == MailResult::noMailProgram && !attachments.empty())
            AfxMessageBox(FormatWithStrings(res::String(IDS_MAIL_NO_PROGRAM),
                                            {JoinPath(stagingFolder, attachments.front().fileName)}),
                          MB_OK | MB_ICONEXCLAMATION);
        else
            ShowMailResult(immediate);
        return FALSE;
    }
    return TRUE;
}

std::string GetMailStagingRoot()
{
    const std::string cache = GetCacheFolder();
    return cache.empty() ? std::string() : JoinPath(cache, kStagingFolderName);
}

// ---- the document's mail commands

void CAPhotoDoc::OnFileMail()
{
    if (!SaveModified())
        return;
    CAppSettings& settings = GetAppSettings();
    CSendMailDlog dlg(GetFirstView(), settings.m_bAttachPlayer, settings.m_bResizeMailImage);
    if (dlg.DoModal() != IDOK)
        return;
    settings.m_bAttachPlayer = dlg.m_bAttach;
    settings.m_bResizeMailImage = dlg.m_bResize;
    SendMail(dlg.m_bAttach, dlg.m_bResize);
}

BOOL CAPhotoDoc::SendMail(BOOL bAttach, BOOL bResize)
{
    CWaitCursor wait;
    const std::string root = GetMailStagingRoot();
    const std::string folder = root.empty() ? std::string() : MakeMailStagingFolder(root);
    if (folder.empty()) {
        AfxMessageBox(AFX_IDP_FAILED_MAPI_SEND, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    const std::string name = MakeMailFileName(GetMailAttachmentName());
    // A saved message that is not to be reduced goes as it is on the disk.
    std::string path = m_strPathName;
    if (bResize || m_strPathName.empty() || IsModified()) {
        path = JoinPath(folder, name);
        // The save reports its own failure.
        if (!SaveForMail(path, bResize)) {
            std::error_code ec;
            fs::remove_all(folder, ec);
            return FALSE;
        }
    }
    CMapiMail mail(GetMessageTitle(), {});
    if (AddMailAttachments(mail, name, path, bAttach != FALSE))
        mail.SetNote(std::string(res::String(IDS_MAIL_NOTE_READER)));
    else
        mail.SetNote(FormatWithStrings(res::String(IDS_MAIL_NOTE_NO_READER), {GetWebLinkUrl()}));
    return CallMapiSendMail(mail, folder);
}
