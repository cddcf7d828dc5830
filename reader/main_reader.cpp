#include "resources/program_icon.h"
#include "ui/ui_services.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quiram Relayo Reader");
    SetProgramIdentity(res::kReaderProgramName);
    QMainWindow window;
    window.setWindowTitle("Quiram Relayo Reader");
    window.resize(900, 650);
    window.show();
    return app.exec();
}
