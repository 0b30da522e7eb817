// Runs the robustness tests inside a QCoreApplication from a private working
// directory, so that no settings of the user's are touched.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);

    QTemporaryDir workDir;
    if (!workDir.isValid()) return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       workDir.filePath(QStringLiteral("native")));
    QDir::setCurrent(workDir.path());

    return RUN_ALL_TESTS();
}
