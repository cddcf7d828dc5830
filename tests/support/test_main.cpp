#include "support/test_support.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    // Test programs also run outside ctest (discovery, by hand): never open a display.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // Text is measured and drawn in a face shipped with the tests, whatever
    // fonts the machine has: it is the default, and tests name it where they
    // choose a face.
    const QString font = QString::fromStdString(qrtest::DataPath("fonts/quiram-test-sans.ttf").string());
    if (QFontDatabase::addApplicationFont(font) < 0) {
        std::fprintf(stderr, "the test font %s could not be loaded\n", qPrintable(font));
        return 1;
    }
    QApplication::setFont(QFont(QString::fromUtf8(qrtest::kTestFace)));
    return RUN_ALL_TESTS();
}
