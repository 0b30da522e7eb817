// The real program on the simulated kit: a script, its settings, its usage.
#include <gtest/gtest.h>

#include <QtCore>

TEST(Program, RunsAScriptOnTheSimulatorSavesItsSettingsAndKnowsItsOptions) {
    QTemporaryDir dir;
    QFile script(dir.filePath("e2e.scr"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("readbyte 2A 00\nautoread 0\n");
    script.close();
    // Its own home, so the user's settings are never touched.
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
    const QStringList lines = QString(program.readAllStandardOutput()).split(QRegExp("\r?\n"));
    for (int reg = 0; reg <= 0x16; ++reg)
        EXPECT_FALSE(
            lines.filter(QRegExp(QString::asprintf("^event cmd=0 reg=0x%02X .*ok=1$", reg)))
                .isEmpty())
            << reg;
    EXPECT_EQ(lines.filter(QRegExp("^reply ")).join('|').toStdString(),
              "reply ok=1 command=readbyte 2A 00 text=12");
    QSettings ini(dir.filePath("RAR4120E.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Device/Address").toString().toStdString(), "0x2A");
    EXPECT_EQ(ini.value("Application/autoRead").toBool(), false);

    for (const auto& [option, status] :
         {std::pair<const char*, int>{"--help", 0}, {"--bogus", 2}}) {
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(path, {option});
        ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ(run.exitCode(), status) << option;
        const QByteArray usage = status ? run.readAllStandardError() : run.readAllStandardOutput();
        EXPECT_TRUE(usage.contains("usage:")) << option;
    }
}
