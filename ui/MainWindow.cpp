#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "AppManager.h"
#include "AutoReadControl.h"
#include "BoardSearch.h"
#include "CommLog.h"
#include "DeviceAccess.h"
#include "DlgAbout.h"
#include "HelpFile.h"
#include "I2CCommand.h"
#include "RegisterTips.h"
#include "ScriptRunner.h"
#include "StatusBar.h"
#include "SystemManager.h"
#include "WindowPlacement.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"
#include "processCommand.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QUrl>

namespace {

const char kBoardNotFound[] = "<font color='red'>PODLINK: Device not found";
const char kKitNotFound[] = "<font color='red'>EV Kit: Device not found";
const char kKitConnected[] = "<font color='black'>EV Kit: Connected";
const char kBoardTextPrefix[] = "<font color='black'>";
const char kPodlinkBannerStart[] = "Kelvo PODLINK";
const char kDemoMode[] = "Demo Mode";
const char kSearching[] = "Searching for the board: %1…";
const char kClosing[] = "Closing when the search has stopped…";
// How often a search asked for during an operation looks whether it is over.
const int kSearchDeferMs = 50;
const char kBusy[] = "Busy: a board search is running";
const char kBoardLost[] = "<font color='red'>PODLINK: Board lost, F9 reconnects";
const char kDisconnected[] = "<font color='red'>PODLINK: Disconnected";
const int kMaxScanEntries = 127;
// Room for a title bar's icon and three buttons (Windows draws each button
// about three lines of its caption text wide), in lines of text.
const int kTitleBarRoomInLines = 14;

// Title bar and system menu only: no context-help button.
constexpr Qt::WindowFlags kDialogFlags = Qt::WindowTitleHint | Qt::WindowSystemMenuHint;

// Screens at least this tall have room for a whole page and the window.
const int kRoomyScreenHeight = 900;

// A page scrolls when the window is smaller than it; on a screen with room
// for all of it, the window keeps it whole.
QScrollArea* scrolling(QWidget* page) {
    auto* area = new QScrollArea;
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    if (QGuiApplication::primaryScreen()->availableGeometry().height() >= kRoomyScreenHeight) {
        // The style sheet decides the page's size.
        page->ensurePolished();
        area->setMinimumHeight(page->minimumSizeHint().expandedTo(page->minimumSize()).height());
    }
    return area;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
    ui->setupUi(this);
    setWindowTitle(AppManager::appName());
    placeWindow(this);

    m_page1 = new frmMainPage(this);
    m_page2 = new frmMainPage2(this);
    connect(this, SIGNAL(PodLinkConnected()), m_page1, SLOT(slt_connectionEstablished()));
    connect(this, SIGNAL(PodLinkConnected()), m_page2, SLOT(slt_connectionEstablished()));
    connect(m_page1, SIGNAL(sig_pwmPeriodChosen()), m_page2, SLOT(slt_pwmPeriodChosen()));
    ui->tabWidget->addTab(m_page1, QStringLiteral("RAR4120E_A"));
    ui->tabWidget->addTab(m_page2, QStringLiteral("RAR4120E_B"));
    m_commLog = new CommLog(this, true);
    m_debugPanel = new I2CCommand(this);
    ui->tabWidget->addTab(m_debugPanel, QStringLiteral("Debug"));
    ui->tabWidget->addTab(m_commLog, QStringLiteral("Log"));
    ui->tabWidget->setCurrentIndex(0);

    m_status = new StatusBar(statusBar(), ui->actionStop);
    m_lblMessage = m_status->message();
    m_lblMessage->setText(AppManager::statusMessageA());
    m_lblBoard = m_status->board();
    m_lblBoard->setText(AppManager::statusMessageB());
    m_lblKit = m_status->kit();
    m_lblAddress = m_status->address();
    showAddress();

    ui->cbAutoRead->setChecked(AppManager::autoReadEnabled());

    m_lblBoard->setText(QString::fromLatin1(kBoardNotFound));

    m_about = new DlgAbout(this, false);

    connect(ui->actionAbout, SIGNAL(triggered()), this, SLOT(slt_aboutClicked()));
    connect(ui->actionExit, SIGNAL(triggered()), this, SLOT(close()));
    connect(ui->cbAutoRead, SIGNAL(toggled(bool)), this, SLOT(slt_AutoReadChanged(bool)));
    const char* commEvent = SIGNAL(sig_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t));
    const char* commSlot = SLOT(slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t));
    SystemManager* system = SystemManager::instance();
    connect(system, commEvent, this, commSlot);
    connect(system, commEvent, m_page1, commSlot);
    connect(system, commEvent, m_page2, commSlot);

    m_interpreter = processCommand::instance();
    // The line goes into the Debug console before its reply does.
    connect(m_commLog, &CommLog::sig_commandSend, this,
            [this](const QString& line) { slt_echoLine(line.trimmed()); });
    connect(m_commLog, SIGNAL(sig_commandSend(QString)), this, SLOT(slt_commandSend(QString)));
    connect(m_debugPanel, SIGNAL(sig_commandEntered(QString)), this,
            SLOT(slt_commandSend(QString)));
    connect(this, SIGNAL(sig_externalCommand(QString)), m_interpreter,
            SLOT(slt_commandHandler(QString)));

    // The register pages explain their controls. They and the Debug panel,
    // the tallest tab, scroll when the window is smaller than they are, so
    // that no tab sets the window's least height.
    for (int tab : {0, 1, 2}) {
        QWidget* page = ui->tabWidget->widget(tab);
        const QString title = ui->tabWidget->tabText(tab);
        if (page != m_debugPanel) addRegisterTips(page);
        ui->tabWidget->removeTab(tab);
        ui->tabWidget->insertTab(tab, scrolling(page), title);
    }
    ui->tabWidget->setCurrentIndex(0);
    m_autoRead = new AutoReadControl(
        m_commLog, {m_page1, m_page2},
        {m_page1->findChild<QTimer*>(QStringLiteral("autoReadTimer")),
         m_page2->findChild<QTimer*>(QStringLiteral("autoReadTimer"))},
        [this](bool on) {
            m_page1->setAutoRead(on);
            m_page2->setAutoRead(on);
        },
        this);
    connect(m_autoRead, &AutoReadControl::sig_boardLost, this,
            [this] { m_lblBoard->setText(QString::fromLatin1(kBoardLost)); });
    m_search = new BoardSearch(this);
    connect(m_search, &BoardSearch::sig_progress, this, &MainWindow::slt_searchProgress);
    connect(m_search, &BoardSearch::sig_finished, this, &MainWindow::slt_searchFinished);
    m_script = new ScriptRunner([this](const QString& line) { return runScriptLine(line); }, this);
    connect(m_interpreter, &processCommand::sig_commandProcessed, this,
            [this](const QString&, const QString&, bool success) {
                if (!success) m_lineFailed = true;
            });
    qApp->installEventFilter(this);
    connect(m_script, &ScriptRunner::sig_lineStarted, this, &MainWindow::slt_echoLine);
    connect(m_script, &ScriptRunner::sig_finished, this, &MainWindow::slt_scriptFinished);

    QTimer::singleShot(kInitConnectDelayMs, this, SLOT(slt_initConnect()));
}

MainWindow::~MainWindow() {
    delete ui;
}

void MainWindow::showAddress() {
    m_status->showAddress(AppManager::deviceAddress());
}

void MainWindow::slt_aboutClicked() {
    m_about->showDialog();
}

void MainWindow::slt_updateConnectionStatus(QString msg) {
    m_lblBoard->setText(msg);
}

void MainWindow::slt_AutoReadChanged(bool val) {
    m_autoRead->setWanted(val);
    AppManager::setAutoReadEnabled(val);
}

void MainWindow::slt_regRead(uint8_t reg, uint8_t regSize) {
    readRegister(reg, regSize);
}

void MainWindow::slt_regWrite(uint8_t reg, uint16_t val, uint8_t regSize) {
    writeRegister(reg, regSize, val);
}

void MainWindow::slt_initConnect() {
    startSearch();
}

void MainWindow::on_actionConnect_triggered() {
    startSearch();
}

bool MainWindow::searching() const {
    return m_search->running();
}

bool MainWindow::scriptRunning() const {
    return m_script->running();
}

// The search runs beside the event loop; connectBoard takes over when it is
// over.
void MainWindow::startSearch() {
    if (m_script->running() || m_search->running()) return;
    // F9 during an operation of the window (the log lets the window answer
    // between its transactions): the search waits for the operation's end,
    // so that none is left half done.
    if (commEventRunning()) {
        QTimer::singleShot(kSearchDeferMs, this, &MainWindow::startSearch);
        return;
    }
    m_searchCancelled = false;
    m_busyTold = false;
    m_autoRead->setBoardThere(false);
    m_messageBeforeSearch = m_lblMessage->text();
    m_search->start();
    setSearching(true);
}

void MainWindow::slt_searchProgress(QString text) {
    // Lines of a finished search may still be on their way.
    if (!m_search->running() || m_closeAfterSearch) return;
    m_lblMessage->setText(
        QString::fromUtf8(kSearching)
            .arg(text)
            .prepend(m_busyTold ? QString::fromLatin1(kBusy) + QStringLiteral(". ") : QString()));
}

void MainWindow::slt_searchFinished(bool connected) {
    setSearching(false);
    if (m_closeAfterSearch) {
        close();
        return;
    }
    m_boardFound = connected;
    connectBoard();
}

// Nothing may talk to the board while the search owns the link: the
// controls that would are disabled and the pages' auto-read pauses.
void MainWindow::setSearching(bool searching) {
    for (QWidget* widget : std::initializer_list<QWidget*>{ui->cbAutoRead, ui->pushButton_Refresh,
                                                           ui->pushButton_WriteAll, m_debugPanel})
        widget->setEnabled(!searching);
    if (m_commLog->prompt()) m_commLog->prompt()->setEnabled(!searching);
    for (QAction* action : {ui->actionConnect, ui->actionScan_for_Address, ui->actionSet_Address,
                            ui->actionRefresh, ui->actionRun_Script, ui->actionSave_Registers,
                            ui->actionLoad_Registers, ui->action100kHz, ui->action400kHz})
        action->setEnabled(!searching);
    ui->actionStop->setEnabled(searching);
    ui->actionStop->setText(searching ? QStringLiteral("Cancel Search") : QStringLiteral("Stop"));
    // The search's progress replaces the message only while it runs.
    if (!searching) m_lblMessage->setText(m_messageBeforeSearch);
    m_status->setStopVisible(searching);
    m_autoRead->hold(AutoReadControl::Search, searching);
}

void MainWindow::on_actionStop_triggered() {
    if (m_search->running()) {
        m_searchCancelled = true;
        m_search->stop();
    }
    if (m_script->running()) m_script->stop();
}

void MainWindow::showBanner() {
    m_boardStatus = QString::fromLatin1(kBoardTextPrefix) + boardBanner();
    m_banner = m_boardStatus.left(m_boardStatus.size() - 1);
    slt_updateConnectionStatus(m_banner);
}

// Every action of the user that needs the link asks here first: while a
// search holds it, the action is refused whole, and the user is told.
bool MainWindow::linkBusy() {
    if (!m_search->running()) return false;
    m_busyTold = true;
    m_lblMessage->setText(QString::fromLatin1(kBusy));
    m_commLog->addNote(QString::fromLatin1(kBusy) + QStringLiteral(": the action was not done."));
    return true;
}

void MainWindow::readAllPages() {
    if (linkBusy()) return;
    m_page1->readAll();
    m_page2->readAll();
}

// The rest of the connection sequence, once the search is over.
void MainWindow::connectBoard() {
    if (m_boardFound) {
        m_autoRead->setBoardThere(true);
        showBanner();
        emit PodLinkConnected();
        readAllPages();
    } else if (m_searchCancelled) {
        // The user chose to stay without a board: no demo-mode question.
        m_lblBoard->setText(QString::fromLatin1(kDisconnected));
        m_lblKit->setText(QString::fromLatin1(kKitNotFound));
        if (AppManager::demoMode()) m_lblMessage->setText(QString::fromLatin1(kDemoMode));
        m_connectionAttempted = true;
        return;
    } else {
        m_lblBoard->setText(QString::fromLatin1(kBoardNotFound));
        m_lblKit->setText(QString::fromLatin1(kKitNotFound));
    }
    checkConnection();
    // "&Retry" started another search: the attempt is not over.
    if (!m_search->running()) m_connectionAttempted = true;
}

void MainWindow::checkConnection() {
    if (boardConnected()) {
        AppManager::setDemoMode(false);
        m_lblMessage->clear();
        return;
    }
    if (AppManager::demoMode()) {
        m_lblMessage->setText(QString::fromLatin1(kDemoMode));
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Device not found"),
                    QStringLiteral("Device not connected. Start demo mode?"), QMessageBox::NoButton,
                    this);
    QPushButton* ok = box.addButton(QStringLiteral("&Ok"), QMessageBox::AcceptRole);
    QPushButton* retry = box.addButton(QStringLiteral("&Retry"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setInformativeText(m_search->summary());
    // Escape and the window's close button mean "&Ok", never another search.
    box.setEscapeButton(ok);
    box.exec();
    if (box.clickedButton() == retry) {
        startSearch();
        return;
    }
    AppManager::setDemoMode(true);
    m_lblMessage->setText(QString::fromLatin1(kDemoMode));
    m_page1->loadDefaults();
    m_page2->loadDefaults();
    m_autoRead->valuesShown();
}

void MainWindow::slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t commOK) {
    showAddress();
    if (commOK) {
        m_lblKit->setText(QString::fromLatin1(kKitConnected));
        return;
    }
    m_lblKit->setText(QString::fromLatin1(kKitNotFound));
    // A board that still answers with its banner is there: the device is not.
    if (m_autoRead->boardLost())
        m_lblBoard->setText(QString::fromLatin1(kBoardLost));
    else if (boardBanner().startsWith(QLatin1String(kPodlinkBannerStart)))
        showBanner();
    else
        m_lblBoard->setText(QString::fromLatin1(kBoardNotFound));
}

void MainWindow::on_actionSet_Address_triggered() {
    bool accepted = false;
    const QString text = QInputDialog::getText(
        this, QStringLiteral("Set Address"), QStringLiteral("Address (hex):"), QLineEdit::Normal,
        QString::number(AppManager::deviceAddress(), 16).toUpper(), &accepted, kDialogFlags);
    if (!accepted) return;
    bool converted = false;
    const int address = text.toInt(&converted, 16);
    if (!converted) return;
    AppManager::setDeviceAddress(static_cast<uint8_t>(address));
    showAddress();
    readAllPages();
}

void MainWindow::on_actionAuto_Read_Timeout_triggered() {
    bool accepted = false;
    const int timeout =
        QInputDialog::getInt(this, QStringLiteral("Set Timeout"), QStringLiteral("Timeout (ms):"),
                             AppManager::autoReadTimeout(), AppManager::kMinAutoReadTimeout,
                             AppManager::kMaxAutoReadTimeout, 100, &accepted, kDialogFlags);
    if (accepted) AppManager::setAutoReadTimeout(timeout);
}

void MainWindow::on_actionScan_for_Address_triggered() {
    if (linkBusy()) return;
    uint8_t found[kScanBufferSize];
    scanAddresses(found);
    QStringList items;
    for (int i = 0; i < kMaxScanEntries && found[i] != kScanEndMark; ++i)
        items << QStringLiteral("0x") + QString::number(found[i], 16).toUpper();
    if (items.isEmpty()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Scan complete"),
                        QStringLiteral("No devices were found."));
        box.exec();
        return;
    }
    QInputDialog dialog(this, kDialogFlags);
    dialog.setWindowTitle(QStringLiteral("Devices Found"));
    dialog.setLabelText(QStringLiteral("Select Address"));
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(true);
    dialog.setTextValue(items.first());
    // The window manager draws the title beside its buttons; the list makes
    // the dialog wide enough for both at any text size (the dialog's layout
    // sets its own least size from its contents).
    dialog.ensurePolished(); // the style sheet's font
    if (auto* list = dialog.findChild<QComboBox*>()) {
        const QFontMetrics metrics(dialog.font());
        list->setMinimumWidth(metrics.horizontalAdvance(dialog.windowTitle()) +
                              kTitleBarRoomInLines * metrics.height());
        // An editable list keeps Return for itself; here it takes the choice.
        connect(list->lineEdit(), &QLineEdit::returnPressed, &dialog, &QDialog::accept);
    }
    if (dialog.exec() == QDialog::Accepted) {
        bool converted = false;
        const int address = dialog.textValue().toInt(&converted, 16);
        // Text that is no address leaves the address as it was.
        if (converted) AppManager::setDeviceAddress(static_cast<uint8_t>(address));
    }
    showAddress();
    readAllPages();
}

void MainWindow::on_actionRefresh_triggered() {
    readAllPages();
}

void MainWindow::on_pushButton_Refresh_clicked() {
    readAllPages();
}

void MainWindow::on_pushButton_WriteAll_clicked() {
    if (linkBusy()) return;
    m_page1->writeAll();
    m_page2->writeAll();
}

void MainWindow::on_cbAutoRead_toggled(bool checked) {
    AppManager::setAutoReadEnabled(checked);
}

void MainWindow::on_actionCommand_Reference_triggered() {
    const QString path = helpFile();
    QString problem;
    if (path.isEmpty())
        problem = QStringLiteral("The help file is missing: looked for %1. Install the program "
                                 "again, or build it again, which writes the file beside it.")
                      .arg(helpFileCandidates().join(QStringLiteral(" and ")));
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        problem = QStringLiteral("The help file %1 could not be opened: the desktop has no "
                                 "program set up for it. Open the file in a web browser.")
                      .arg(path);
    if (!problem.isEmpty()) QMessageBox::warning(this, QStringLiteral("Help"), problem);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The search owns the link: it is asked to stop, and the window closes
    // when it has.
    if (m_search->running()) {
        m_closeAfterSearch = true;
        m_search->stop();
        m_lblMessage->setText(QString::fromUtf8(kClosing));
        event->ignore();
        return;
    }
    m_script->stop();
    qDebug() << "Quiting App..";
    AppManager* app = AppManager::instance();
    app->saveSettings();
    if (!isMaximized()) app->saveWindowGeometry(pos(), size());
    // A problem not told before is told now, before the window goes.
    reportSettingsProblem(true);
    boardDisconnect();
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Over the window, once it is there.
    QTimer::singleShot(0, this, [this] { reportSettingsProblem(false); });
}

// Once a session, and only to a user who sees the window, so that a window
// never shown is never held up. The warning leaves the window usable; at the
// close it waits for the user, as it would vanish with the window.
void MainWindow::reportSettingsProblem(bool waitForAnswer) {
    if (m_settingsProblemTold || !isVisible()) return;
    const QString problem = AppManager::instance()->settingsProblem();
    if (problem.isEmpty()) return;
    m_settingsProblemTold = true;
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Settings"), problem,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (waitForAnswer) {
        box->exec();
        return;
    }
    box->setWindowModality(Qt::NonModal);
    box->show();
}
