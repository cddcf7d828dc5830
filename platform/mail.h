#pragma once

#include <functional>
#include <string>
#include <vector>

// Mail handed to the desktop's mail client: xdg-email opens the client's
// compose window with the subject, the text and the attachments, and the
// user addresses and sends it there. The environment variable
// QR_MAIL_COMMAND names another program to run in its place (tests record
// the call with it).
//
// The client reads the attachments after the call returns, maybe much later,
// so every attachment is first staged in a folder of its own under the
// staging root, under the name the recipient sees, and left there; a later
// start sweeps staging folders that are old.

struct MailAttachment {
    std::string fileName; // the name the recipient sees: one file name, no folder
    std::string path;     // the file sent
};

struct MailRequest {
    std::string subject;
    std::string note;
    std::vector<MailAttachment> attachments;
};

enum class MailResult {
    handedOver,   // the mail client took the mail
    noClient,     // no mail command could be run
    failed,       // the command ran and failed, or an attachment could not be staged
    noMailProgram // the desktop has no program for mail (the attachments stay staged)
};

// Whether the desktop has a program that takes mail: the one MAILER names,
// or the default handler of mailto addresses (xdg-mime). Without one the
// desktop's mail command would open a web browser on an empty page. True
// when it cannot be told (the mail command then has its say).
bool HasMailProgram();

// The folder where the request's attachments go: a fresh folder under
// stagingRoot (made when missing). Empty when it cannot be made.
std::string MakeMailStagingFolder(const std::string& stagingRoot);

// Stages the attachments into stagingFolder (a file already there under its
// name is taken as it is) and, when the desktop has a mail program
// (HasMailProgram), starts the mail command; returns at once. false when
// an attachment cannot be staged, there is no mail program or the command
// cannot be started (*immediate then says which); otherwise onEnd gets the
// client's answer on the GUI thread later.
bool SendMail(const MailRequest& request, const std::string& stagingFolder, MailResult* immediate,
              std::function<void(MailResult)> onEnd);

// Removes the staging folders under stagingRoot that have not been touched
// for a day (their mails have long been sent). Returns how many went.
int SweepMailStaging(const std::string& stagingRoot);
