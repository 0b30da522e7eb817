// The main window's command side: the routing of every command line, the
// running of scripts, Stop by Esc, and the register files.
#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "AppManager.h"
#include "AutoReadControl.h"
#include "BoardSearch.h"
#include "CommandTokenizer.h"
#include "ConsoleBox.h"
#include "I2CCommand.h"
#include "RegisterFile.h"
#include "ScriptRunner.h"
#include "StatusBar.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>

namespace {

const char kScriptFilter[] = "Script Files (*.scr)";
// On Windows .scr names a screen saver: it runs when double-clicked and mail
// filters drop it, so register files are saved as text there. Files of
// either kind load everywhere.
const char kRegisterScript[] = "Register script (*.txt)";
#ifdef Q_OS_WIN
const char kRegisterSaveFilters[] = "Register script (*.txt);;Script Files (*.scr)";
#else
const char kRegisterSaveFilters[] = "Script Files (*.scr);;Register script (*.txt)";
#endif
const char kRegisterLoadFilter[] = "Register files (*.txt *.scr)";

} // namespace

// A script leaves the window usable; only what would start another long
// operation waits for its end.
void MainWindow::setScriptRunning(bool running) {
    if (running) {
        m_messageBeforeScript = m_lblMessage->text();
        m_statusMessageBeforeScript = AppManager::statusMessageA();
    } else {
        // Whatever the script showed, the status bar is as it was.
        AppManager::setStatusMessageA(m_statusMessageBeforeScript);
        m_lblMessage->setText(m_messageBeforeScript);
    }
    for (QAction* action : {ui->actionConnect, ui->actionScan_for_Address, ui->actionRun_Script,
                            ui->actionSave_Registers, ui->actionLoad_Registers})
        action->setEnabled(!running);
    ui->actionStop->setEnabled(running);
    ui->actionStop->setText(running ? QStringLiteral("Stop Script") : QStringLiteral("Stop"));
    m_status->setStopVisible(running);
    // A script's raw transactions must reach the device whole.
    m_autoRead->hold(AutoReadControl::Script, running);
}

void MainWindow::on_action100kHz_triggered() {
    emit sig_externalCommand(QStringLiteral("SetI2CSpeed 30"));
}

void MainWindow::on_action400kHz_triggered() {
    emit sig_externalCommand(QStringLiteral("SetI2CSpeed 24"));
}

void MainWindow::slt_commandSend(QString command) {
    const QStringList words = tokenizeCommandLine(command);
    if (words.isEmpty() || linkBusy()) return;
    const QString name = words.first().toLower();
    const QString argument = words.size() > 1 ? words.at(1) : QString();
    bool converted = false;
    if (name == QLatin1String("setaddress")) {
        const int address = argument.toInt(&converted, 16);
        if (converted) {
            AppManager::setDeviceAddress(static_cast<uint8_t>(address));
            showAddress();
            return;
        }
    } else if (name == QLatin1String("readall")) {
        readAllPages();
        return;
    } else if (name == QLatin1String("writeall")) {
        on_pushButton_WriteAll_clicked();
        return;
    } else if (name == QLatin1String("autoread")) {
        const int flag = argument.toInt(&converted, 10);
        if (converted) {
            ui->cbAutoRead->setChecked(flag != 0);
            AppManager::setAutoReadEnabled(flag != 0);
            return;
        }
    } else if (name == QLatin1String("statusmsga")) {
        AppManager::setStatusMessageA(argument);
        m_lblMessage->setText(argument);
        return;
    }
    emit sig_externalCommand(command);
}

void MainWindow::on_actionRun_Script_triggered() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Script"), AppManager::homeFolder(),
        QString::fromLatin1(kScriptFilter) + QStringLiteral(";;") + QLatin1String(kRegisterScript));
    if (!path.isEmpty() && QFileInfo(path).isFile()) startScript(path);
}

bool MainWindow::startScript(const QString& path) {
    if (m_search->running()) return false;
    const QString fullPath =
        QDir::isRelativePath(path) ? AppManager::homeFolder() + QLatin1Char('/') + path : path;
    if (!m_script->start(fullPath)) return false;
    setScriptRunning(true);
    return true;
}

bool MainWindow::runScript(const QString& path) {
    if (!startScript(path)) return false;
    QEventLoop loop;
    connect(m_script, &ScriptRunner::sig_finished, &loop, &QEventLoop::quit);
    loop.exec();
    return true;
}

void MainWindow::slt_echoLine(QString line) {
    m_debugPanel->console()->printText(line, Qt::black, false);
}

void MainWindow::slt_scriptFinished() {
    setScriptRunning(false);
    m_debugPanel->console()->printText(m_script->summary(), Qt::black, false);
}

bool MainWindow::runScriptLine(const QString& line) {
    m_lineFailed = false;
    slt_commandSend(line);
    return !m_lineFailed;
}

// Esc stops a script or a search whichever widget has the keys: a menu bar
// left in keyboard mode by a closed menu, for one, takes Esc before the
// action's shortcut sees it. Menus and dialogs keep their own Esc.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
        (m_script->running() || m_search->running()) && !QApplication::activePopupWidget() &&
        !QApplication::activeModalWidget() && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        on_actionStop_triggered();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::on_actionSave_Registers_triggered() {
    QString chosenFilter;
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Registers"), AppManager::homeFolder(),
        QString::fromLatin1(kRegisterSaveFilters), &chosenFilter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty())
        path += chosenFilter.contains(QLatin1String("*.txt")) ? QStringLiteral(".txt")
                                                              : QStringLiteral(".scr");
    if (!saveRegisters(path))
        QMessageBox::warning(this, QStringLiteral("Save Registers"),
                             QStringLiteral("The registers could not be read or the file could "
                                            "not be written; nothing was saved."));
}

void MainWindow::on_actionLoad_Registers_triggered() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Load Registers"),
                                                      AppManager::homeFolder(),
                                                      QString::fromLatin1(kRegisterLoadFilter));
    if (path.isEmpty() || !QFileInfo(path).isFile()) return;
    QStringList notTaken;
    // A file that cannot be loaded has been reported by loadRegisters itself.
    if (!loadRegisters(path, &notTaken) && !notTaken.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Load Registers"),
                             QStringLiteral("These registers do not hold the file's value:\n") +
                                 notTaken.join(QLatin1Char('\n')));
}

bool MainWindow::saveRegisters(const QString& path) {
    return saveRegisterFile(path, AppManager::deviceAddress());
}

bool MainWindow::loadRegisters(const QString& path, QStringList* notTaken) {
    // A file that is no register file is not run at all: nothing is written.
    const QString problem = registerFileProblem(path);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("Load Registers"),
                             QStringLiteral("Nothing was loaded: %1").arg(problem));
        return false;
    }
    if (!runScript(path)) {
        QMessageBox::warning(this, QStringLiteral("Load Registers"),
                             QStringLiteral("%1 could not be read.").arg(path));
        return false;
    }
    const QStringList differing = registersNotTaken(path);
    readAllPages();
    if (notTaken) *notTaken = differing;
    return differing.isEmpty();
}
