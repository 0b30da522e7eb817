// The program's entry point: settings, style sheet, splash, main window.
#include "AppManager.h"
#include "DlgAbout.h"
#include "HelpFile.h"
#include "MainWindow.h"
#include "SystemManager.h"
#include "SimulatedKit.h"
#include "SimulatorCheck.h"
#include "processCommand.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kTitle[] = "Integrated 4-Channel Low-Voltage 120mA LED Driver - RAR4120E EV Kit";
const int kMainWindowDelayMs = 2000;
const int kScriptPollMs = 100;

struct Options {
    QString simulatorConfig;
    QString script;
    bool quitAfter = false;
    bool trace = false;
    int tab = 0;
    bool about = false;
    bool helpFile = false;
};

void usage(FILE* out, const char* program) {
    fprintf(out,
            "usage: %s [--simulator] [--simulator-config FILE] [--run-script FILE] "
            "[--quit-after] [--trace] [--tab INDEX] [--about] [--start-in DIR] [--help-file]\n"
            "       [--help] [--version]\n"
            "  --simulator              run on the simulated kit (no real port is touched)\n"
            "  --simulator-config FILE  the simulator's configuration\n"
            "  --run-script FILE        run the script once the first connection attempt is "
            "over\n"
            "  --quit-after             close the window after that script\n"
            "  --trace                  print every transaction and reply on standard output\n"
            "  --tab INDEX              start on tab INDEX (0 to 3)\n"
            "  --about                  open the About box once the window shows\n"
            "  --start-in DIR           work in DIR, where the settings are kept: %%NAME%% is\n"
            "                           replaced by the environment variable NAME, and DIR is\n"
            "                           made if missing\n"
            "  --help-file              print the help file that Help opens and exit\n"
            "  --help                   print this text and exit\n"
            "  --version                print the version and exit\n",
            program);
}

// --help and --version are answered before the application object exists,
// which needs a display that a shell over SSH does not have. -1: neither
// was asked for.
int answerWithoutDisplay(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--simulator-config" || arg == "--run-script" || arg == "--tab" ||
            arg == "--start-in") {
            ++i; // its value, whatever it looks like
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout, argv[0]);
            return 0;
        } else if (arg == "--version") {
            printf("rar4120e-evkit %s\n", RAR4120E_VERSION);
            return 0;
        }
    }
    return -1;
}

// An installed program is started in a folder of the user's, where its
// settings can be saved; a shortcut names it as %LOCALAPPDATA%\..., the same
// for every user of the PC.
void startIn(const QString& folder) {
    QString path = folder;
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    QRegularExpressionMatch match;
    for (int from = 0; (match = variable.match(path, from)).hasMatch();) {
        const QString value = qEnvironmentVariable(match.captured(1).toLocal8Bit().constData());
        // An unknown name stays as written, as Windows leaves it.
        const QString replacement = value.isEmpty() ? match.captured(0) : value;
        path.replace(match.capturedStart(), match.capturedLength(), replacement);
        from = match.capturedStart() + replacement.size();
    }
    if (!QDir().mkpath(path) || !QDir::setCurrent(path))
        fprintf(stderr, "cannot work in %s; the settings stay in %s\n",
                QDir::toNativeSeparators(path).toLocal8Bit().constData(),
                QDir::toNativeSeparators(QDir::currentPath()).toLocal8Bit().constData());
}

bool parseOptions(const QStringList& args, Options& options) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--simulator")) {
            useSimulatedKit();
        } else if (arg == QLatin1String("--simulator-config") && hasValue) {
            options.simulatorConfig = args.at(++i);
            useSimulatorConfig(options.simulatorConfig);
        } else if (arg == QLatin1String("--run-script") && hasValue) {
            options.script = args.at(++i);
        } else if (arg == QLatin1String("--quit-after")) {
            options.quitAfter = true;
        } else if (arg == QLatin1String("--trace")) {
            options.trace = true;
        } else if (arg == QLatin1String("--tab") && hasValue) {
            bool converted = false;
            options.tab = args.at(++i).toInt(&converted);
            if (!converted) return false;
        } else if (arg == QLatin1String("--about")) {
            options.about = true;
        } else if (arg == QLatin1String("--start-in") && hasValue) {
            startIn(args.at(++i));
        } else if (arg == QLatin1String("--help-file")) {
            options.helpFile = true;
        } else {
            return false;
        }
    }
    return true;
}

// Every comm event and interpreter reply on standard output, one line each,
// so that a script run can be checked from outside.
void traceToStdout(QObject* context) {
    QObject::connect(SystemManager::instance(), &SystemManager::sig_commEvent, context,
                     [](uint8_t cmd, uint8_t reg, uint8_t size, uint32_t data, uint8_t ok) {
                         printf("event cmd=%u reg=0x%02X size=%u data=0x%X ok=%u\n", cmd, reg, size,
                                data, ok);
                         fflush(stdout);
                     });
    QObject::connect(processCommand::instance(), &processCommand::sig_commandProcessed, context,
                     [](const QString& command, const QString& text, bool ok) {
                         printf("reply ok=%d command=%s text=%s\n", ok ? 1 : 0,
                                command.trimmed().toUtf8().constData(),
                                text.trimmed().toUtf8().constData());
                         fflush(stdout);
                     });
}

// Runs the script once the first connection attempt (and its demo-mode
// question, if any) is over.
void runScriptWhenConnected(MainWindow* window, const Options& options) {
    if (!window->connectionAttempted() ||
        qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        QTimer::singleShot(kScriptPollMs, window,
                           [window, options] { runScriptWhenConnected(window, options); });
        return;
    }
    const bool ran = window->runScript(options.script);
    if (!ran)
        fprintf(stderr, "cannot read the script %s\n", options.script.toLocal8Bit().constData());
    if (options.quitAfter) {
        window->close();
        QCoreApplication::exit(ran ? 0 : 1);
    }
}

void reportSimulatorConfigProblem(const QString& problem) {
    QMessageBox::warning(nullptr, QStringLiteral("Simulator configuration"),
                         QStringLiteral("The simulator configuration was not used: %1\n\n"
                                        "The simulated kit has no devices. Correct the file and "
                                        "start the program again.")
                             .arg(problem));
}

} // namespace

int main(int argc, char* argv[]) {
    const int answered = answerWithoutDisplay(argc, argv);
    if (answered >= 0) return answered;
    // Drawn at the screen's scale, 125 % and 150 % included (not rounded to
    // 100 % or 200 %), with sharp text and images.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    Options options;
    if (!parseOptions(QCoreApplication::arguments(), options)) {
        usage(stderr, argv[0]);
        return 2;
    }

    if (options.helpFile) {
        const QString help = helpFile();
        if (help.isEmpty()) {
            printf("No help file found: looked for %s\n",
                   helpFileCandidates().join(QStringLiteral(", ")).toLocal8Bit().constData());
            return 1;
        }
        printf("%s\n", help.toLocal8Bit().constData());
        return 0;
    }

    AppManager::setAppName(QString::fromLatin1(kTitle));
    AppManager::setAppVersion(QStringLiteral(RAR4120E_VERSION));
    AppManager* appManager = AppManager::instance();
    appManager->loadSettings();

    // The kit's icon on every window; the Windows program file carries it too.
    app.setWindowIcon(QIcon(QStringLiteral(":/images/rar4120e.png")));

    QFile styleSheet(QCoreApplication::applicationDirPath() +
                     QStringLiteral("/STYLE/stylesheet.qss"));
    if (styleSheet.open(QIODevice::ReadOnly | QIODevice::Text))
        app.setStyleSheet(QTextStream(&styleSheet).readAll());

    // Before the window, so that the search does not ask its question over
    // this one.
    if (!options.simulatorConfig.isEmpty()) {
        const QString problem = simulatorConfigProblem();
        if (!problem.isEmpty()) reportSimulatorConfigProblem(problem);
    }

    DlgAbout* splash = nullptr;
    if (DlgAbout::splashWanted(appManager->nativeSettings())) {
        splash = new DlgAbout(nullptr, true);
        splash->showDialog();
    }

    MainWindow window;
    window.setWindowTitle(QString::fromLatin1(kTitle));
    if (options.trace) traceToStdout(&window);
    if (QTabWidget* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget")))
        tabs->setCurrentIndex(options.tab);
    if (options.about)
        QTimer::singleShot(kMainWindowDelayMs, &window, &MainWindow::slt_aboutClicked);
    if (splash)
        QTimer::singleShot(kMainWindowDelayMs, &window, &MainWindow::show);
    else
        window.show();
    if (!options.script.isEmpty()) runScriptWhenConnected(&window, options);

    return app.exec();
}
