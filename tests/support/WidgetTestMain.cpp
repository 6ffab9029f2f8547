// Entry of the widget tests (grid, controls): one application object, headless by default.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The widget tests need no display; keep them headless even when run by hand.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
