// Test entry: one application object for all tests, with the program's top-level error handler
// and a comma locale, as on an operator's Russian desktop.

#include "ULinvarApplication.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    InstallTopLevelErrorHandler();
    return RUN_ALL_TESTS();
}
