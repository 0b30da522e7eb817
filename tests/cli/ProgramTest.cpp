// rar4120e-cli as a program on the simulated kit: output, exit status, the
// sources of command lines, --dump and --list-ports.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace {

struct CliRun {
    const char* name;
    QStringList args;
    int exitCode;
    QStringList out; // the whole output, or with "*" first the texts it contains
    QByteArray input = {};
    QStringList env = {}; // NAME=value
    const char* err = "";
};

const char kScript[] = "# set then read\nwritebyte 2A 16 21\r\nreadbyte 2A 16\n\necho Grüße\n";

// Paths that are listed but never opened.
const char kPorts[] = "RERODADA_SERIAL_PORTS=/nonexistent/ttyA=USB Serial:/nonexistent/ttyB="
                      "Bluetooth Link:/nonexistent/ttyC=Kelvo Command Module";
const char kNoUsb[] = "RERODADA_D2XX_LIBRARY=/nonexistent/lib.so";

// "@" in an argument is the folder of the test's files.
const CliRun kRuns[] = {
    {"every line succeeds",
     {"-c", "readbyte 2A 00", "-c", "writebyte 2A 04 80", "-c", "readbyte 2A 04"},
     0,
     {"\t12\n\n\t80\n"}},
    {"a failed line, the rest runs",
     {"-c", "readbyte 50 00", "-c", "readbyte 2A 00"},
     1,
     {"\tReadByte failed.\n\t12\n"}},
    {"scripts and options in order",
     {"-c", "echo first", "@/two.scr", "-c", "echo last"},
     0,
     {"\tfirst\n\n\t21\n\tGrüße\n\tlast\n"}},
    {"standard input",
     {},
     1,
     {"\t12\n\tSyntax error.\n\tend\n"},
     "readbyte 2A 00\nbogus\necho end\n"},
    {"unknown option", {"--no-such-option"}, 2, {""}, {}, {}, "usage:"},
    {"-c without a line", {"-c"}, 2, {""}},
    {"address no number", {"--address", "zz", "--dump"}, 2, {""}},
    {"unreadable script", {"/nonexistent/script.scr"}, 2, {""}, {}, {}, "/nonexistent/script.scr"},
    // The port search's progress stays off standard output.
    {"no board",
     {"-c", "readbyte 2A 00"},
     2,
     {""},
     {},
     {kNoUsb, "RERODADA_SERIAL_PORTS="},
     "no board found"},
    {"dump",
     {"-c", "writebyte 2A 02 0A", "-c", "writebyte 2A 0E 40", "--dump"},
     0,
     {"*", "RAR4120E at 0x2A\n0x00 DEV_ID",
      "\n0x02 ISET = 0x0A: BSTFORCE=1 FAST_SS=0 ENA=1 PSEN=0\n0x03 ",
      "\n0x0E SETTING = 0x40: SG_RETRY=0 FPWM=4 (980Hz) SS_OFF=0 SSL=0 SLDET=0 (Disabled)\n",
      "\n0x15 DIAG = 0x04: RTOOR=0 ISETOOR=0 BSTUV=0 BSTOV=0 HW_RST=1 OTW=0 OT=0\n0x16 "}},
    {"dump of an absent device",
     {"--address", "50", "--dump"},
     1,
     {"*", "RAR4120E at 0x50\n0x00 DEV_ID: ReadByte failed.\n"}},
    {"list ports",
     {"--list-ports"},
     0,
     {"*", "  USB0  PODLINK USB  S/N PL000001\n",
      "Serial ports:\n  COM1  /nonexistent/ttyA  \"USB Serial\"\n"
      "  COM2  /nonexistent/ttyB  \"Bluetooth Link\"  (not tried)\n"
      "  COM3  /nonexistent/ttyC  \"Kelvo Command Module\"  (tried first)\n"},
     {},
     {kPorts}},
#if !defined(_WIN32)
    // Listed, never opened; the second USB device is gone.
    {"list ports of the kernel's driver",
     {"--list-ports"},
     0,
     {"USB devices (/nonexistent/lib.so):\n  none: the library cannot be loaded\n"
      "USB devices of the kernel's FTDI driver:\n"
      "  USB0  PODLINK USB  S/N PL000009  /dev/null  (kernel driver)\n"
      "Serial ports:\n  COM1  /dev/null  (a USB device: not tried)\n"},
     {},
     {kNoUsb, "RERODADA_USB_TTYS=/dev/null=PL000009=PODLINK USB:/nonexistent/ttyUSB1=PL000010",
      "RERODADA_SERIAL_PORTS=/dev/null"}},
#endif
};

TEST(Program, OutputAndExitStatus) {
    QTemporaryDir dir;
    QFile script(dir.filePath("two.scr"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(kScript);
    script.close();
    for (const CliRun& run : kRuns) {
        SCOPED_TRACE(run.name);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& setting : run.env)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        QStringList args = run.args;
        args.replaceInStrings("@", dir.path());
        // Runs without a board of their own name none.
        if (!run.env.join(' ').contains("RERODADA_")) args.prepend("--simulator");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(RAR4120E_CLI, args);
        process.write(run.input);
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), run.exitCode);
        // On Windows the runner ends its lines with "\r\n".
        const QString out = process.readAllStandardOutput().replace("\r\n", "\n");
        const QString err = process.readAllStandardError();
        if (run.out.first() != "*") {
            EXPECT_EQ(out.toStdString(), run.out.first().toStdString());
        }
        for (const QString& part : run.out.mid(1))
            EXPECT_TRUE(out.contains(part)) << out.toStdString() << "\nlacks\n"
                                            << part.toStdString();
        EXPECT_TRUE(err.contains(run.err)) << err.toStdString();
    }
}

} // namespace
