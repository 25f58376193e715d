// Test entry point: a QApplication on the offscreen platform, then GoogleTest.
#include "shell/base/WorkstationLocale.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Every test starts from the dot-decimal locale, whatever the machine has;
    // tests of the Russian conventions set them themselves.
    WorkstationLocale::Current() = WorkstationLocale::English();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
