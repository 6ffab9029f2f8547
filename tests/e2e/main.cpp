// Test entry: the program's own application object for all tests, with its top-level error handler
// and a comma locale, as on an operator's Russian desktop.

#include "ui/ULinvarApplication.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ::testing::InitGoogleTest(&argc, argv);
    TLinvarApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
