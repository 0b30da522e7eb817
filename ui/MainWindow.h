#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>

class QLabel;
class StatusBar;
class AutoReadControl;
class BoardSearch;
class CommLog;
class ScriptRunner;
class DlgAbout;
class I2CCommand;
class frmMainPage;
class frmMainPage2;
class processCommand;

namespace Ui {
class MainWindow;
}

// The program's main window: the two register pages and the tool tabs, the
// status bar with the message, board and kit labels, the connection sequence
// with its demo-mode offer, and the routing of every command line.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    // The first connection attempt runs this long after construction.
    static constexpr int kInitConnectDelayMs = 400;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Executes each line of the file as a command line, in order; a relative
    // path is taken from the home folder. Returns when the script is over,
    // the window answering meanwhile. False when the file cannot be read or
    // a script is running.
    bool runScript(const QString& path);
    // The same without waiting: the script runs from the event loop.
    bool startScript(const QString& path);

    // Reads the writable registers of the device and saves them as a script
    // of writebyte lines (status bits cleared) under a comment header. False
    // when a read fails or the file cannot be written; nothing is saved then.
    bool saveRegisters(const QString& path);
    // Runs a saved register file as a script, reads back every writable
    // register it wrote and then the pages. notTaken gets a line for each
    // register that does not hold the file's value; false when there is one
    // or the file cannot be read.
    bool loadRegisters(const QString& path, QStringList* notTaken = nullptr);

    // True once the first connection sequence, demo-mode question included,
    // has finished.
    bool connectionAttempted() const { return m_connectionAttempted; }
    bool searching() const;
    bool scriptRunning() const;

    frmMainPage* page1() const { return m_page1; }
    frmMainPage2* page2() const { return m_page2; }
    CommLog* commLog() const { return m_commLog; }
    I2CCommand* debugPanel() const { return m_debugPanel; }
    QLabel* messageLabel() const { return m_lblMessage; }
    QLabel* boardLabel() const { return m_lblBoard; }
    QLabel* kitLabel() const { return m_lblKit; }
    QLabel* addressLabel() const { return m_lblAddress; }
    DlgAbout* aboutDialog() const { return m_about; }

  signals:
    void PodLinkConnected();
    void sig_externalCommand(QString command);

  public slots:
    void slt_aboutClicked();
    void slt_updateConnectionStatus(QString msg);
    void slt_AutoReadChanged(bool val);
    void slt_regRead(uint8_t reg, uint8_t regSize);
    void slt_regWrite(uint8_t reg, uint16_t val, uint8_t regSize);
    void on_actionConnect_triggered();
    void on_actionSet_Address_triggered();
    void on_actionAuto_Read_Timeout_triggered();
    void on_actionRun_Script_triggered();
    void on_actionSave_Registers_triggered();
    void on_actionLoad_Registers_triggered();
    void on_actionScan_for_Address_triggered();
    void slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t commOK);
    void on_actionRefresh_triggered();
    void slt_commandSend(QString command);
    void on_actionCommand_Reference_triggered();
    void on_action100kHz_triggered();
    void on_action400kHz_triggered();
    void on_pushButton_Refresh_clicked();
    void on_pushButton_WriteAll_clicked();
    void on_cbAutoRead_toggled(bool checked);
    void slt_initConnect();
    void on_actionStop_triggered();

  private slots:
    void slt_searchProgress(QString text);
    void slt_searchFinished(bool connected);
    void slt_echoLine(QString line);
    void slt_scriptFinished();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void reportSettingsProblem(bool waitForAnswer);
    void startSearch();
    void setSearching(bool searching);
    void setScriptRunning(bool running);
    // One line of a script; false when the interpreter answered it failed.
    bool runScriptLine(const QString& line);
    void connectBoard();
    void checkConnection();
    void showBanner();
    bool linkBusy();
    void readAllPages();
    void showAddress();

    Ui::MainWindow* ui;
    StatusBar* m_status = nullptr;
    QLabel* m_lblMessage = nullptr;
    QLabel* m_lblBoard = nullptr;
    QLabel* m_lblKit = nullptr;
    QLabel* m_lblAddress = nullptr;
    QString m_boardStatus;
    QString m_banner;
    frmMainPage* m_page1 = nullptr;
    frmMainPage2* m_page2 = nullptr;
    CommLog* m_commLog = nullptr;
    I2CCommand* m_debugPanel = nullptr;
    processCommand* m_interpreter = nullptr;
    DlgAbout* m_about = nullptr;
    bool m_connectionAttempted = false;
    BoardSearch* m_search = nullptr;
    bool m_boardFound = false;
    bool m_closeAfterSearch = false;
    bool m_searchCancelled = false;
    bool m_busyTold = false;
    AutoReadControl* m_autoRead = nullptr;
    QString m_messageBeforeSearch;
    ScriptRunner* m_script = nullptr;
    bool m_lineFailed = false;
    QString m_messageBeforeScript;
    QString m_statusMessageBeforeScript;
    bool m_settingsProblemTold = false;
};

#endif // MAINWINDOW_H
