// File > Save Registers and Load Registers on the simulated kit.
#include "AppManager.h"
#include "RegisterMap.h"
#include "SystemManager.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <map>

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

TEST_F(SaveLoadRegistersTest, TheFileMenuOffersBoth) {
    QStringList texts;
    for (QAction* action : window->menuBar()->actions().first()->menu()->actions())
        texts << action->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Save Registers…")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Load Registers…")));
}

TEST_F(SaveLoadRegistersTest, SavesOneWritebytePerWritableRegisterUnderAHeader) {
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
}

TEST_F(SaveLoadRegistersTest, LoadRestoresEveryWritableRegisterAndLeavesStatusAlone) {
    for (const rar4120e::Register& reg : registers())
        chip().setChipRegister(reg.address, pattern(reg.address));
    ASSERT_TRUE(window->saveRegisters(path()));

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
