#include "frmMainPage.h"
#include "ui_frmMainPage.h"

#include "AppManager.h"
#include "DeviceAccess.h"
#include "RegisterMap.h"
#include "SystemManager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalBlocker>
#include <QTimer>

namespace {

constexpr uint8_t kRegDevId = 0x00;
constexpr uint8_t kRegRevId = 0x01;
constexpr uint8_t kRegImode = 0x03;
constexpr uint8_t kRegAdim = 0x04;
constexpr uint8_t kRegDiag = 0x15;
constexpr uint8_t kRegIcal = 0x16;
constexpr uint8_t kHwRstMask = 0x04;
// ICAL is bits 5:0 of its register.
constexpr uint8_t kIcalMask = 0x3F;
// The chip's LoDIM status bits of 0x03; writing them back as 1 means nothing.
constexpr uint8_t kImodeWritableMask = 0x0F;

// The page's registers in read-all and demo-display order.
constexpr uint8_t kPageRegisters[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x0E, 0x0F,
                                      0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16};
constexpr uint8_t kWriteAllRegisters[] = {0x02, 0x03, 0x04, 0x0E, 0x0F, 0x10, 0x14, 0x16};

QString adimText(uint32_t code) {
    return QString::asprintf("%0.3f%%", code / 255.0 * 100.0);
}
QString icalText(uint32_t code) {
    return QString::asprintf("%u%%", code + 37u);
}

} // namespace

frmMainPage::frmMainPage(QWidget* parent)
    : QWidget(parent), ui(new Ui::frmMainPage), autoReadTimer(new QTimer(this)) {
    ui->setupUi(this);

    // Bind every one-bit field and every coded field of the page's
    // registers to the control named after it.
    for (const rar4120e::Register& reg : rar4120e::registers()) {
        if (reg.page != 1) continue;
        for (const rar4120e::Field& field : reg.fields) {
            const QString name = QString::fromLatin1(field.name);
            if (field.width == 1) {
                QCheckBox* box = findChild<QCheckBox*>(QStringLiteral("cb_") + name);
                if (!box) box = findChild<QCheckBox*>(QStringLiteral("cb_") + name.toLower());
                if (box) bitBindings.push_back({box, reg.address, field.mask()});
            } else if (field.kind == rar4120e::FieldKind::Code) {
                if (QComboBox* combo =
                        findChild<QComboBox*>(QStringLiteral("comboBox_") + name.toLower()))
                    codeBindings.push_back({combo, reg.address, &field});
            }
        }
    }

    autoReadTimer->setObjectName(QStringLiteral("autoReadTimer"));
    autoReadTimer->setInterval(AppManager::autoReadTimeout());
    connect(autoReadTimer, SIGNAL(timeout()), this, SLOT(slt_autoReadTmrTick()));
}

frmMainPage::~frmMainPage() {
    delete ui;
}

void frmMainPage::readAll() {
    // A board lost on the way ends the round: every further read would fail.
    for (uint8_t reg : kPageRegisters) {
        readReg(reg);
        if (!boardConnected()) return;
    }
}

void frmMainPage::writeAll() {
    SystemManager* cache = SystemManager::instance();
    for (uint8_t reg : kWriteAllRegisters) {
        uint8_t value = cache->getRegister(reg);
        if (reg == kRegImode) value &= kImodeWritableMask;
        writeReg(reg, value);
    }
}

void frmMainPage::setAutoRead(bool on) {
    autoReadOn = on;
    if (on)
        autoReadTimer->start();
    else
        autoReadTimer->stop();
}

void frmMainPage::loadDefaults() {
    for (uint8_t reg : kPageRegisters)
        showRegister(reg, rar4120e::findRegister(reg)->demoValue);
}

void frmMainPage::slt_connectionEstablished() {
    if (boardConnected()) readAll();
}

void frmMainPage::slt_commEvent(uint8_t cmd, uint8_t reg, uint8_t, uint32_t data, uint8_t commOk) {
    if (cmd == 0 && commOk) showRegister(reg, data);
}

void frmMainPage::slt_autoReadTmrTick() {
    readAll();
    // A period changed meanwhile applies from the next tick on.
    autoReadTimer->setInterval(AppManager::autoReadTimeout());
}

void frmMainPage::slt_readRegister(uint8_t addr) {
    readReg(addr);
}

uint8_t frmMainPage::readReg(uint8_t reg) {
    return static_cast<uint8_t>(readRegister(reg, 8));
}

uint8_t frmMainPage::writeReg(uint8_t reg, uint8_t value) {
    if (AppManager::demoMode()) return 1;
    return writeRegister(reg, 8, value);
}

void frmMainPage::showRegister(uint8_t reg, uint32_t value) {
    if (reg == kRegDevId)
        ui->label_dev_id->setText(QString::asprintf("0x%02X", value));
    else if (reg == kRegRevId)
        ui->label_rev_id->setText(QString::asprintf("0x%02X", value & 0x0Fu));

    for (const BitBinding& b : bitBindings)
        if (b.reg == reg) b.box->setChecked((value & b.mask) != 0);
    for (const CodeBinding& c : codeBindings) {
        if (c.reg != reg) continue;
        const int code = static_cast<int>(c.field->extract(static_cast<uint8_t>(value)));
        c.combo->setCurrentIndex(code < c.combo->count() ? code : -1);
    }

    // A value shown is not a user's move: the slider handlers, which
    // write, stay out of it.
    if (reg == kRegAdim) {
        ui->label_adim_value->setText(adimText(value));
        const QSignalBlocker block(ui->horizontalSlider_adim);
        ui->horizontalSlider_adim->setValue(static_cast<int>(value));
    } else if (reg == kRegIcal) {
        const uint32_t ical = value & kIcalMask;
        ui->label_ical_value->setText(icalText(ical));
        const QSignalBlocker block(ui->horizontalSlider_ical);
        ui->horizontalSlider_ical->setValue(static_cast<int>(ical));
    }
}

const frmMainPage::BitBinding& frmMainPage::bindingOf(const QCheckBox* box) const {
    for (const BitBinding& b : bitBindings)
        if (b.box == box) return b;
    // Every check box of the form is named after a field of the map.
    Q_UNREACHABLE();
}

void frmMainPage::flagClicked(QCheckBox* box, bool checked) {
    const BitBinding& b = bindingOf(box);
    const uint8_t cached = SystemManager::instance()->getRegister(b.reg);
    const uint8_t value = checked ? (cached | b.mask) : (cached & ~b.mask);
    writeReg(b.reg, value);
    readReg(b.reg);
}

void frmMainPage::lampClicked(QCheckBox* lamp) {
    // A lamp shows the chip's state, never the click: undo the toggle and
    // let the read-back set it.
    lamp->setChecked(!lamp->isChecked());
    readReg(bindingOf(lamp).reg);
}

void frmMainPage::codeActivated(QComboBox* combo, int index) {
    for (const CodeBinding& c : codeBindings) {
        if (c.combo != combo) continue;
        const uint8_t cached = SystemManager::instance()->getRegister(c.reg);
        writeReg(c.reg, c.field->insert(cached, static_cast<unsigned>(index)));
        readReg(c.reg);
        return;
    }
}

void frmMainPage::on_cb_bstforce_clicked(bool checked) {
    flagClicked(ui->cb_bstforce, checked);
}
void frmMainPage::on_cb_fast_ss_clicked(bool checked) {
    flagClicked(ui->cb_fast_ss, checked);
}
void frmMainPage::on_cb_ena_clicked(bool checked) {
    flagClicked(ui->cb_ena, checked);
}
void frmMainPage::on_cb_psen_clicked(bool checked) {
    flagClicked(ui->cb_psen, checked);
}
void frmMainPage::on_cb_dim_ext_clicked(bool checked) {
    flagClicked(ui->cb_dim_ext, checked);
}
void frmMainPage::on_cb_hdim_clicked(bool checked) {
    flagClicked(ui->cb_hdim, checked);
}
void frmMainPage::on_cb_sg_retry_clicked(bool checked) {
    flagClicked(ui->cb_sg_retry, checked);
}
void frmMainPage::on_cb_ss_off_clicked(bool checked) {
    flagClicked(ui->cb_ss_off, checked);
}
void frmMainPage::on_cb_ssl_clicked(bool checked) {
    flagClicked(ui->cb_ssl, checked);
}
void frmMainPage::on_cb_cp_dis_clicked(bool checked) {
    flagClicked(ui->cb_cp_dis, checked);
}
void frmMainPage::on_cb_dis_s2g_clicked(bool checked) {
    flagClicked(ui->cb_dis_s2g, checked);
}
void frmMainPage::on_cb_dis4_clicked(bool checked) {
    flagClicked(ui->cb_dis4, checked);
}
void frmMainPage::on_cb_dis3_clicked(bool checked) {
    flagClicked(ui->cb_dis3, checked);
}
void frmMainPage::on_cb_dis2_clicked(bool checked) {
    flagClicked(ui->cb_dis2, checked);
}
void frmMainPage::on_cb_dis1_clicked(bool checked) {
    flagClicked(ui->cb_dis1, checked);
}
void frmMainPage::on_cb_fade_gain_clicked(bool checked) {
    flagClicked(ui->cb_fade_gain, checked);
}
void frmMainPage::on_cb_fade_in_out_clicked(bool checked) {
    flagClicked(ui->cb_fade_in_out, checked);
}
void frmMainPage::on_cb_bstuvmask_clicked(bool checked) {
    flagClicked(ui->cb_bstuvmask, checked);
}
void frmMainPage::on_cb_omask_clicked(bool checked) {
    flagClicked(ui->cb_omask, checked);
}
void frmMainPage::on_cb_sgmask_clicked(bool checked) {
    flagClicked(ui->cb_sgmask, checked);
}
void frmMainPage::on_cb_otwmask_clicked(bool checked) {
    flagClicked(ui->cb_otwmask, checked);
}
void frmMainPage::on_cb_slmask_clicked(bool checked) {
    flagClicked(ui->cb_slmask, checked);
}
void frmMainPage::on_cb_LoDIM4_clicked() {
    lampClicked(ui->cb_LoDIM4);
}
void frmMainPage::on_cb_LoDIM3_clicked() {
    lampClicked(ui->cb_LoDIM3);
}
void frmMainPage::on_cb_LoDIM2_clicked() {
    lampClicked(ui->cb_LoDIM2);
}
void frmMainPage::on_cb_LoDIM1_clicked() {
    lampClicked(ui->cb_LoDIM1);
}
void frmMainPage::on_cb_out4o_clicked() {
    lampClicked(ui->cb_out4o);
}
void frmMainPage::on_cb_out3o_clicked() {
    lampClicked(ui->cb_out3o);
}
void frmMainPage::on_cb_out2o_clicked() {
    lampClicked(ui->cb_out2o);
}
void frmMainPage::on_cb_out1o_clicked() {
    lampClicked(ui->cb_out1o);
}
void frmMainPage::on_cb_out4sg_clicked() {
    lampClicked(ui->cb_out4sg);
}
void frmMainPage::on_cb_out3sg_clicked() {
    lampClicked(ui->cb_out3sg);
}
void frmMainPage::on_cb_out2sg_clicked() {
    lampClicked(ui->cb_out2sg);
}
void frmMainPage::on_cb_out1sg_clicked() {
    lampClicked(ui->cb_out1sg);
}
void frmMainPage::on_cb_out4sl_clicked() {
    lampClicked(ui->cb_out4sl);
}
void frmMainPage::on_cb_out3sl_clicked() {
    lampClicked(ui->cb_out3sl);
}
void frmMainPage::on_cb_out2sl_clicked() {
    lampClicked(ui->cb_out2sl);
}
void frmMainPage::on_cb_out1sl_clicked() {
    lampClicked(ui->cb_out1sl);
}
void frmMainPage::on_cb_rtoor_clicked() {
    lampClicked(ui->cb_rtoor);
}
void frmMainPage::on_cb_isetoor_clicked() {
    lampClicked(ui->cb_isetoor);
}
void frmMainPage::on_cb_bstuv_clicked() {
    lampClicked(ui->cb_bstuv);
}
void frmMainPage::on_cb_bstov_clicked() {
    lampClicked(ui->cb_bstov);
}
void frmMainPage::on_cb_otw_clicked() {
    lampClicked(ui->cb_otw);
}
void frmMainPage::on_cb_ot_clicked() {
    lampClicked(ui->cb_ot);
}

void frmMainPage::on_cb_hw_rst_clicked() {
    ui->cb_hw_rst->setChecked(!ui->cb_hw_rst->isChecked());
    const uint8_t diag = readReg(kRegDiag);
    ui->cb_hw_rst->setChecked((diag & kHwRstMask) != 0);
}

void frmMainPage::on_comboBox_hdim_thr_activated(int index) {
    codeActivated(ui->comboBox_hdim_thr, index);
}
void frmMainPage::on_comboBox_fpwm_activated(int index) {
    codeActivated(ui->comboBox_fpwm, index);
    emit sig_pwmPeriodChosen();
}
void frmMainPage::on_comboBox_sldet_activated(int index) {
    codeActivated(ui->comboBox_sldet, index);
}
void frmMainPage::on_comboBox_tdim_activated(int index) {
    codeActivated(ui->comboBox_tdim, index);
}

void frmMainPage::on_horizontalSlider_adim_valueChanged(int value) {
    ui->label_adim_value->setText(adimText(static_cast<uint32_t>(value)));
    writeReg(kRegAdim, static_cast<uint8_t>(value));
    readReg(kRegAdim);
}

void frmMainPage::on_horizontalSlider_ical_valueChanged(int value) {
    ui->label_ical_value->setText(icalText(static_cast<uint32_t>(value)));
    writeReg(kRegIcal, static_cast<uint8_t>(value));
    readReg(kRegIcal);
}
