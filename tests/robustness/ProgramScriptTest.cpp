// The program runs a hostile script to its end, closes normally and saves its settings.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

TEST(ProgramScript, HostileScriptRunsToItsEndAndTheSettingsSurvive) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile script(dir.filePath(QStringLiteral("hostile.scr")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("echo begin\n\xff\xfe\x80 not utf-8\n" + QByteArray("readbyte\0 2A 00\n", 16) +
                 "readbyte 2A " + QByteArray(1 << 20, 'F') +
                 "\nspitransfer 7FFFFFFF 01\nwrbytes 2A 1 7FFFFFFF 00\nwait -1\n"
                 "wait 99999999999\nreadbyte 2A 00\necho end");
    script.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(EVKIT_PROGRAM),
                  {QStringLiteral("--simulator"), QStringLiteral("--run-script"), script.fileName(),
                   QStringLiteral("--quit-after"), QStringLiteral("--trace")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    QList<QByteArray> replies;
    for (const QByteArray& line : program.readAllStandardOutput().split('\n'))
        if (line.startsWith("reply ")) replies.push_back(line.left(200));
    ASSERT_EQ(replies.size(), 8) << program.readAllStandardError().toStdString();
    const QList<QByteArray> expected =
        QByteArray("text=begin|Syntax error.|Syntax error.|reply ok=0|SpiTransfer failed.|"
                   "WRBytes failed.|reply ok=1 command=readbyte 2A 00 text=12|text=end")
            .split('|');
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(replies[i].contains(expected[i])) << replies[i].toStdString();

    QSettings settings(dir.filePath(QStringLiteral("RAR4120E.ini")), QSettings::IniFormat);
    EXPECT_EQ(settings.status(), QSettings::NoError);
    EXPECT_EQ(settings.value(QStringLiteral("Device/Address")).toString(), QStringLiteral("0x2A"));
}
