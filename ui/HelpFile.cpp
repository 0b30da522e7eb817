#include "HelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList helpFileCandidates() {
    const QDir programFolder(QCoreApplication::applicationDirPath());
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("help.chm");
    QStringList paths{QDir::current().absoluteFilePath(name), programFolder.absoluteFilePath(name)};
    paths.removeDuplicates();
#else
    const QStringList paths{programFolder.absoluteFilePath(QStringLiteral("help/commands.html"))};
#endif
    QStringList native;
    for (const QString& path : paths)
        native << QDir::toNativeSeparators(path);
    return native;
}

QString helpFile() {
    for (const QString& path : helpFileCandidates())
        if (QFileInfo(path).isFile()) return path;
    return QString();
}
