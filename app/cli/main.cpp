// rar4120e-cli: the command language of the evaluation kit without a window.
#include "AppManager.h"
#include "CommandRunner.h"
#include "DeviceAccess.h"
#include "PortListing.h"
#include "SimulatedKit.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: %s [options] [SCRIPT...]\n"
    "Runs command lines of the RAR4120E evaluation kit on the board and prints\n"
    "each reply as the console shows it. Lines come from -c options and script\n"
    "files, in the order given, or from standard input when there are neither\n"
    "(a script named - is standard input too).\n"
    "\n"
    "  -c LINE                  run one command line (repeatable)\n"
    "  -a, --address HEX        device address (default 2A)\n"
    "  --dump                   print every RAR4120E register, decoded\n"
    "  --list-ports             print the USB devices and serial ports the connect tries\n"
    "  --simulator              use the simulated kit beside the program\n"
    "  --simulator-config FILE  configuration of the simulated kit\n"
    "  -h, --help               print this text\n"
    "  --version                print the version\n"
    "\n"
    "Besides the interpreter's commands: setaddress HEX, readall (prints every\n"
    "register decoded), writeall (writes the writable registers as last read).\n"
    "Exit status: 0 every line succeeded, 1 a line failed, 2 bad usage or no board.\n";

enum class ActionKind { Line, Script, Dump, ListPorts };

struct Action {
    ActionKind kind;
    QString text;
};

struct Options {
    std::vector<Action> actions;
    bool help = false;
    bool version = false;
};

bool parseOptions(const QStringList& args, Options& options) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("-c") && hasValue) {
            options.actions.push_back({ActionKind::Line, args.at(++i)});
        } else if ((arg == QLatin1String("-a") || arg == QLatin1String("--address")) && hasValue) {
            bool converted = false;
            const int address = args.at(++i).toInt(&converted, 16);
            if (!converted || address < 0 || address > 0xFF) return false;
            AppManager::setDeviceAddress(static_cast<uint8_t>(address));
        } else if (arg == QLatin1String("--dump")) {
            options.actions.push_back({ActionKind::Dump, QString()});
        } else if (arg == QLatin1String("--list-ports")) {
            options.actions.push_back({ActionKind::ListPorts, QString()});
        } else if (arg == QLatin1String("--simulator")) {
            useSimulatedKit();
        } else if (arg == QLatin1String("--simulator-config") && hasValue) {
            useSimulatorConfig(args.at(++i));
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            options.actions.push_back({ActionKind::Script, arg});
        } else {
            return false;
        }
    }
    if (options.actions.empty())
        options.actions.push_back({ActionKind::Script, QStringLiteral("-")});
    return true;
}

bool needsBoard(const Options& options) {
    for (const Action& action : options.actions)
        if (action.kind != ActionKind::ListPorts) return true;
    return false;
}

// The port search reports its progress on standard output; here it goes to
// standard error, so that standard output carries only the replies.
bool connectQuietly() {
    fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const bool connected = boardConnect();
    fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(savedStdout);
    return connected;
}

bool runScript(CommandRunner& runner, const QString& path) {
    QFile file;
    if (path == QLatin1String("-"))
        file.open(stdin, QIODevice::ReadOnly | QIODevice::Text);
    else
        file.setFileName(path);
    if (!file.isOpen()) file.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream in(&file);
    in.setCodec("UTF-8");
    return runner.runLines(in);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    AppManager::setDeviceAddress(AppManager::kDefaultAddress);
    Options options;
    if (!parseOptions(QCoreApplication::arguments(), options)) {
        fprintf(stderr, kUsage, argv[0]);
        return kExitUsage;
    }
    if (options.help) {
        printf(kUsage, argv[0]);
        return 0;
    }
    if (options.version) {
        printf("rar4120e-cli %s\n", RAR4120E_VERSION);
        return 0;
    }
    for (const Action& action : options.actions) {
        if (action.kind == ActionKind::Script && action.text != QLatin1String("-") &&
            !QFileInfo(action.text).isReadable()) {
            fprintf(stderr, "%s: cannot read the script %s\n", argv[0],
                    action.text.toLocal8Bit().constData());
            return kExitUsage;
        }
    }
    if (needsBoard(options) && !connectQuietly()) {
        fprintf(stderr, "%s: no board found\n", argv[0]);
        return kExitUsage;
    }

    // Replies carry the scripts' UTF-8 text; the locale's codec would be
    // an 8-bit code page on Windows.
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    CommandRunner runner(out);
    bool allSucceeded = true;
    for (const Action& action : options.actions) {
        switch (action.kind) {
        case ActionKind::Line:
            allSucceeded = runner.runLine(action.text) && allSucceeded;
            break;
        case ActionKind::Script:
            allSucceeded = runScript(runner, action.text) && allSucceeded;
            break;
        case ActionKind::Dump:
            allSucceeded = runner.dump() && allSucceeded;
            break;
        case ActionKind::ListPorts:
            out << QString::fromStdString(portlisting::listingText());
            out.flush();
            break;
        }
    }
    out.flush();
    if (needsBoard(options)) boardDisconnect();
    return allSucceeded ? 0 : kExitFailed;
}
