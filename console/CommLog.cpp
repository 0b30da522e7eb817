#include "CommLog.h"

#include "AppManager.h"
#include "SystemManager.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextStream>
#include <QTime>

#include <algorithm>

namespace {

// A field quoted when it holds a separator, a quote or a line break, its
// quotes doubled (RFC 4180).
QString csvField(const QString& text) {
    static const QString kSpecial = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return kSpecial.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Marks a row's first item as a row of the pages' auto-read.
constexpr int kAutoReadRole = Qt::UserRole + 1;

bool isAutoRead(const QStandardItemModel* model, int row) {
    return model->item(row, 0)->data(kAutoReadRole).toBool();
}

// The rows the table shows: all, or all but auto-read's.
class ShownRows : public QSortFilterProxyModel {
  public:
    ShownRows(QStandardItemModel* rows, QCheckBox* hideAutoRead, QObject* parent)
        : QSortFilterProxyModel(parent), m_rows(rows), m_hideAutoRead(hideAutoRead) {
        setSourceModel(rows);
    }

  protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override {
        return !(m_hideAutoRead->isChecked() && isAutoRead(m_rows, row));
    }

  private:
    QStandardItemModel* m_rows;
    QCheckBox* m_hideAutoRead;
};

const char kSettingsFile[] = "RAR4120E.ini";
const char kHideAutoReadKey[] = "Application/hideAutoRead";

} // namespace

CommLog::CommLog(QWidget* parent, bool withPrompt)
    : QWidget(parent), m_withPrompt(withPrompt), m_table(new QTableView(this)),
      m_model(new QStandardItemModel(0, 5, this)), m_menu(new QMenu(this)),
      m_hideAutoRead(new QCheckBox(QStringLiteral("Hide Auto Read"), this)) {
    m_shown = new ShownRows(m_model, m_hideAutoRead, this);
    auto* layout = new QGridLayout(this);
    if (m_withPrompt) {
        m_prompt = new QLineEdit(this);
        m_prompt->setMaximumHeight(100);
        layout->addWidget(new QLabel(QStringLiteral("Command>>"), this), 0, 0);
        layout->addWidget(m_prompt, 0, 1);
        connect(m_prompt, SIGNAL(returnPressed()), this, SLOT(slt_commPromptEvent()));
    }
    layout->addWidget(m_hideAutoRead, 0, 2);
    layout->addWidget(m_table, 1, 0, 1, 3);
    m_hideAutoRead->setToolTip(
        QStringLiteral("Hides the rows of Auto Read; Copy and Export CSV take the rows shown"));
    m_hideAutoRead->setChecked(QSettings(QString::fromLatin1(kSettingsFile), QSettings::IniFormat)
                                   .value(QString::fromLatin1(kHideAutoReadKey), false)
                                   .toBool());
    connect(m_hideAutoRead, &QCheckBox::toggled, this, [this](bool hide) {
        m_shown->invalidate();
        QSettings(QString::fromLatin1(kSettingsFile), QSettings::IniFormat)
            .setValue(QString::fromLatin1(kHideAutoReadKey), hide);
    });

    m_model->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("CMD"),
                                        QStringLiteral("Register"), QStringLiteral("Data"),
                                        QStringLiteral("Result")});
    m_table->setModel(m_shown);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setGridStyle(Qt::DotLine);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAutoScroll(false);
    m_table->setAlternatingRowColors(true);
    m_table->setStyleSheet(
        QStringLiteral("QTableView { alternate-background-color: '#DDDDDD';"
                       "background-color: '#FFFFFF'; selection-background-color: '#9EC3DE';"
                       "border: 1px solid '#E0E0E0'; }"));
    QHeaderView* header = m_table->horizontalHeader();
    header->setStyleSheet(QStringLiteral(
        "QHeaderView::section {border: 1px solid '#E0E0E0'; background-color: "
        "qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #F3F3F3, stop: 1 #C6C6C6);}"));
    header->setMinimumHeight(28);
    header->setStretchLastSection(true);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);

    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table, SIGNAL(customContextMenuRequested(QPoint)), this,
            SLOT(slt_logContextMenu(QPoint)));
    m_clearAction = m_menu->addAction(QStringLiteral("Clear Log"));
    m_copyAction = m_menu->addAction(QStringLiteral("Copy Selection"));
    m_exportCsvAction = m_menu->addAction(QStringLiteral("Export CSV…"));

    auto* ctrlA = new QShortcut(QKeySequence(QStringLiteral("Ctrl+A")), this);
    auto* ctrlC = new QShortcut(QKeySequence(QStringLiteral("Ctrl+C")), this);
    ctrlA->setContext(Qt::WindowShortcut);
    ctrlC->setContext(Qt::WindowShortcut);
    connect(ctrlA, SIGNAL(activated()), this, SLOT(slt_ctrlA()));
    connect(ctrlC, SIGNAL(activated()), this, SLOT(slt_ctrlC()));

    connect(SystemManager::instance(),
            SIGNAL(sig_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t)), this,
            SLOT(slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t)));
}

QString CommLog::transactionName(uint8_t dir, uint8_t dataSize) {
    const int width = dataSize <= 8 ? 0 : dataSize <= 16 ? 1 : 2;
    switch (dir) {
    case 0:
        return QStringList{QStringLiteral("ReadByte"), QStringLiteral("ReadWord"),
                           QStringLiteral("ReadDWord")}
            .at(width);
    case 1:
        return QStringList{QStringLiteral("WriteByte"), QStringLiteral("WriteWord"),
                           QStringLiteral("WriteDWord")}
            .at(width);
    case 4:
        return QStringLiteral("ReadSPI");
    case 5:
        return QStringLiteral("WriteSPI");
    case 10:
        return QStringLiteral("WriteGPIO");
    case 11:
        return QStringLiteral("ReadGPIO");
    default:
        return QStringLiteral("Unknown");
    }
}

void CommLog::slt_commEvent(uint8_t dir, uint8_t reg, uint8_t dataSize, uint32_t data,
                            uint8_t commOk) {
    const QString dataText =
        dataSize <= 8 ? QString::asprintf("0x%02X", static_cast<unsigned>(data & 0xFF))
                      : QString::asprintf("0x%04X", static_cast<unsigned>(data & 0xFFFF));
    addRow({QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
            transactionName(dir, dataSize), QString::asprintf("0x%02X", static_cast<unsigned>(reg)),
            dataText, commOk ? QStringLiteral("OK") : QStringLiteral("FAIL")},
           m_autoReadActive);
    // Lets the window repaint between the transactions of a long operation.
    QApplication::processEvents();
}

void CommLog::addNote(const QString& text) {
    addRow({QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), QStringLiteral("Note"),
            QString(), QString(), text},
           false);
}

void CommLog::addRow(const QString (&texts)[5], bool autoRead) {
    QList<QStandardItem*> items;
    for (const QString& text : texts) {
        auto* item = new QStandardItem(text);
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        items << item;
    }
    items.first()->setData(autoRead, kAutoReadRole);
    m_model->insertRow(0, items);
    if (m_model->rowCount() <= kMaxRows) return;
    // Auto-read adds rows every second: when the log is full its oldest row
    // goes first, so that the user's own rows (and the program's notes)
    // stay until as many newer ones of theirs have come.
    int oldest = m_model->rowCount() - 1;
    for (int row = oldest; row >= 0; --row) {
        if (isAutoRead(m_model, row)) {
            oldest = row;
            break;
        }
    }
    m_model->removeRow(oldest);
}

void CommLog::slt_commPromptEvent() {
    if (m_withPrompt) emit sig_commandSend(m_prompt->text());
}

void CommLog::slt_logContextMenu(QPoint) {
    QAction* chosen = m_menu->exec(QCursor::pos());
    if (chosen == m_clearAction)
        clearLog();
    else if (chosen == m_copyAction)
        copySelection();
    else if (chosen == m_exportCsvAction)
        exportCsvChosen();
}

void CommLog::slt_ctrlA() {
    m_table->selectAll();
}

void CommLog::slt_ctrlC() {
    copySelection();
}

void CommLog::clearLog() {
    m_model->setRowCount(0);
}

void CommLog::copySelection() {
    QModelIndexList cells = m_table->selectionModel()->selectedIndexes();
    if (cells.isEmpty()) return;
    std::sort(cells.begin(), cells.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
    });
    QString text;
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            text += cells[i].row() != cells[i - 1].row() ? QLatin1Char('\n') : QLatin1Char('\t');
        text += cells[i].data().toString();
    }
    QApplication::clipboard()->setText(text);
}

QString CommLog::csvText() const {
    const int columns = m_shown->columnCount();
    QStringList fields;
    for (int column = 0; column < columns; ++column)
        fields << csvField(m_shown->headerData(column, Qt::Horizontal).toString());
    QString text = fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    // The newest row is at the top.
    for (int row = m_shown->rowCount() - 1; row >= 0; --row) {
        fields.clear();
        for (int column = 0; column < columns; ++column)
            fields << csvField(m_shown->index(row, column).data().toString());
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return text;
}

bool CommLog::exportCsv(const QString& path) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(csvText().toUtf8());
    return file.commit();
}

void CommLog::exportCsvChosen() {
    QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), AppManager::homeFolder(),
                                     QStringLiteral("CSV Files (*.csv)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    if (!exportCsv(path))
        QMessageBox::warning(this, QStringLiteral("Export CSV"),
                             QStringLiteral("The file could not be written."));
}
