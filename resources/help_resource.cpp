#include "resources/help_resource.h"

#include <QFile>
#include <QString>

static void InitHelp() { Q_INIT_RESOURCE(help); }

namespace res {

QByteArray HelpResource(uint32_t id)
{
    static const bool once = (InitHelp(), true);
    (void)once;
    QFile f(QStringLiteral(":/HELP/%1").arg(id));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace res
