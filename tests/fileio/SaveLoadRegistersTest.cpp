// File > Save Registers and Load Registers on the simulated kit.
#include "AppManager.h"
#include "RegisterMap.h"
#include "SystemManager.h"
#include "WindowTestSupport.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <map>
#include <ostream>
#include <vector>

namespace {

using rar4120e::registers;

// A value per register that no power-on value matches.
uint8_t pattern(uint8_t reg) {
    return static_cast<uint8_t>(0x5A ^ (reg * 7));
}

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class SaveLoadRegistersTest : public ConnectedWindowTest {
  protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("kit.scr")); }
    podsim::Board& chip() { return *windowtest::board(); }
};

TEST_F(SaveLoadRegistersTest, SavesOneWritebytePerWritableRegisterAndLoadRestoresThem) {
    QStringList texts;
    for (QAction* action : window->menuBar()->actions().first()->menu()->actions())
        texts << action->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Save Registers…")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Load Registers…")));
    for (const rar4120e::Register& reg : registers())
        chip().setChipRegister(reg.address, pattern(reg.address));
    ASSERT_TRUE(window->saveRegisters(path()));

    const QStringList lines = fileLines(path());
    QStringList header;
    std::map<int, int> written;
    const QRegularExpression writebyte(
        QStringLiteral("^writebyte 2A ([0-9A-F]{2}) ([0-9A-F]{2})$"));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('#'))) {
            header << line;
            continue;
        }
        const QRegularExpressionMatch m = writebyte.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        written[m.captured(1).toInt(nullptr, 16)] = m.captured(2).toInt(nullptr, 16);
    }
    const QString headerText = header.join(QLatin1Char('\n'));
    EXPECT_TRUE(headerText.contains(QStringLiteral("RAR4120E")));
    EXPECT_TRUE(headerText.contains(QStringLiteral("0x2A")));
    EXPECT_TRUE(
        headerText.contains(QRegularExpression(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:"))))
        << headerText.toStdString();

    for (const rar4120e::Register& reg : registers()) {
        if (!reg.writable()) {
            EXPECT_EQ(written.count(reg.address), 0u) << reg.name;
            continue;
        }
        ASSERT_EQ(written.count(reg.address), 1u) << reg.name;
        EXPECT_EQ(written[reg.address], pattern(reg.address) & reg.writableMask()) << reg.name;
    }
    EXPECT_EQ(written.size(), 17u);

    // The chip changes: every register, status registers included.
    for (const rar4120e::Register& reg : registers())
        chip().setChipRegister(reg.address, static_cast<uint8_t>(~pattern(reg.address)));

    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    ASSERT_TRUE(window->loadRegisters(path()));

    for (const rar4120e::Register& reg : registers()) {
        const auto changed = static_cast<uint8_t>(~pattern(reg.address));
        const uint8_t statusBits = static_cast<uint8_t>(~reg.writableMask());
        const uint8_t expected =
            reg.writable() ? static_cast<uint8_t>((pattern(reg.address) & reg.writableMask()) |
                                                  (changed & statusBits))
                           : changed;
        EXPECT_EQ(chip().chipRegister(reg.address), expected) << reg.name;
    }
    int writes = 0;
    for (const QList<QVariant>& e : events) {
        if (e.at(0).value<uint8_t>() != kCommEventWrite) continue;
        ++writes;
        EXPECT_TRUE(rar4120e::findRegister(e.at(1).value<uint8_t>())->writable());
        EXPECT_EQ(e.at(4).value<uint8_t>(), 1);
    }
    EXPECT_EQ(writes, 17);
    // The pages show what was loaded.
    EXPECT_EQ(SystemManager::instance()->getRegister(0x16), chip().chipRegister(0x16));
}

// A register file as Save writes it, with PWM period code fpwm and on-times
// that each period keeps as they are (TON1 = 0x01 << 10 = 1024 counts).
std::map<int, int> fileValues(unsigned fpwm) {
    std::map<int, int> values;
    for (const rar4120e::Register& reg : registers())
        if (reg.writable()) values[reg.address] = pattern(reg.address) & reg.writableMask();
    values[0x05] = 0x01;
    values[0x06] = 0x00;
    values[0x0D] = 0xFC;
    values[0x0E] = static_cast<int>(fpwm << 4 | 0x85);
    return values;
}

void writeFile(const QString& path, const std::map<int, int>& values) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
    file.write("# RAR4120E registers, device address 0x2A\n");
    for (const auto& v : values)
        file.write(QString::asprintf("writebyte 2A %02X %02X\n", v.first, v.second).toLatin1());
}

// What the chip and the pages held before the load.
enum class Before { PowerOn, LongestPeriod, DemoDisplay };

struct LoadCase {
    unsigned fpwm;
    Before before;
};

std::ostream& operator<<(std::ostream& os, const LoadCase& c) {
    return os << "FPWM " << c.fpwm << " before " << int(c.before);
}

class LoadRoundTrip : public SaveLoadRegistersTest, public testing::WithParamInterface<LoadCase> {};

TEST_P(LoadRoundTrip, LeavesEveryWritableRegisterAtTheFilesValue) {
    const LoadCase& c = GetParam();
    if (c.before != Before::PowerOn) {
        for (uint8_t reg = 0x05; reg <= 0x0D; ++reg)
            chip().setChipRegister(reg, 0xFF);
        chip().setChipRegister(0x0E, 0x00);
    }
    window->on_pushButton_Refresh_clicked();
    if (c.before == Before::DemoDisplay) {
        window->page1()->loadDefaults();
        window->page2()->loadDefaults();
    }
    const std::map<int, int> values = fileValues(c.fpwm);
    writeFile(path(), values);

    QStringList notTaken;
    EXPECT_TRUE(window->loadRegisters(path(), &notTaken));
    EXPECT_TRUE(notTaken.isEmpty()) << notTaken.join(QLatin1Char(' ')).toStdString();
    for (const auto& v : values) {
        const uint8_t mask = rar4120e::findRegister(static_cast<uint8_t>(v.first))->writableMask();
        EXPECT_EQ(chip().chipRegister(static_cast<uint8_t>(v.first)) & mask, v.second)
            << "register " << v.first;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryPeriod, LoadRoundTrip, testing::ValuesIn([] {
        std::vector<LoadCase> cases;
        for (unsigned fpwm = 0; fpwm < 8; ++fpwm)
            for (Before b : {Before::PowerOn, Before::LongestPeriod, Before::DemoDisplay})
                cases.push_back({fpwm, b});
        return cases;
    }()));

TEST_F(SaveLoadRegistersTest, LoadNamesTheRegistersThatDidNotTake) {
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
    file.write("writebyte 2A 04 80\nwritebyte 2C 05 12\n");
    file.close();
    QStringList notTaken;
    EXPECT_FALSE(window->loadRegisters(path(), &notTaken));
    ASSERT_EQ(notTaken.size(), 1);
    EXPECT_TRUE(notTaken.first().contains(QStringLiteral("0x05")))
        << notTaken.first().toStdString();
    EXPECT_EQ(chip().chipRegister(0x04), 0x80);
}

TEST_F(SaveLoadRegistersTest, TheCommandLineRunnerAcceptsTheSavedFile) {
    chip().setChipRegister(0x02, 0x0A);
    ASSERT_TRUE(window->saveRegisters(path()));
    QProcess cli;
    cli.start(QStringLiteral(RAR4120E_CLI), {QStringLiteral("--simulator"), path()});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardOutput().toStdString();
}

TEST_F(SaveLoadRegistersTest, NothingIsSavedWhenTheDeviceDoesNotAnswer) {
    AppManager::setDeviceAddress(0x50);
    EXPECT_FALSE(window->saveRegisters(path()));
    EXPECT_FALSE(QFile::exists(path()));
}

} // namespace
