#include "app/zun_app.h"
#include "browser/file_item_store.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    ZunAppParts parts;
    parts.initFileItemStore = [] { InitFileItemStore(); };
    parts.exitFileItemStore = [] { ExitFileItemStore(); };
    CZunApp app(std::move(parts));
    // Qt has taken its own arguments out of argv by now.
    app.SetArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!app.InitInstance())
        return app.ExitInstance();
    return app.Run();
}
