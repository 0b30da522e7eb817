#include "StatusBar.h"

#include "StatusLabel.h"

#include <QHBoxLayout>
#include <QStatusBar>
#include <QToolButton>

namespace {

// Least widths in heights of a line of text: as wide as the fields have
// always been at 100 %, and growing with the text.
const double kFieldLines = 14.0;
const double kAddressLines = 5.3;

QLabel* makeLabel(QWidget* parent, Qt::Alignment alignment, double lines) {
    auto* label = new StatusLabel(parent);
    label->setMargin(3);
    label->setStyleSheet(QStringLiteral("QLabel {background-color: rgb(220,220,220);}"));
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    label->setAlignment(alignment);
    label->setLeastWidth(lines);
    return label;
}

} // namespace

StatusBar::StatusBar(QStatusBar* bar, QAction* stop) : QWidget(bar), m_stop(new QToolButton(this)) {
    m_stop->setDefaultAction(stop);
    m_stop->hide();
    m_message = makeLabel(this, Qt::AlignLeft | Qt::AlignVCenter, kFieldLines);
    m_board = makeLabel(this, Qt::AlignCenter, kFieldLines);
    m_kit = makeLabel(this, Qt::AlignRight | Qt::AlignVCenter, kFieldLines);
    m_address = makeLabel(this, Qt::AlignCenter, kAddressLines);
    m_address->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_address->setToolTip(QStringLiteral("The device address in use (Device > Set Address)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(3, 0, 3, 0);
    layout->addWidget(m_message, 1);
    layout->addWidget(m_stop);
    layout->addWidget(m_board, 1);
    layout->addWidget(m_kit, 1);
    layout->addWidget(m_address);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    bar->addWidget(this, 1);
    bar->setSizeGripEnabled(true);
    bar->setStyleSheet(QStringLiteral(
        "QSizeGrip { image: url(:/images/sizegrip.png); width: 16px; height: 16px; }"));
}

void StatusBar::showAddress(uint8_t address) {
    m_address->setText(
        QStringLiteral("I2C 0x%1")
            .arg(QString::number(address, 16).toUpper().rightJustified(2, QLatin1Char('0'))));
}

void StatusBar::setStopVisible(bool visible) {
    m_stop->setVisible(visible);
}

QSize StatusBar::sizeHint() const {
    return QWidget::sizeHint().expandedTo(QSize(0, m_stop->sizeHint().height()));
}

QSize StatusBar::minimumSizeHint() const {
    return QWidget::minimumSizeHint().expandedTo(QSize(0, m_stop->sizeHint().height()));
}
