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

    // The least width, in heights of a line of the label's text: the label
    // keeps its proportions at any text size.
    void setLeastWidth(double lines);
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    QString plainText() const;
    bool fits() const;

    double m_leastWidth = 0;
};

#endif // STATUSLABEL_H
