// The real program on the simulated kit: a script, its trace and its settings.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

TEST(Program, RunsAScriptOnTheSimulatorAndSavesItsSettings) {
    QTemporaryDir dir;
    QFile script(dir.filePath("e2e.scr"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# end-to-end\nsetaddress 2A\necho start\nreadbyte 2A 00\nautoread 0\necho end\n");
    script.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.path());
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    const QString path = QCoreApplication::applicationDirPath() + "/rar4120e-evkit";
    program.start(path,
                  {"--simulator", "--run-script", script.fileName(), "--quit-after", "--trace"});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    // On Windows the program ends its lines with "\r\n".
    const QString out = QString::fromUtf8(program.readAllStandardOutput().replace("\r\n", "\n"));
    for (int reg = 0; reg <= 0x16; ++reg)
        EXPECT_TRUE(
            out.contains(QRegExp(QString::asprintf("\nevent cmd=0 reg=0x%02X .*ok=1\n", reg))))
            << reg;
    QStringList replies = out.split('\n').filter(QRegExp("^reply "));
    ASSERT_EQ(replies.size(), 3) << out.toStdString();
    EXPECT_EQ(replies[0], "reply ok=1 command=echo start text=start");
    EXPECT_TRUE(replies[1].startsWith("reply ok=1 command=readbyte 2A 00"));
    EXPECT_EQ(replies[2], "reply ok=1 command=echo end text=end");
    QSettings ini(dir.filePath("RAR4120E.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Device/Address").toString(), "0x2A");
    EXPECT_EQ(ini.value("Application/autoRead").toBool(), false);
    EXPECT_EQ(ini.value("Application/autoreadTimeout").toInt(), 1000);

    for (const auto& [option, status] :
         {std::pair<const char*, int>{"--help", 0}, {"--bogus", 2}}) {
        QProcess run;
        run.start(path, {option});
        ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ(run.exitCode(), status) << option;
        const QByteArray usage = status ? run.readAllStandardError() : run.readAllStandardOutput();
        EXPECT_TRUE(usage.contains("usage:")) << option;
    }
}
