// rar4120e-cli as a program on the simulated kit: output, exit status,
// the sources of command lines, --dump and --list-ports.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <utility>

namespace {

struct CliRun {
    int exitCode;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args, const QByteArray& input = QByteArray(),
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(RAR4120E_CLI), args);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    // On Windows the runner ends its lines with "\r\n".
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput().replace("\r\n", "\n")),
            QString::fromUtf8(process.readAllStandardError().replace("\r\n", "\n"))};
}

QStringList simulated(QStringList args) {
    args.prepend(QStringLiteral("--simulator"));
    return args;
}

TEST(ProgramTest, EveryLineSucceedingExitsZero) {
    const CliRun run = runCli(
        simulated({"-c", "readbyte 2A 00", "-c", "writebyte 2A 04 80", "-c", "readbyte 2A 04"}));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("\t12\n\n\t80\n"));
}

TEST(ProgramTest, AFailedLineExitsOneAndTheRestStillRuns) {
    const CliRun run = runCli(simulated({"-c", "readbyte 50 00", "-c", "readbyte 2A 00"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("\tReadByte failed.\n\t12\n"));
}

TEST(ProgramTest, BadUsageExitsTwo) {
    const CliRun run = runCli({"--no-such-option"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("usage:")));
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(runCli(simulated({"-c"})).exitCode, 2);
    EXPECT_EQ(runCli(simulated({"--address", "zz", "--dump"})).exitCode, 2);
}

TEST(ProgramTest, AnUnreadableScriptExitsTwo) {
    const CliRun run = runCli(simulated({"/nonexistent/script.scr"}));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("/nonexistent/script.scr")));
}

TEST(ProgramTest, NoBoardExitsTwo) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RERODADA_D2XX_LIBRARY"), QStringLiteral("/nonexistent/lib.so"));
    env.insert(QStringLiteral("RERODADA_SERIAL_PORTS"), QString());
    const CliRun run = runCli({"-c", "readbyte 2A 00"}, QByteArray(), env);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no board found")));
    // The port search's progress stays off standard output.
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
}

TEST(ProgramTest, LinesComeFromScriptsAndOptionsInOrder) {
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("two.scr"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# set then read\nwritebyte 2A 16 21\r\nreadbyte 2A 16\n\necho Grüße\n");
    file.close();
    const CliRun run = runCli(simulated({"-c", "echo first", script, "-c", "echo last"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("\tfirst\n\n\t21\n\tGrüße\n\tlast\n"));
}

TEST(ProgramTest, WithoutLinesItReadsStandardInput) {
    const CliRun run = runCli(simulated({}), "readbyte 2A 00\nbogus\necho end\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, QStringLiteral("\t12\n\tSyntax error.\n\tend\n"));
}

TEST(ProgramTest, DumpDecodesTheChipWithTheRegisterMapTexts) {
    const CliRun run =
        runCli(simulated({"-c", "writebyte 2A 02 0A", "-c", "writebyte 2A 0E 40", "--dump"}));
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 24) << run.out.toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("RAR4120E at 0x2A"));
    EXPECT_EQ(lines[1 + 0x02],
              QStringLiteral("0x02 ISET = 0x0A: BSTFORCE=1 FAST_SS=0 ENA=1 PSEN=0"));
    EXPECT_EQ(lines[1 + 0x0E],
              QStringLiteral("0x0E SETTING = 0x40: SG_RETRY=0 FPWM=4 (980Hz) SS_OFF=0 SSL=0 "
                             "SLDET=0 (Disabled)"));
    EXPECT_EQ(lines[1 + 0x15], QStringLiteral("0x15 DIAG = 0x04: RTOOR=0 ISETOOR=0 BSTUV=0 "
                                              "BSTOV=0 HW_RST=1 OTW=0 OT=0"));
}

TEST(ProgramTest, DumpOfAnAbsentDeviceExitsOne) {
    const CliRun run = runCli(simulated({"--address", "50", "--dump"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(
        run.out.startsWith(QStringLiteral("RAR4120E at 0x50\n0x00 DEV_ID: ReadByte failed.\n")));
}

TEST(ProgramTest, ListPortsShowsWhatTheConnectTries) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Paths that are listed but never opened.
    env.insert(QStringLiteral("RERODADA_SERIAL_PORTS"),
               QStringLiteral("/nonexistent/ttyA=USB Serial:/nonexistent/ttyB=Bluetooth Link:"
                              "/nonexistent/ttyC=Kelvo Command Module"));
    const CliRun run = runCli({"--list-ports"}, QByteArray(), env);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("  USB0  PODLINK USB  S/N PL000001\n")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("Serial ports:\n"
                                                "  COM1  /nonexistent/ttyA  \"USB Serial\"\n"
                                                "  COM2  /nonexistent/ttyB  \"Bluetooth Link\"  "
                                                "(not tried)\n"
                                                "  COM3  /nonexistent/ttyC  \"Kelvo Command "
                                                "Module\"  (tried first)\n")))
        << run.out.toStdString();
}

TEST(ProgramTest, ListPortsWithoutTheUsbLibraryShowsTheKernelDriversDevices) {
#if defined(_WIN32)
    GTEST_SKIP() << "the kernel's FTDI driver and its ttys are Linux's";
#endif
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RERODADA_D2XX_LIBRARY"), QStringLiteral("/nonexistent/lib.so"));
    // Listed, never opened; the second USB device is gone.
    env.insert(QStringLiteral("RERODADA_USB_TTYS"),
               QStringLiteral("/dev/null=PL000009=PODLINK USB:/nonexistent/ttyUSB1=PL000010"));
    env.insert(QStringLiteral("RERODADA_SERIAL_PORTS"), QStringLiteral("/dev/null"));
    const CliRun run = runCli({"--list-ports"}, QByteArray(), env);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("USB devices (/nonexistent/lib.so):\n"
                                      "  none: the library cannot be loaded\n"
                                      "USB devices of the kernel's FTDI driver:\n"
                                      "  USB0  PODLINK USB  S/N PL000009  /dev/null  (kernel "
                                      "driver)\n"
                                      "Serial ports:\n"
                                      "  COM1  /dev/null  (a USB device: not tried)\n"));
}

} // namespace
