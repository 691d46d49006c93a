// Test entry for the window tests: one application object on the offscreen
// platform for all of them, under the regional settings the program is made
// for (a comma as decimal separator) unless ORN10_TEST_LOCALE names another,
// with the user's data and settings folders in a temporary one.
#include "application.h"

#include <QTemporaryDir>
#include <QtGlobal>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The window's settings, records and certificates go to a folder of the
    // tests' own, never to the user's.
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    QByteArray locale = qgetenv("ORN10_TEST_LOCALE");
    if (locale.isEmpty()) locale = "ru_RU.UTF-8";
    qunsetenv("LC_ALL");
    qputenv("LC_NUMERIC", locale);
    qputenv("LANG", locale);
    // What the window keeps between sessions goes to a folder of the run's own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    orn::TApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
