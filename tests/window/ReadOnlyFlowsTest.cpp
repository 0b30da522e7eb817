// Flows in which the user only looks send reads and never a write to the
// chip, whatever page 2 showed before.
#include "WindowTestSupport.h"

namespace {

// On-times at their power-on 0xFF, and FPWM 980 Hz: a shorter period than
// page 2's default of 203 Hz.
void setShortPeriodChip(podsim::Board& chip) {
    for (uint8_t reg = 0x05; reg <= 0x0D; ++reg)
        chip.setChipRegister(reg, 0xFF);
    chip.setChipRegister(0x0E, 0x40);
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

using Flow = std::pair<const char*, void (*)(std::unique_ptr<MainWindow>&, const QString& dir)>;

class ReadOnlyFlow : public ConnectedWindowTest, public testing::WithParamInterface<Flow> {};

TEST_P(ReadOnlyFlow, SendsReadsOnly) {
    setShortPeriodChip(chip());
    std::vector<uint8_t> before;
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        before.push_back(chip().chipRegister(reg));
    GetParam().second(window, dir.path());
    // Native I2C frames: a write-then-read or write that carries more than
    // the register byte writes, and so does a block write.
    int reads = 0, writes = 0;
    for (const podsim::TrafficChunk& chunk : chip().traffic()) {
        const std::vector<uint8_t>& b = chunk.bytes;
        if (chunk.direction != podsim::TrafficChunk::Direction::HostToBoard || b.size() < 4 ||
            b[0] != 0xA0)
            continue;
        if (b[1] == 0x06 || ((b[1] == 0x05 || b[1] == 0x09) && b[2] > 1))
            ++writes;
        else if (b[1] == 0x05 && b[3] > 0)
            ++reads;
    }
    EXPECT_EQ(writes, 0);
    EXPECT_EQ(reads > 0, GetParam().first != std::string("ExportCsvAndTabs"));
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        EXPECT_EQ(chip().chipRegister(reg), before[reg]) << "register " << int(reg);
}

INSTANTIATE_TEST_SUITE_P(
    Window, ReadOnlyFlow,
    testing::Values(Flow{"StartUp",
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             window.reset();
                             setShortPeriodChip(*standin::board());
                             window = std::make_unique<MainWindow>();
                             ASSERT_TRUE(windowtest::waitForConnection(*window));
                         }},
                    Flow{"Refresh",
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             window->on_pushButton_Refresh_clicked();
                             window->on_actionRefresh_triggered();
                         }},
                    Flow{"AutoReadTick",
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             window->page1()->slt_autoReadTmrTick();
                             window->page2()->slt_autoReadTmrTick();
                         }},
                    Flow{"SaveRegisters",
                         [](std::unique_ptr<MainWindow>& window, const QString& dir) {
                             ASSERT_TRUE(window->saveRegisters(dir + "/kit.scr"));
                         }},
                    Flow{"SetAddress",
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             acceptInput("2A");
                             window->on_actionSet_Address_triggered();
                         }},
                    Flow{"ScanForAddress",
                         [](std::unique_ptr<MainWindow>& window, const QString&) {
                             acceptInput(QString());
                             window->on_actionScan_for_Address_triggered();
                             ASSERT_EQ(AppManager::deviceAddress(), 0x2A);
                         }},
                    Flow{"ExportCsvAndTabs",
                         [](std::unique_ptr<MainWindow>& window, const QString& dir) {
                             ASSERT_TRUE(window->commLog()->exportCsv(dir + "/log.csv"));
                             auto* tabs = window->findChild<QTabWidget*>("tabWidget");
                             for (int tab : {1, 2, 3, 0})
                                 tabs->setCurrentIndex(tab);
                         }}),
    [](const testing::TestParamInfo<Flow>& info) { return std::string(info.param.first); });

} // namespace
