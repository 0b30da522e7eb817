// Register page 1 of the RAR4120E: registers 0x00 to 0x04 and 0x0E to 0x16
// as check boxes, status lamps, combo boxes and sliders. Every change is a
// write through the device-access layer followed by a read-back; the
// controls show only what the device answered.
#ifndef FRMMAINPAGE_H
#define FRMMAINPAGE_H

#include <QWidget>

#include <cstdint>
#include <vector>

class QCheckBox;
class QComboBox;
class QTimer;

namespace Ui {
class frmMainPage;
}
namespace rar4120e {
struct Field;
}

class frmMainPage : public QWidget {
    Q_OBJECT

  public:
    explicit frmMainPage(QWidget* parent = nullptr);
    ~frmMainPage() override;

    void readAll();
    // Writes the writable registers from the register cache, without
    // read-back; the LoDIM status bits of 0x03 go out as 0.
    void writeAll();
    void setAutoRead(bool on);
    // Shows the demo values; writes nothing and leaves the cache alone.
    void loadDefaults();

  signals:
    // The user chose a PWM period; 0x0E has been written and read back.
    void sig_pwmPeriodChosen();

  public slots:
    void slt_connectionEstablished();
    void slt_commEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk);
    void slt_autoReadTmrTick();
    void slt_readRegister(uint8_t addr);

  private slots:
    void on_cb_bstforce_clicked(bool checked);
    void on_cb_fast_ss_clicked(bool checked);
    void on_cb_ena_clicked(bool checked);
    void on_cb_psen_clicked(bool checked);
    void on_cb_dim_ext_clicked(bool checked);
    void on_cb_hdim_clicked(bool checked);
    void on_cb_sg_retry_clicked(bool checked);
    void on_cb_ss_off_clicked(bool checked);
    void on_cb_ssl_clicked(bool checked);
    void on_cb_cp_dis_clicked(bool checked);
    void on_cb_dis_s2g_clicked(bool checked);
    void on_cb_dis4_clicked(bool checked);
    void on_cb_dis3_clicked(bool checked);
    void on_cb_dis2_clicked(bool checked);
    void on_cb_dis1_clicked(bool checked);
    void on_cb_fade_gain_clicked(bool checked);
    void on_cb_fade_in_out_clicked(bool checked);
    void on_cb_bstuvmask_clicked(bool checked);
    void on_cb_omask_clicked(bool checked);
    void on_cb_sgmask_clicked(bool checked);
    void on_cb_otwmask_clicked(bool checked);
    void on_cb_slmask_clicked(bool checked);
    void on_cb_LoDIM4_clicked();
    void on_cb_LoDIM3_clicked();
    void on_cb_LoDIM2_clicked();
    void on_cb_LoDIM1_clicked();
    void on_cb_out4o_clicked();
    void on_cb_out3o_clicked();
    void on_cb_out2o_clicked();
    void on_cb_out1o_clicked();
    void on_cb_out4sg_clicked();
    void on_cb_out3sg_clicked();
    void on_cb_out2sg_clicked();
    void on_cb_out1sg_clicked();
    void on_cb_out4sl_clicked();
    void on_cb_out3sl_clicked();
    void on_cb_out2sl_clicked();
    void on_cb_out1sl_clicked();
    void on_cb_rtoor_clicked();
    void on_cb_isetoor_clicked();
    void on_cb_bstuv_clicked();
    void on_cb_bstov_clicked();
    void on_cb_otw_clicked();
    void on_cb_ot_clicked();
    void on_cb_hw_rst_clicked();
    void on_comboBox_hdim_thr_activated(int index);
    void on_comboBox_fpwm_activated(int index);
    void on_comboBox_sldet_activated(int index);
    void on_comboBox_tdim_activated(int index);
    void on_horizontalSlider_adim_valueChanged(int value);
    void on_horizontalSlider_ical_valueChanged(int value);

  private:
    // A check box or lamp and the register bit it shows.
    struct BitBinding {
        QCheckBox* box;
        uint8_t reg;
        uint8_t mask;
    };
    // A combo box and the register field whose code it shows.
    struct CodeBinding {
        QComboBox* combo;
        uint8_t reg;
        const rar4120e::Field* field;
    };

    uint8_t readReg(uint8_t reg);
    uint8_t writeReg(uint8_t reg, uint8_t value);
    void showRegister(uint8_t reg, uint32_t value);
    const BitBinding& bindingOf(const QCheckBox* box) const;
    void flagClicked(QCheckBox* box, bool checked);
    void lampClicked(QCheckBox* lamp);
    void codeActivated(QComboBox* combo, int index);

    Ui::frmMainPage* ui;
    QTimer* autoReadTimer;
    bool autoReadOn = false;
    std::vector<BitBinding> bitBindings;
    std::vector<CodeBinding> codeBindings;
};

#endif // FRMMAINPAGE_H
