// Runs the real program on the simulated kit with a script and checks what
// it did from its trace and its settings file.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>

#include <set>

TEST(Program, RunsAScriptOnTheSimulatorAndSavesItsSettings) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile script(dir.filePath(QStringLiteral("e2e.scr")));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("# end-to-end\n"
                 "setaddress 2A\n"
                 "echo start\n"
                 "readbyte 2A 00\n"
                 "autoread 0\n"
                 "echo end\n");
    script.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/rar4120e-evkit"),
                  {QStringLiteral("--simulator"), QStringLiteral("--run-script"), script.fileName(),
                   QStringLiteral("--quit-after"), QStringLiteral("--trace")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    // On Windows the program ends its lines with "\r\n".
    const QStringList lines =
        QString::fromUtf8(program.readAllStandardOutput().replace("\r\n", "\n"))
            .split(QLatin1Char('\n'));
    std::set<QString> registersRead;
    QStringList replies;
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("event cmd=0 ")) &&
            line.endsWith(QStringLiteral("ok=1")))
            registersRead.insert(line.section(QLatin1Char(' '), 2, 2));
        if (line.startsWith(QStringLiteral("reply "))) replies << line;
    }
    for (int reg = 0; reg <= 0x16; ++reg)
        EXPECT_EQ(registersRead.count(QString::asprintf("reg=0x%02X", reg)), 1u) << reg;
    ASSERT_EQ(replies.size(), 3) << replies.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(replies[0], QStringLiteral("reply ok=1 command=echo start text=start"));
    EXPECT_TRUE(replies[1].startsWith(QStringLiteral("reply ok=1 command=readbyte 2A 00")));
    EXPECT_EQ(replies[2], QStringLiteral("reply ok=1 command=echo end text=end"));

    QSettings ini(dir.filePath(QStringLiteral("RAR4120E.ini")), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Device/Address")).toString(), QStringLiteral("0x2A"));
    EXPECT_EQ(ini.value(QStringLiteral("Application/autoRead")).toBool(), false);
    EXPECT_EQ(ini.value(QStringLiteral("Application/autoreadTimeout")).toInt(), 1000);
}

TEST(Program, HelpExitsZeroAndAnUnknownOptionTwo) {
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/rar4120e-evkit");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const auto& [option, status] :
         {std::pair<QString, int>{QStringLiteral("--help"), 0}, {QStringLiteral("--bogus"), 2}}) {
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(program, {option});
        ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ(run.exitCode(), status) << option.toStdString();
        const QString usage = QString::fromUtf8(status == 0 ? run.readAllStandardOutput()
                                                            : run.readAllStandardError());
        EXPECT_TRUE(usage.contains(QStringLiteral("usage:"))) << option.toStdString();
    }
}
