#include "StatusLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QTextDocumentFragment>
#include <QToolTip>

StatusLabel::StatusLabel(QWidget* parent) : QLabel(parent) {}

QString StatusLabel::plainText() const {
    return QTextDocumentFragment::fromHtml(text()).toPlainText();
}

bool StatusLabel::fits() const {
    return fontMetrics().horizontalAdvance(plainText()) <= contentsRect().width() - 2 * margin();
}

QString StatusLabel::shownText() const {
    if (fits()) return plainText();
    return fontMetrics().elidedText(plainText(), Qt::ElideRight,
                                    contentsRect().width() - 2 * margin());
}

void StatusLabel::setLeastWidth(double lines) {
    m_leastWidth = lines;
    updateGeometry();
}

QSize StatusLabel::minimumSizeHint() const {
    return QSize(qRound(m_leastWidth * fontMetrics().height()), QLabel::minimumSizeHint().height());
}

QSize StatusLabel::sizeHint() const {
    return QLabel::sizeHint().expandedTo(minimumSizeHint());
}

void StatusLabel::paintEvent(QPaintEvent* event) {
    if (fits()) {
        QLabel::paintEvent(event);
        return;
    }
    static const QRegularExpression colour(QStringLiteral("color='([^']+)'"));
    const QRegularExpressionMatch match = colour.match(text());
    QPainter painter(this);
    painter.setPen(match.hasMatch() ? QColor(match.captured(1))
                                    : palette().color(QPalette::WindowText));
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

bool StatusLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (fits())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), plainText(), this);
        return true;
    }
    return QLabel::event(event);
}
