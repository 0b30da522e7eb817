#ifndef STATUSBAR_H
#define STATUSBAR_H

#include <QWidget>

#include <cstdint>

class QAction;
class QLabel;
class QStatusBar;
class QToolButton;

// The fields of the main window's status bar, left to right: the message,
// the Stop button (shown only while a search or a script runs), the board,
// the kit and the device address. Their sizes follow the font, so that no
// text is cut at any text size or screen scale.
class StatusBar : public QWidget {
    Q_OBJECT

  public:
    // Fills bar; the Stop button triggers stop.
    StatusBar(QStatusBar* bar, QAction* stop);

    QLabel* message() const { return m_message; }
    QLabel* board() const { return m_board; }
    QLabel* kit() const { return m_kit; }
    QLabel* address() const { return m_address; }

    void showAddress(uint8_t address);
    void setStopVisible(bool visible);

    // As tall as the Stop button too, shown or not: the bar keeps its height
    // when the button comes and goes.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  private:
    QToolButton* m_stop;
    QLabel* m_message = nullptr;
    QLabel* m_board = nullptr;
    QLabel* m_kit = nullptr;
    QLabel* m_address = nullptr;
};

#endif // STATUSBAR_H
