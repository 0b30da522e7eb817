// Runs a test program in a Qt application object, from a private working
// directory (where RAR4120E.ini is kept) and with the native settings
// redirected, so that the user's own settings are never touched.
#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#if defined(RERODADA_TEST_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TestApplication app(argc, argv);

    const QTemporaryDir workDir;
    if (!workDir.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       workDir.filePath(QStringLiteral("native")));
    QDir::setCurrent(workDir.path());

    return RUN_ALL_TESTS();
}
