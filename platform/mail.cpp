#include "platform/mail.h"

#include "platform/shell.h"

#include <QByteArray>
#include <QProcess>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr char kMailCommand[] = "xdg-email";
constexpr char kMailCommandVariable[] = "QR_MAIL_COMMAND";
// xdg-email's answer when the desktop has no mail client to run.
constexpr int kNoMethodExit = 3;
constexpr char kStagingPattern[] = "mail-XXXXXX";
constexpr auto kStagingAge = std::chrono::hours(24);
constexpr char kMailerVariable[] = "MAILER";
// The desktop's answer comes from a short script; one that does not answer
// within this time leaves the question to the mail command.
constexpr int kQueryMs = 5000;

std::string MailCommand()
{
    const char* replaced = std::getenv(kMailCommandVariable);
    return replaced && *replaced ? std::string(replaced) : std::string(kMailCommand);
}

// The file under its own name in the staging folder: a second link to it
// where the file system allows (nothing copied, and a later save of the
// original, which replaces the file, leaves this one as sent), else a copy.
bool Stage(const MailAttachment& a, const std::string& folder, std::string& staged)
{
    if (a.fileName.empty() || a.fileName.find('/') != std::string::npos || a.fileName == "." || a.fileName == "..")
        return false;
    staged = folder + "/" + a.fileName;
    std::error_code ec;
    if (fs::equivalent(a.path, staged, ec))
        return true;
    fs::remove(staged, ec);
    fs::create_hard_link(a.path, staged, ec);
    if (!ec)
        return true;
    return fs::copy_file(a.path, staged, fs::copy_options::overwrite_existing, ec) && !ec;
}

} // namespace

std::string MakeMailStagingFolder(const std::string& stagingRoot)
{
    std::error_code ec;
    fs::create_directories(stagingRoot, ec);
    std::string pattern = stagingRoot + "/" + kStagingPattern;
    // Made for this user alone: the staged mail may be private.
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

bool HasMailProgram()
{
    if (const char* mailer = std::getenv(kMailerVariable); mailer && *mailer)
        return true;
    QProcess query;
    query.setStandardInputFile(QProcess::nullDevice());
    query.setStandardErrorFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("x-scheme-handler/mailto")});
    if (!query.waitForStarted(kQueryMs))
        return true;
    if (!query.waitForFinished(kQueryMs)) {
        query.kill();
        query.waitForFinished(kQueryMs);
        return true;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

bool SendMail(const MailRequest& request, const std::string& stagingFolder, MailResult* immediate,
              std::function<void(MailResult)> onEnd)
{
    std::vector<std::string> args{"--utf8", "--subject", request.subject, "--body", request.note};
    for (const MailAttachment& a : request.attachments) {
        std::string staged;
        if (!Stage(a, stagingFolder, staged)) {
            if (immediate)
                *immediate = MailResult::failed;
            return false;
        }
        args.push_back("--attach");
        args.push_back(staged);
    }
    if (!HasMailProgram()) {
        if (immediate)
            *immediate = MailResult::noMailProgram;
        return false;
    }
    const bool started = StartShellProcess(MailCommand(), args, [onEnd = std::move(onEnd)](const ShellProcessEnd& end) {
        if (!onEnd)
            return;
        if (end.exitCode == 0)
            onEnd(MailResult::handedOver);
        else
            onEnd(end.exitCode == kNoMethodExit ? MailResult::noClient : MailResult::failed);
    });
    if (!started && immediate)
        *immediate = MailResult::noClient;
    return started;
}

int SweepMailStaging(const std::string& stagingRoot)
{
    int removed = 0;
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(stagingRoot, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code e;
        const std::string name = it->path().filename().string();
        if (name.rfind("mail-", 0) != 0 || !it->is_directory(e) || it->is_symlink(e))
            continue;
        struct stat st{};
        if (lstat(it->path().c_str(), &st) != 0 || st.st_uid != geteuid())
            continue;
        if (now - fs::last_write_time(it->path(), e) < kStagingAge || e)
            continue;
        if (fs::remove_all(it->path(), e) != static_cast<std::uintmax_t>(-1) && !e)
            ++removed;
    }
    return removed;
}
