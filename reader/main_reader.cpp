#include "reader/zun_reader_app.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    CZunReaderApp app;
    // Qt has taken its own arguments out of argv by now.
    app.SetArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!app.InitInstance())
        return app.ExitInstance();
    return app.Run();
}
