#include "RegisterTips.h"

#include "RegisterMap.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace {

const char kReserved[] = "(reserved)";

QString bitsText(const rar4120e::Field& field) {
    if (field.width == 1) return QStringLiteral("bit %1").arg(field.lsb);
    return QStringLiteral("bits %1:%2").arg(field.lsb + field.width - 1).arg(field.lsb);
}

QString hexByte(unsigned value) {
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString registerText(const rar4120e::Register& reg) {
    return QStringLiteral("0x%1 %2").arg(hexByte(reg.address), QString::fromLatin1(reg.name));
}

// Object names spell field names in their own case (cb_ena for ENA).
const rar4120e::Register* findField(const QString& name, const rar4120e::Field** found) {
    for (const rar4120e::Register& reg : rar4120e::registers()) {
        for (const rar4120e::Field& field : reg.fields) {
            if (name.compare(QLatin1String(field.name), Qt::CaseInsensitive) == 0) {
                *found = &field;
                return &reg;
            }
        }
    }
    return nullptr;
}

QString fieldTip(const rar4120e::Register& reg, const rar4120e::Field& field) {
    QStringList lines;
    lines << QStringLiteral("%1: register %2, %3")
                 .arg(QString::fromLatin1(field.name), registerText(reg), bitsText(field));
    switch (field.kind) {
    case rar4120e::FieldKind::Status:
        lines << QStringLiteral("Set by the chip; read only.");
        break;
    case rar4120e::FieldKind::Flag:
        lines << QStringLiteral("Ticked: 1, unticked: 0.");
        break;
    case rar4120e::FieldKind::Code: {
        const unsigned codes = 1u << field.width;
        for (unsigned code = 0; code < codes; ++code) {
            const QString item = code < field.items.size() ? QString::fromLatin1(field.items[code])
                                                           : QString::fromLatin1(kReserved);
            lines << QStringLiteral("%1 = %2").arg(code).arg(item);
        }
        break;
    }
    case rar4120e::FieldKind::Value:
        lines << QStringLiteral("A number from 0 to %1.").arg((1u << field.width) - 1);
        break;
    }
    return lines.join(QLatin1Char('\n'));
}

QString tonTip(int channel) {
    const rar4120e::TonChannel& ton = rar4120e::tonChannel(channel);
    const int lowBit = ton.lowShift;
    return QStringLiteral("TON%1: on-time of LED channel %1 in steps of 50 ns\n"
                          "bits 17:10 in register 0x%2, bits 9:2 in 0x%3, bits 1:0 in bits %4:%5 "
                          "of 0x0D")
        .arg(channel + 1)
        .arg(hexByte(ton.highRegister))
        .arg(hexByte(ton.middleRegister))
        .arg(lowBit + 1)
        .arg(lowBit);
}

} // namespace

void addRegisterTips(QWidget* page) {
    static const QRegularExpression named(
        QStringLiteral("^(?:cb|comboBox|horizontalSlider|doubleSpinBox)_(.+)$"));
    static const QRegularExpression tonName(QStringLiteral("^ton([1-4])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (QWidget* control : page->findChildren<QWidget*>()) {
        if (!qobject_cast<QCheckBox*>(control) && !qobject_cast<QComboBox*>(control) &&
            !qobject_cast<QAbstractSlider*>(control) && !qobject_cast<QAbstractSpinBox*>(control))
            continue;
        const QRegularExpressionMatch match = named.match(control->objectName());
        if (!match.hasMatch()) continue;
        const QString name = match.captured(1);
        const QRegularExpressionMatch ton = tonName.match(name);
        if (ton.hasMatch()) {
            control->setToolTip(tonTip(ton.captured(1).toInt() - 1));
            continue;
        }
        const rar4120e::Field* field = nullptr;
        const rar4120e::Register* reg = findField(name, &field);
        if (!reg) continue;
        control->setToolTip(fieldTip(*reg, *field));
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            for (int i = 0; i < combo->count(); ++i)
                if (combo->itemText(i).trimmed().isEmpty())
                    combo->setItemText(i, QString::fromLatin1(kReserved));
        }
    }
}
