#pragma once

#include "platform/mail.h"
#include "platform/types.h"

#include <string>

// The mail holder: subject, note and the attachments, each under the name
// the recipient sees (always a plain file name).
class CMapiMail {
public:
    CMapiMail(std::string subject, std::string note);

    void SetNote(std::string note) { m_message.note = std::move(note); }
    // The entry's name is made a safe file name.
    void AddAttachment(MailAttachment entry);
    const MailRequest& GetMessage() const { return m_message; }

private:
    MailRequest m_message;
};

// The name a message is mailed under made a safe file name, its extension kept
// ("ANO.kvt" for an untitled message).
std::string MakeMailFileName(const std::string& name);

// The message, and with bAttach the reader program and its licence text from
// the "Reader" folder beside the program where they are there. True when the
// reader program and its licence went along (the note says so).
bool AddMailAttachments(CMapiMail& mail, const std::string& fileName, const std::string& path, bool bAttach);

// Hands the mail to the mail client from the staging folder. The failures
// are told the user, those the client reports later too. TRUE when the
// client was started.
BOOL CallMapiSendMail(const CMapiMail& mail, const std::string& stagingFolder);

// Where mailed files wait for the mail client: below the user's cache folder.
// Empty when the user has none.
std::string GetMailStagingRoot();
