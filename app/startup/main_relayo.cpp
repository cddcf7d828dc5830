#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quiram Relayo");
    QMainWindow window;
    window.setWindowTitle("Quiram Relayo");
    window.resize(1024, 700);
    window.show();
    return app.exec();
}
