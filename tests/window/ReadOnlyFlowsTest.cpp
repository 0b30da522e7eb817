// Flows in which the user only looks send reads and never a write to the
// chip, whatever page 2 showed before.
#include "WindowTestSupport.h"

#include "AppManager.h"
#include "CommLog.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <QInputDialog>
#include <QTabWidget>
#include <QTemporaryDir>

#include <functional>
#include <ostream>
#include <vector>

namespace {

// FPWM 980 Hz: a shorter period than page 2's default of 203 Hz.
constexpr uint8_t kShortPeriodSetting = 0x40;

struct RegisterTraffic {
    int reads = 0;
    int writes = 0;
};

// Counts the native I2C frames the host sent: a write-then-read or write
// frame with more than the register byte to write carries data, and so
// does a block write.
RegisterTraffic registerTraffic(podsim::Board& board) {
    RegisterTraffic counted;
    for (const podsim::TrafficChunk& chunk : board.traffic()) {
        const std::vector<uint8_t>& b = chunk.bytes;
        if (chunk.direction != podsim::TrafficChunk::Direction::HostToBoard || b.size() < 4 ||
            b[0] != 0xA0)
            continue;
        if (b[1] == 0x06 || ((b[1] == 0x05 || b[1] == 0x09) && b[2] > 1))
            ++counted.writes;
        else if (b[1] == 0x05 && b[3] > 0)
            ++counted.reads;
    }
    return counted;
}

// On-times at their power-on 0xFF, the period shorter than page 2 shows.
void setShortPeriodChip(podsim::Board& chip) {
    for (uint8_t reg = 0x05; reg <= 0x0D; ++reg)
        chip.setChipRegister(reg, 0xFF);
    chip.setChipRegister(0x0E, kShortPeriodSetting);
    chip.clearTraffic();
}

void acceptInput(const QString& text) {
    windowtest::answerNextDialog([text](QWidget* dialog) {
        auto* input = qobject_cast<QInputDialog*>(dialog);
        ASSERT_NE(input, nullptr);
        if (!text.isEmpty()) input->setTextValue(text);
        input->accept();
    });
}

struct Flow {
    const char* name;
    bool reads; // whether the flow reads the device at all
    std::function<void(std::unique_ptr<MainWindow>&, const QString& dir)> run;
};

std::ostream& operator<<(std::ostream& os, const Flow& f) {
    return os << f.name;
}

class ReadOnlyFlow : public ConnectedWindowTest, public testing::WithParamInterface<Flow> {};

TEST_P(ReadOnlyFlow, SendsReadsOnly) {
    podsim::Board& chip = *windowtest::board();
    setShortPeriodChip(chip);
    std::vector<uint8_t> before;
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        before.push_back(chip.chipRegister(reg));
    QTemporaryDir dir;

    GetParam().run(window, dir.path());

    const RegisterTraffic traffic = registerTraffic(chip);
    EXPECT_EQ(traffic.writes, 0);
    if (GetParam().reads) {
        EXPECT_GT(traffic.reads, 0);
    }
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        EXPECT_EQ(chip.chipRegister(reg), before[reg]) << "register " << int(reg);
}

INSTANTIATE_TEST_SUITE_P(
    Window, ReadOnlyFlow,
    testing::Values(Flow{"StartUp", true,
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             window.reset();
                             setShortPeriodChip(*windowtest::board());
                             window = std::make_unique<MainWindow>();
                             ASSERT_TRUE(windowtest::waitForConnection(*window));
                         }},
                    Flow{"Refresh", true,
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             window->on_pushButton_Refresh_clicked();
                             window->on_actionRefresh_triggered();
                         }},
                    Flow{"AutoReadTick", true,
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             window->page1()->slt_autoReadTmrTick();
                             window->page2()->slt_autoReadTmrTick();
                         }},
                    Flow{"SaveRegisters", true,
                         [](std::unique_ptr<MainWindow>& window, const QString& dir) {
                             ASSERT_TRUE(window->saveRegisters(dir + QStringLiteral("/kit.scr")));
                         }},
                    Flow{"SetAddress", true,
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             acceptInput(QStringLiteral("2A"));
                             window->on_actionSet_Address_triggered();
                         }},
                    Flow{"ScanForAddress", true,
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             acceptInput(QString());
                             window->on_actionScan_for_Address_triggered();
                             ASSERT_EQ(AppManager::deviceAddress(), 0x2A);
                         }},
                    Flow{"ExportCsvAndTabs", false,
                         [](std::unique_ptr<MainWindow>& window, const QString& dir) {
                             ASSERT_TRUE(
                                 window->commLog()->exportCsv(dir + QStringLiteral("/log.csv")));
                             auto* tabs =
                                 window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
                             for (int tab : {1, 2, 3, 0})
                                 tabs->setCurrentIndex(tab);
                         }}),
    [](const testing::TestParamInfo<Flow>& info) { return std::string(info.param.name); });

} // namespace
