#include "ConsoleBox.h"
#include "ui_ConsoleBox.h"

#include <QKeyEvent>
#include <QTextCursor>
#include <QTextDocument>

ConsoleBox::ConsoleBox(QWidget* parent) : QWidget(parent), ui(new Ui::ConsoleBox) {
    ui->setupUi(this);
    ui->lineEdit->installEventFilter(this);
    setFocus();
    ui->textEdit->setReadOnly(true);
    // Nothing can be undone in a read-only transcript; an undo record per
    // line would only grow with every reply.
    ui->textEdit->setUndoRedoEnabled(false);
    ui->textEdit->document()->setMaximumBlockCount(kScrollbackLines);
    ui->textEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Blank lines first, so that the first output appears at the bottom.
    ui->textEdit->setPlainText(QString(34, QLatin1Char('\n')));
    ui->textEdit->setTabStopDistance(20);
}

ConsoleBox::~ConsoleBox() {
    delete ui;
}

void ConsoleBox::printText(const QString& text, Qt::GlobalColor colour, bool inLine) {
    QTextEdit* edit = ui->textEdit;
    edit->moveCursor(QTextCursor::End);
    edit->setTextColor(QColor(colour));
    if (inLine)
        edit->insertPlainText(text);
    else
        edit->append(text);
    edit->moveCursor(QTextCursor::End);
}

void ConsoleBox::on_lineEdit_returnPressed() {
    const QString text = ui->lineEdit->text();
    ui->lineEdit->clear();
    if (!text.isEmpty()) {
        printText(text, Qt::black, false);
        emit sig_commandEntered(text);
        if (m_history.size() > kHistoryLimit) m_history.removeLast();
        m_history.prepend(text);
    }
    m_historyPos = 0;
}

bool ConsoleBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->lineEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up) {
            if (m_historyPos < m_history.size()) {
                ui->lineEdit->setText(m_history.at(m_historyPos));
                ++m_historyPos;
            } else {
                m_historyPos = qMax(0, m_history.size() - 1);
            }
            return true;
        }
        if (key == Qt::Key_Down) {
            --m_historyPos;
            if (m_historyPos >= 0)
                ui->lineEdit->setText(m_history.at(m_historyPos));
            else
                m_historyPos = 0;
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
