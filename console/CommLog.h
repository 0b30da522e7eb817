#ifndef COMMLOG_H
#define COMMLOG_H

#include <QPoint>
#include <QWidget>

#include <cstdint>

class QLineEdit;
class QMenu;
class QAction;
class QCheckBox;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

// The on-screen communication log: every comm event of the device-access
// layer as a time-stamped row, newest first, optionally under a command prompt.
class CommLog : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMaxRows = 399;

    CommLog(QWidget* parent, bool withPrompt);

    QTableView* table() const { return m_table; }
    QLineEdit* prompt() const { return m_prompt; }
    // Every row, shown or hidden, newest first.
    QStandardItemModel* model() const { return m_model; }
    // "Hide Auto Read": while ticked, the rows of auto-read, old and new, are
    // hidden; unticked, they show again. Kept in the settings.
    QCheckBox* hideAutoReadBox() const { return m_hideAutoRead; }
    // Marks the comm events that follow as the pages' auto-read.
    void setAutoReadActive(bool active) { m_autoReadActive = active; }
    QAction* clearAction() const { return m_clearAction; }
    QAction* copyAction() const { return m_copyAction; }
    QAction* exportCsvAction() const { return m_exportCsvAction; }

    // Every row shown, oldest first, under the column headers, as RFC 4180
    // CSV.
    QString csvText() const;
    // Writes csvText() to path; false when the file cannot be written.
    bool exportCsv(const QString& path) const;

    // A row of the program's own, its text in the Result column, which
    // stretches to the table's width.
    void addNote(const QString& text);

    // The name shown for a transaction of event code dir and width dataSize.
    static QString transactionName(uint8_t dir, uint8_t dataSize);

  signals:
    void sig_commandSend(QString command);

  public slots:
    void slt_commEvent(uint8_t dir, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk);
    void slt_commPromptEvent();
    void slt_logContextMenu(QPoint pos);
    void slt_ctrlA();
    void slt_ctrlC();

  private:
    void addRow(const QString (&texts)[5], bool autoRead);
    void clearLog();
    void copySelection();
    void exportCsvChosen();

    const bool m_withPrompt;
    QLineEdit* m_prompt = nullptr;
    QTableView* m_table;
    QStandardItemModel* m_model;
    QSortFilterProxyModel* m_shown;
    QMenu* m_menu;
    QAction* m_clearAction;
    QAction* m_copyAction;
    QAction* m_exportCsvAction;
    QCheckBox* m_hideAutoRead;
    bool m_autoReadActive = false;
};

#endif // COMMLOG_H
