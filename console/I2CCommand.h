#ifndef I2CCOMMAND_H
#define I2CCOMMAND_H

#include <QWidget>

class QRegExpValidator;
class QLineEdit;
class ConsoleBox;
class processCommand;

namespace Ui {
class I2CCommand;
}

// The low-level debug panel: a console beside buttons that compose
// interpreter commands for register access, single I2C bus steps, SPI
// transfers and raw byte strings. It never touches the board itself.
class I2CCommand : public QWidget {
    Q_OBJECT

  public:
    explicit I2CCommand(QWidget* parent = nullptr);
    ~I2CCommand() override;

    ConsoleBox* console() const;

  signals:
    void sig_commandEntered(QString command);

  public slots:
    void slt_commandEntered(QString command);
    void slt_commandReturn(QString command, QString returnVal, bool ok);

  private slots:
    void on_pushButton_Start_clicked();
    void on_pushButton_RStart_clicked();
    void on_pushButton_Stop_clicked();
    void on_pushButton_readAck_clicked();
    void on_pushButton_readNack_clicked();
    void on_pushButton_Write8_clicked();
    void on_pushButton_readByte_clicked();
    void on_pushButton_readWord_clicked();
    void on_pushButton_writeByte_clicked();
    void on_pushButton_writeWord_clicked();
    void on_pushButton_csAssert_clicked();
    void on_pushButton_csDeassert_clicked();
    void on_pushButton_spiTransfer_clicked();
    void on_spinBox_CSPin_valueChanged(int value);
    void on_pushButton_sendRaw_clicked();
    void on_pushButton_WRBytes_clicked();

  private:
    // Prints the command in the console, then sends it.
    void send(const QString& command);

    Ui::I2CCommand* ui;
    QRegExpValidator* m_hexValidator;
    processCommand* m_interpreter;
};

#endif // I2CCOMMAND_H
