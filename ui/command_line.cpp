#include "ui/command_line.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <filesystem>
#include <strings.h>

namespace {

// A file address ("file:///home/a/b%20c.kvt", as file managers and browsers
// pass them) names the file at its path, percent-decoded byte for byte. An
// address of another machine's file is left as it is: it does not open.
std::string PathOfArgument(const std::string& a)
{
    if (strncasecmp(a.c_str(), "file://", 7) != 0)
        return a;
    QUrl url(QString::fromStdString(a), QUrl::StrictMode);
    if (!url.isValid() || (!url.host().isEmpty() && url.host().compare("localhost", Qt::CaseInsensitive) != 0))
        return a;
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toUtf8());
    // A zero byte would end the name early and name another file.
    if (path.isEmpty() || path.contains('\0'))
        return a;
    return path.toStdString();
}

} // namespace

void CCommandLineInfo::ParseCommandLine(const std::vector<std::string>& args)
{
    for (const std::string& a : args) {
        if (a.size() > 1 && a[0] == '-') {
            if (strcasecmp(a.c_str() + 1, "Embedding") == 0 || strcasecmp(a.c_str() + 1, "Automation") == 0)
                m_bShowSplash = FALSE;
            continue;
        }
        if (m_strFileName.empty() && !a.empty()) {
            // The running copy may have another working folder: hand over a full path.
            const std::string given = PathOfArgument(a);
            std::error_code ec;
            std::filesystem::path p = std::filesystem::absolute(given, ec);
            m_strFileName = ec ? given : p.lexically_normal().string();
            m_nShellCommand = FileOpen;
        }
    }
}
