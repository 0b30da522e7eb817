#include "SimulatedKit.h"

#include "Logs.h"
#include "StandIn.h"
#include "rerodada.h"

#include <gtest/gtest.h>

namespace linktest {

void ReloadUsb(const std::string& config) {
    ASSERT_NE(standin::library(), nullptr) << "cannot load the D2XX simulator: " << dlerror();
    ASSERT_TRUE(standin::reload(config)) << config;
}

podsim::Board* UsbBoard(unsigned index) {
    return standin::board(index);
}

void ResetLibraryState() {
    BrimBoardDisconnect();
    BrimBoardAutoPort(true);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

std::string TraceOf(const std::function<void()>& body) {
    rerodada::bDebugToConsole = true;
    testing::internal::CaptureStdout();
    body();
    rerodada::bDebugToConsole = false;
    return testing::internal::GetCapturedStdout();
}

namespace {
std::string listing;
// The callback type carries the library's calling convention, which a lambda cannot.
void RERODADA_CALL Collect(const char* text) {
    listing += text;
}
} // namespace

std::string ListingOf(const std::function<void()>& body) {
    listing.clear();
    BrimLogCallback(Collect);
    body();
    BrimLogCallback(nullptr);
    return listing;
}

uint8_t ChipId() {
    uint8_t id = 0;
    return BrimSMBusReadByte(kChip, 0x00, &id) == 1 ? id : 0;
}

#if !defined(_WIN32)
PtyBoard::PtyBoard(const std::string& config, bool usb)
    : board(podsim::Config::fromText(config)), server(board) {
    server.setUsb(usb);
    EXPECT_TRUE(server.start()) << server.error();
}
#endif

} // namespace linktest
