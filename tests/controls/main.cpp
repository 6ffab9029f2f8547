#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char *argv[])
{
    // The widget tests never need a screen; test discovery runs them without CTest's
    // environment, so the headless platform is also the fallback here.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication App(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
