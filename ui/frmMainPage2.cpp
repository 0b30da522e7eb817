#include "frmMainPage2.h"
#include "ui_frmMainPage2.h"

#include "AppManager.h"
#include "DeviceAccess.h"
#include "SystemManager.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint8_t kRegFirstTon = 0x05;
constexpr uint8_t kRegSetting = 0x0E;
constexpr unsigned kFpwmShift = 4;
constexpr unsigned kFpwmDemoCode = 1;

QString percentText(double percent) {
    return QString::asprintf("%0.4f%%", percent);
}

bool isTonRegister(uint8_t reg) {
    return reg >= kRegFirstTon && reg <= rar4120e::kTonLowRegister;
}

} // namespace

frmMainPage2::frmMainPage2(QWidget* parent)
    : QWidget(parent), ui(new Ui::frmMainPage2), autoReadTimer(new QTimer(this)),
      m_periodCount(rar4120e::pwmPeriodCount(kFpwmDemoCode)) {
    ui->setupUi(this);
    m_channels = {{{ui->horizontalSlider_ton1, ui->label_ton1, ui->doubleSpinBox_ton1},
                   {ui->horizontalSlider_ton2, ui->label_ton2, ui->doubleSpinBox_ton2},
                   {ui->horizontalSlider_ton3, ui->label_ton3, ui->doubleSpinBox_ton3},
                   {ui->horizontalSlider_ton4, ui->label_ton4, ui->doubleSpinBox_ton4}}};
    // The controls start at the full count, as 0xFF in all three parts.
    m_shownTon.fill(0xFF);

    autoReadTimer->setObjectName(QStringLiteral("autoReadTimer"));
    autoReadTimer->setInterval(AppManager::autoReadTimeout());
    connect(autoReadTimer, SIGNAL(timeout()), this, SLOT(slt_autoReadTmrTick()));
}

frmMainPage2::~frmMainPage2() {
    delete ui;
}

void frmMainPage2::readAll() {
    // A board lost on the way ends the round: every further read would fail.
    for (uint8_t reg = kRegFirstTon; reg <= rar4120e::kTonLowRegister; ++reg) {
        readReg(reg);
        if (!boardConnected()) return;
    }
}

void frmMainPage2::writeAll() {
    SystemManager* cache = SystemManager::instance();
    for (uint8_t reg = kRegFirstTon; reg <= rar4120e::kTonLowRegister; ++reg)
        writeReg(reg, cache->getRegister(reg));
}

void frmMainPage2::setAutoRead(bool on) {
    autoReadOn = on;
    if (on)
        autoReadTimer->start();
    else
        autoReadTimer->stop();
}

void frmMainPage2::loadDefaults() {
    for (uint8_t reg = kRegFirstTon; reg <= kRegSetting; ++reg)
        showRegister(reg, rar4120e::findRegister(reg)->demoValue);
}

void frmMainPage2::slt_connectionEstablished() {
    if (boardConnected()) readAll();
}

void frmMainPage2::slt_commEvent(uint8_t cmd, uint8_t reg, uint8_t, uint32_t data, uint8_t commOk) {
    if (cmd == 0 && commOk) showRegister(reg, data);
}

void frmMainPage2::slt_autoReadTmrTick() {
    readAll();
    // A period changed meanwhile applies from the next tick on.
    autoReadTimer->setInterval(AppManager::autoReadTimeout());
}

void frmMainPage2::slt_readRegister(uint8_t addr) {
    readReg(addr);
}

uint8_t frmMainPage2::readReg(uint8_t reg) {
    return static_cast<uint8_t>(readRegister(reg, 8));
}

uint8_t frmMainPage2::writeReg(uint8_t reg, uint8_t value) {
    if (AppManager::demoMode()) return 1;
    return writeRegister(reg, 8, value);
}

void frmMainPage2::slt_pwmPeriodChosen() {
    // The user chose a new period: on-times longer than it are cut to it.
    for (int channel = 0; channel < rar4120e::kTonChannels; ++channel)
        if (shownCount(channel) > m_periodCount)
            writeCount(channel, m_periodCount, readReg(rar4120e::kTonLowRegister));
}

void frmMainPage2::showRegister(uint8_t reg, uint32_t value) {
    if (reg == kRegSetting) {
        // A read only shows: the chip's counts against the period it reports.
        m_periodCount = rar4120e::pwmPeriodCount((value >> kFpwmShift) & 7u);
        for (const ChannelControls& c : m_channels) {
            const QSignalBlocker blockSlider(c.slider);
            c.slider->setRange(0, static_cast<int>(m_periodCount));
        }
        for (int channel = 0; channel < rar4120e::kTonChannels; ++channel)
            showCount(channel);
        return;
    }
    if (!isTonRegister(reg)) return;
    m_shownTon[reg - kRegFirstTon] = static_cast<uint8_t>(value);
    const int channel = rar4120e::tonChannelOfRegister(reg);
    if (channel >= 0) {
        showCount(channel);
    } else {
        for (int ch = 0; ch < rar4120e::kTonChannels; ++ch)
            showCount(ch);
    }
}

uint32_t frmMainPage2::shownCount(int channel) const {
    const rar4120e::TonChannel& ton = rar4120e::tonChannel(channel);
    return rar4120e::tonCount(channel, m_shownTon[ton.highRegister - kRegFirstTon],
                              m_shownTon[ton.middleRegister - kRegFirstTon],
                              m_shownTon[rar4120e::kTonLowRegister - kRegFirstTon]);
}

double frmMainPage2::percentOf(uint32_t count) const {
    // An on-time of a whole period or more keeps the LED on: 100 %.
    return std::min(count, m_periodCount) * 100.0 / m_periodCount;
}

void frmMainPage2::showCount(int channel) {
    const uint32_t count = shownCount(channel);
    const ChannelControls& c = m_channels[channel];
    // What the chip holds is only shown: during a read-all the three parts
    // of a count arrive one by one, and writing back a half-updated count
    // would corrupt the chip.
    {
        const QSignalBlocker blockSlider(c.slider);
        c.slider->setValue(static_cast<int>(count));
    }
    c.label->setText(percentText(percentOf(count)));
    // Leave the spin box alone while the user types into it.
    if (channel != m_spinBoxChannel && !c.spinBox->hasFocus()) showInSpinBox(channel, count);
}

void frmMainPage2::showInSpinBox(int channel, uint32_t count) {
    const QSignalBlocker blockSpinBox(m_channels[channel].spinBox);
    m_channels[channel].spinBox->setValue(percentOf(count));
}

void frmMainPage2::writeCount(int channel, uint32_t count, uint8_t lowRead) {
    const rar4120e::TonChannel& ton = rar4120e::tonChannel(channel);
    writeReg(ton.highRegister, rar4120e::tonHighByte(count));
    writeReg(ton.middleRegister, rar4120e::tonMiddleByte(count));
    writeReg(rar4120e::kTonLowRegister, rar4120e::tonLowByte(channel, count, lowRead));
    readReg(ton.highRegister);
    readReg(ton.middleRegister);
    readReg(rar4120e::kTonLowRegister);
}

void frmMainPage2::sliderMoved(int channel, int value) {
    const uint8_t lowRead = readReg(rar4120e::kTonLowRegister);
    const auto count = static_cast<uint32_t>(value);
    m_channels[channel].label->setText(percentText(percentOf(count)));
    showInSpinBox(channel, count);
    writeCount(channel, count, lowRead);
}

void frmMainPage2::spinBoxChanged(int channel, double value) {
    const int previous = m_spinBoxChannel;
    m_spinBoxChannel = channel;
    const uint8_t lowRead = readReg(rar4120e::kTonLowRegister);
    // Ties go to the even neighbour (the default rounding mode).
    const auto count = static_cast<uint32_t>(std::nearbyint(m_periodCount * value / 100.0));
    const ChannelControls& c = m_channels[channel];
    {
        const QSignalBlocker blockSlider(c.slider);
        c.slider->setValue(static_cast<int>(count));
    }
    c.label->setText(percentText(percentOf(count)));
    writeCount(channel, count, lowRead);
    m_spinBoxChannel = previous;
    // The spin box, too, ends at the count the slider shows.
    showInSpinBox(channel, static_cast<uint32_t>(c.slider->value()));
}

void frmMainPage2::resetChannel(int channel) {
    const rar4120e::TonChannel& ton = rar4120e::tonChannel(channel);
    const uint8_t lowRead = readReg(rar4120e::kTonLowRegister);
    writeReg(ton.highRegister, 0);
    writeReg(ton.middleRegister, 0);
    writeReg(rar4120e::kTonLowRegister, lowRead & ton.keptLowMask());
    readAll();
    if (AppManager::demoMode()) loadDefaults();
}

void frmMainPage2::on_horizontalSlider_ton1_valueChanged(int value) {
    sliderMoved(0, value);
}
void frmMainPage2::on_horizontalSlider_ton2_valueChanged(int value) {
    sliderMoved(1, value);
}
void frmMainPage2::on_horizontalSlider_ton3_valueChanged(int value) {
    sliderMoved(2, value);
}
void frmMainPage2::on_horizontalSlider_ton4_valueChanged(int value) {
    sliderMoved(3, value);
}
void frmMainPage2::on_doubleSpinBox_ton1_valueChanged(double value) {
    spinBoxChanged(0, value);
}
void frmMainPage2::on_doubleSpinBox_ton2_valueChanged(double value) {
    spinBoxChanged(1, value);
}
void frmMainPage2::on_doubleSpinBox_ton3_valueChanged(double value) {
    spinBoxChanged(2, value);
}
void frmMainPage2::on_doubleSpinBox_ton4_valueChanged(double value) {
    spinBoxChanged(3, value);
}
void frmMainPage2::on_reset_ton1_clicked() {
    resetChannel(0);
}
void frmMainPage2::on_reset_ton2_clicked() {
    resetChannel(1);
}
void frmMainPage2::on_reset_ton3_clicked() {
    resetChannel(2);
}
void frmMainPage2::on_reset_ton4_clicked() {
    resetChannel(3);
}
