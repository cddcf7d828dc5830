#include "resources/program_icon.h"

#include <QFile>
#include <QString>

// The resource file is linked from a static library: register it by hand.
static void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace res {

QIcon ProgramIcon(std::string_view name)
{
    static const bool once = (InitIcons(), true);
    (void)once;
    const QString file = QString::fromUtf8(name.data(), qsizetype(name.size())) + QStringLiteral(".png");
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/icons/hicolor/%1x%1/apps/").arg(size) + file;
        if (QFile::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    return icon;
}

} // namespace res
