// Runs the window tests inside a QApplication, from a private working
// directory (where RAR4120E.ini is kept) and with the native settings
// redirected, so that the user's own settings are never touched.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);

    QTemporaryDir workDir;
    if (!workDir.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       workDir.filePath(QStringLiteral("native")));
    QDir::setCurrent(workDir.path());

    return RUN_ALL_TESTS();
}
