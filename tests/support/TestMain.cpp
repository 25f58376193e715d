// Test entry point: a QApplication on the offscreen platform, then GoogleTest.
#include "shell/base/WorkstationLocale.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A session server started by a test's session keeps its market still, so
    // answers are repeatable (the workstation's own start moves it gently).
    if (qEnvironmentVariableIsEmpty("ORVEX_SERVER_SIM_RATE"))
        qputenv("ORVEX_SERVER_SIM_RATE", "0");
    QApplication app(argc, argv);
    // Every test starts from the dot-decimal locale, whatever the machine has;
    // tests of the Russian conventions set them themselves.
    WorkstationLocale::Current() = WorkstationLocale::English();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
