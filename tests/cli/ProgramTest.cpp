// rar4120e-cli on the simulated kit: output, exit status, line sources, --dump, --list-ports.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// Arguments NAME=value set the environment, <text is the input, @ the test's folder;
// the output is the whole output, or with "*" first the "*"-separated texts it holds.
struct CliRun {
    QStringList args;
    int exitCode;
    const char* out;
    const char* err = "";
};

const char kNoUsb[] = "RERODADA_D2XX_LIBRARY=/nonexistent/lib.so";

const CliRun kRuns[] = {
    {{"-c", "readbyte 2A 00", "-c", "wait 1", "-c", "writebyte 2A 04 80", "-c", "readbyte 2A 04"},
     0,
     "\t12\n\n\t80\n"},
    {{"-c", "readbyte 50 00", "-c", "readbyte 2A 00"}, 1, "\tReadByte failed.\n\t12\n"},
    {{"-c", "echo first", "@/two.scr", "-c", "echo last"}, 0, "\tfirst\n\n\t21\n\tGrüße\n\tlast\n"},
    {{"<readbyte 2A 00\nbogus\necho end\n"}, 1, "\t12\n\tSyntax error.\n\tend\n"},
    {{"-c", "setaddress zz", "-c", "readall"},
     1,
     "*\tSyntax error.\n\t0x00 DEV_ID = 0x12*\n\t0x16 "},
    {{"-c", "SETADDRESS 0x50", "-c", "readall"}, 1, "*\t0x00 DEV_ID: ReadByte failed.\n"},
    {{"--no-such-option"}, 2, "", "usage:"},
    {{"-c"}, 2, ""},
    {{"--address", "zz", "--dump"}, 2, ""},
    {{"/nonexistent/script.scr"}, 2, "", "/nonexistent/script.scr"},
    // The port search's progress stays off standard output.
    {{kNoUsb, "RERODADA_SERIAL_PORTS=", "-c", "readbyte 2A 00"}, 2, "", "no board found"},
    {{"-c", "writebyte 2A 02 0A", "-c", "writebyte 2A 0E 40", "--dump"},
     0,
     "*RAR4120E at 0x2A\n0x00 DEV_ID*\n0x02 ISET = 0x0A: BSTFORCE=1 FAST_SS=0 ENA=1 PSEN=0\n0x03 "
     "*\n0x0E SETTING = 0x40: SG_RETRY=0 FPWM=4 (980Hz) SS_OFF=0 SSL=0 SLDET=0 (Disabled)\n"
     "*\n0x15 DIAG = 0x04: RTOOR=0 ISETOOR=0 BSTUV=0 BSTOV=0 HW_RST=1 OTW=0 OT=0\n0x16 "},
    {{"--address", "50", "--dump"}, 1, "*RAR4120E at 0x50\n0x00 DEV_ID: ReadByte failed.\n"},
    // Paths that are listed but never opened.
    {{"RERODADA_SERIAL_PORTS=/nonexistent/ttyA=USB Serial:/nonexistent/ttyB=Bluetooth Link:"
      "/nonexistent/ttyC=Kelvo Command Module",
      "--list-ports"},
     0,
     "*  USB0  PODLINK USB  S/N PL000001\n*Serial ports:\n"
     "  COM1  /nonexistent/ttyA  \"USB Serial\"\n"
     "  COM2  /nonexistent/ttyB  \"Bluetooth Link\"  (not tried)\n"
     "  COM3  /nonexistent/ttyC  \"Kelvo Command Module\"  (tried first)\n"},
    // Windows ports keep their numbers, past COM20 untried; a printer port is no serial port.
    {{"RERODADA_SERIAL_PORTS=/nonexistent/COM5:/nonexistent/LPT1:/nonexistent/COM34=Kelvo Link",
      "--list-ports"},
     0,
     "*Serial ports:\n  COM5  /nonexistent/COM5\n"
     "  COM34  /nonexistent/COM34  \"Kelvo Link\"  (not tried)\n"},
    // The D2XX library and the simulator's configuration in a folder named in any script.
    {{"RERODADA_D2XX_LIBRARY=@/Prüfstand Δοκιμή 試験/d2xx.dll", "--simulator-config",
      "@/Prüfstand Δοκιμή 試験/kit.conf", "--list-ports", "-c", "readbyte 2A 00"},
     0,
     "*d2xx.dll):\n  USB0  PODLINK USB  S/N KIT1\n*\t12\n"},
#if !defined(_WIN32)
    // Listed, never opened; the second USB device is gone.
    {{kNoUsb, "RERODADA_USB_TTYS=/dev/null=PL000009=PODLINK USB:/nonexistent/ttyUSB1=PL000010",
      "RERODADA_SERIAL_PORTS=/dev/null", "--list-ports"},
     0,
     "USB devices (/nonexistent/lib.so):\n  none: the library cannot be loaded\n"
     "USB devices of the kernel's FTDI driver:\n"
     "  USB0  PODLINK USB  S/N PL000009  /dev/null  (kernel driver)\n"
     "Serial ports:\n  COM1  /dev/null  (a USB device: not tried)\n"},
#endif
};

TEST(Program, OutputAndExitStatus) {
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    };
    ASSERT_TRUE(
        write("two.scr", "# set then read\nwritebyte 2A 16 21\r\nreadbyte 2A 16\n\necho Grüße\n"));
    // No ANSI code page holds this folder's name: Windows reaches it by its UTF-16 name only.
    ASSERT_TRUE(QDir(dir.path()).mkdir("Prüfstand Δοκιμή 試験"));
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("RERODADA_D2XX_LIBRARY"),
                            dir.filePath("Prüfstand Δοκιμή 試験/d2xx.dll")));
    ASSERT_TRUE(write("Prüfstand Δοκιμή 試験/kit.conf", "usb.serial = KIT\n"));
    for (const CliRun& run : kRuns) {
        SCOPED_TRACE(run.args.join(' ').toStdString());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QStringList args;
        QByteArray input;
        for (QString arg : run.args) {
            if (arg.startsWith('<'))
                input = arg.mid(1).toUtf8();
            else if (arg.contains(QRegExp("^[A-Z0-9_]+=")))
                env.insert(arg.section('=', 0, 0), arg.section('=', 1).replace('@', dir.path()));
            else
                args << arg.replace('@', dir.path());
        }
        // Runs that name the ports or the library of their own search none.
        if (env == QProcessEnvironment::systemEnvironment()) args.prepend("--simulator");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(RAR4120E_CLI, args);
        process.write(input);
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), run.exitCode);
        // On Windows the runner ends its lines with "\r\n".
        const std::string out = process.readAllStandardOutput().replace("\r\n", "\n").toStdString();
        const QStringList parts = QString(run.out).split('*');
        EXPECT_TRUE(parts.size() > 1 || out == run.out) << out;
        for (const QString& part : parts.mid(1))
            EXPECT_NE(out.find(part.toStdString()), std::string::npos) << out << "\nlacks\n"
                                                                       << part.toStdString();
        EXPECT_TRUE(process.readAllStandardError().contains(run.err));
    }
}

} // namespace
