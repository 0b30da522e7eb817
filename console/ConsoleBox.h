#ifndef CONSOLEBOX_H
#define CONSOLEBOX_H

#include <QColor>
#include <QStringList>
#include <QWidget>

namespace Ui {
class ConsoleBox;
}

// A text console: a read-only transcript above a one-line command entry that
// remembers the commands entered (Up and Down walk through them).
class ConsoleBox : public QWidget {
    Q_OBJECT

  public:
    // The oldest command is dropped once the history holds more than this.
    static constexpr int kHistoryLimit = 100;
    // The transcript keeps this many of the newest lines, as a terminal does.
    static constexpr int kScrollbackLines = 10000;

    explicit ConsoleBox(QWidget* parent = nullptr);
    ~ConsoleBox() override;

    // Adds text in colour as a new paragraph, or with inLine at the end of
    // the last one, and keeps the newest line in view.
    void printText(const QString& text, Qt::GlobalColor colour, bool inLine);

    // Newest first.
    const QStringList& history() const { return m_history; }

  signals:
    void sig_commandEntered(QString command);

  private slots:
    void on_lineEdit_returnPressed();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Ui::ConsoleBox* ui;
    QStringList m_history;
    int m_historyPos = 0;
};

#endif // CONSOLEBOX_H
