#include "resources/picture_resources.h"

#include <QFile>
#include <QString>

// The resource file is linked from a static library: register it by hand.
static void InitPictures() { Q_INIT_RESOURCE(pictures); }

namespace res {

std::vector<uint8_t> BinaryResource(std::string_view type, uint32_t id)
{
    static const bool once = (InitPictures(), true);
    (void)once;
    QFile f(QStringLiteral(":/%1/%2").arg(QString::fromUtf8(type.data(), qsizetype(type.size()))).arg(id));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace res
