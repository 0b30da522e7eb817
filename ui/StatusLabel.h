#ifndef STATUSLABEL_H
#define STATUSLABEL_H

#include <QLabel>

// A status-bar label whose text, an HTML fragment such as
// "<font color='red'>PODLINK: Device not found", ends in an ellipsis when it
// does not fit; the whole text is then its tooltip. text() stays the whole
// text.
class StatusLabel : public QLabel {
    Q_OBJECT

  public:
    explicit StatusLabel(QWidget* parent = nullptr);

    // The text as shown in the label's present width.
    QString shownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QString plainText() const;
    bool fits() const;
};

#endif // STATUSLABEL_H
