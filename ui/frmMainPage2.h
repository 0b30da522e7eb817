// Register page 2 of the RAR4120E: the LED on-time counts TON1 to TON4
// (registers 0x05 to 0x0D), each shown as a slider count and a percentage
// of the PWM period that page 1's FPWM field selects.
#ifndef FRMMAINPAGE2_H
#define FRMMAINPAGE2_H

#include "RegisterMap.h"

#include <QWidget>

#include <array>
#include <cstdint>

class QDoubleSpinBox;
class QLabel;
class QSlider;
class QTimer;

namespace Ui {
class frmMainPage2;
}

class frmMainPage2 : public QWidget {
    Q_OBJECT

  public:
    explicit frmMainPage2(QWidget* parent = nullptr);
    ~frmMainPage2() override;

    void readAll();
    // Writes 0x05 to 0x0D from the register cache, without read-back.
    void writeAll();
    void setAutoRead(bool on);
    // Shows the demo on-time counts and period; writes nothing.
    void loadDefaults();

    // The PWM period in 50 ns counts, from the last successful read of 0x0E.
    uint32_t periodCount() const { return m_periodCount; }

  public slots:
    void slt_connectionEstablished();
    void slt_commEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk);
    void slt_autoReadTmrTick();
    void slt_readRegister(uint8_t addr);
    // The user chose a new PWM period on page 1: on-times longer than it
    // are shortened to it and written.
    void slt_pwmPeriodChosen();

  private slots:
    void on_horizontalSlider_ton1_valueChanged(int value);
    void on_horizontalSlider_ton2_valueChanged(int value);
    void on_horizontalSlider_ton3_valueChanged(int value);
    void on_horizontalSlider_ton4_valueChanged(int value);
    void on_doubleSpinBox_ton1_valueChanged(double value);
    void on_doubleSpinBox_ton2_valueChanged(double value);
    void on_doubleSpinBox_ton3_valueChanged(double value);
    void on_doubleSpinBox_ton4_valueChanged(double value);
    void on_reset_ton1_clicked();
    void on_reset_ton2_clicked();
    void on_reset_ton3_clicked();
    void on_reset_ton4_clicked();

  private:
    struct ChannelControls {
        QSlider* slider;
        QLabel* label;
        QDoubleSpinBox* spinBox;
    };

    uint8_t readReg(uint8_t reg);
    uint8_t writeReg(uint8_t reg, uint8_t value);
    void showRegister(uint8_t reg, uint32_t value);
    uint32_t shownCount(int channel) const;
    double percentOf(uint32_t count) const;
    void showCount(int channel);
    void showInSpinBox(int channel, uint32_t count);
    void writeCount(int channel, uint32_t count, uint8_t lowRead);
    void sliderMoved(int channel, int value);
    void spinBoxChanged(int channel, double value);
    void resetChannel(int channel);

    Ui::frmMainPage2* ui;
    QTimer* autoReadTimer;
    bool autoReadOn = false;
    // Until 0x0E is first read, the period of its demo value (FPWM code 1).
    uint32_t m_periodCount;
    std::array<ChannelControls, rar4120e::kTonChannels> m_channels;
    // The bytes of 0x05 to 0x0D last shown, so that a count is rebuilt from
    // all three of its parts when one of them arrives.
    std::array<uint8_t, 9> m_shownTon;
    // The channel whose spin box handler runs, or -1: its spin box is not
    // updated by the reads the handler makes.
    int m_spinBoxChannel = -1;
};

#endif // FRMMAINPAGE2_H
