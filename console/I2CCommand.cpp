#include "I2CCommand.h"
#include "ui_I2CCommand.h"

#include "ConsoleBox.h"
#include "SystemManager.h"
#include "processCommand.h"

#include <QRegExp>
#include <QRegExpValidator>

namespace {

QString hex(uint32_t value) {
    return QString::number(value, 16);
}

QString address() {
    return hex(SystemManager::instance()->address());
}

// The bytes typed into a field. Blanks typed around rejected characters
// stay in the text; they must neither count nor be sent as empty bytes.
QStringList bytesOf(const QLineEdit* edit) {
    return edit->text().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

I2CCommand::I2CCommand(QWidget* parent)
    : QWidget(parent), ui(new Ui::I2CCommand),
      m_hexValidator(new QRegExpValidator(QRegExp(QStringLiteral("[0-9a-fA-F ]*")), this)),
      m_interpreter(processCommand::instance()) {
    ui->setupUi(this);
    ui->lineEdit_writeData->setValidator(m_hexValidator);
    ui->lineEdit_spiData->setValidator(m_hexValidator);
    ui->lineEdit_writeData->clear();
    ui->lineEdit_spiData->clear();
    connect(m_interpreter, SIGNAL(sig_commandProcessed(QString, QString, bool)), this,
            SLOT(slt_commandReturn(QString, QString, bool)));
    connect(ui->console, SIGNAL(sig_commandEntered(QString)), this,
            SLOT(slt_commandEntered(QString)));
}

I2CCommand::~I2CCommand() {
    delete ui;
}

ConsoleBox* I2CCommand::console() const {
    return ui->console;
}

void I2CCommand::slt_commandEntered(QString command) {
    emit sig_commandEntered(command);
}

void I2CCommand::slt_commandReturn(QString, QString returnVal, bool ok) {
    ui->console->printText(returnVal, ok ? Qt::blue : Qt::red, false);
}

void I2CCommand::send(const QString& command) {
    ui->console->printText(command, Qt::black, false);
    emit sig_commandEntered(command);
}

void I2CCommand::on_pushButton_Start_clicked() {
    send(QStringLiteral("I2CStart"));
}

void I2CCommand::on_pushButton_RStart_clicked() {
    send(QStringLiteral("I2CRepeatedStart"));
}

void I2CCommand::on_pushButton_Stop_clicked() {
    send(QStringLiteral("I2CStop"));
}

void I2CCommand::on_pushButton_readAck_clicked() {
    send(QStringLiteral("Receive8 1"));
}

void I2CCommand::on_pushButton_readNack_clicked() {
    send(QStringLiteral("Receive8 0"));
}

void I2CCommand::on_pushButton_Write8_clicked() {
    send(QStringLiteral("Write8 ") + hex(ui->spinBox_dataByte->value()));
}

void I2CCommand::on_pushButton_readByte_clicked() {
    send(QStringLiteral("ReadByte %1 %2").arg(address(), hex(ui->spinBox_reg->value())));
}

void I2CCommand::on_pushButton_readWord_clicked() {
    send(QStringLiteral("ReadWord %1 %2").arg(address(), hex(ui->spinBox_reg->value())));
}

void I2CCommand::on_pushButton_writeByte_clicked() {
    send(QStringLiteral("WriteByte %1 %2 %3")
             .arg(address(), hex(ui->spinBox_reg->value()), hex(ui->spinBox_data->value())));
}

void I2CCommand::on_pushButton_writeWord_clicked() {
    send(QStringLiteral("WriteWord %1 %2 %3")
             .arg(address(), hex(ui->spinBox_reg->value()),
                  hex(static_cast<uint16_t>(ui->spinBox_data->value()))));
}

void I2CCommand::on_pushButton_csAssert_clicked() {
    send(QStringLiteral("spiCsAssert"));
}

void I2CCommand::on_pushButton_csDeassert_clicked() {
    send(QStringLiteral("spiCsDeassert"));
}

void I2CCommand::on_pushButton_spiTransfer_clicked() {
    const QStringList bytes = bytesOf(ui->lineEdit_spiData);
    send(QStringLiteral("spiTransfer %1 %2")
             .arg(hex(static_cast<uint32_t>(bytes.size())), bytes.join(QLatin1Char(' '))));
}

void I2CCommand::on_spinBox_CSPin_valueChanged(int value) {
    send(QStringLiteral("spiCsPin ") + QString::number(value));
}

void I2CCommand::on_pushButton_sendRaw_clicked() {
    send(QStringLiteral("SendRaw %1 %2")
             .arg(hex(ui->spinBox_returnBytes->value()),
                  bytesOf(ui->lineEdit_writeData).join(QLatin1Char(' '))));
}

void I2CCommand::on_pushButton_WRBytes_clicked() {
    const QStringList bytes = bytesOf(ui->lineEdit_writeData);
    send(QStringLiteral("WRBytes %1 %2 %3 %4")
             .arg(address(), hex(static_cast<uint32_t>(bytes.size())),
                  hex(ui->spinBox_returnBytes->value()), bytes.join(QLatin1Char(' '))));
}
