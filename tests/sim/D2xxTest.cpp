// The D2XX stand-in, loaded the way the board-link library loads a driver:
// the device listing, opening, the reset and banner at the configured rate
// and polarity, silent and unplugged devices, and its configuration hooks.
#include "SimTestUtil.h"
#include "d2xx/D2xxApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>

using namespace simtest;
namespace ft = podsim::d2xx;

namespace {

// clang-format off
#define D2XX_FUNCTIONS(X) \
    X(FT_ListDevices) \
    X(FT_Open) \
    X(FT_GetDeviceInfo) \
    X(FT_SetBaudRate) \
    X(FT_Purge) \
    X(FT_SetDtr) \
    X(FT_ClrDtr) \
    X(FT_GetStatus) \
    X(FT_Read) \
    X(FT_Write) \
    X(FT_Close) \
    X(podsim_d2xx_board) \
    X(podsim_d2xx_reload) \
    X(podsim_d2xx_reload_file) \
    X(podsim_d2xx_error) \
    X(podsim_d2xx_device_count)
// clang-format on

const char* libraryPath() {
    const char* env = std::getenv("RERODADA_D2XX_LIBRARY");
    return env != nullptr && *env != '\0' ? env : PODSIM_D2XX_LIBRARY;
}

struct Api {
#define DECLARE(name) decltype(&name) name##_ = nullptr;
    D2XX_FUNCTIONS(DECLARE)
#undef DECLARE
    void* lib = dlopen(libraryPath(), RTLD_NOW | RTLD_LOCAL);

    Api() {
#define BIND(name) name##_ = reinterpret_cast<decltype(&name)>(lib ? dlsym(lib, #name) : nullptr);
        D2XX_FUNCTIONS(BIND)
#undef BIND
    }
};

class D2xx : public ::testing::Test {
  protected:
    static Api& api() {
        static Api a;
        return a;
    }

    void SetUp() override {
        ASSERT_NE(api().lib, nullptr) << dlerror();
        ASSERT_EQ(api().podsim_d2xx_reload_("usb.latency_timer = 1"), 0);
    }

    void* open(int index = 0, uint32_t baud = 921600) {
        void* h = nullptr;
        EXPECT_EQ(api().FT_Open_(index, &h), ft::kOk);
        EXPECT_EQ(api().FT_SetBaudRate_(h, baud), ft::kOk);
        return h;
    }

    uint32_t count() {
        uint32_t n = 99;
        EXPECT_EQ(api().FT_ListDevices_(&n, nullptr, ft::kListNumberOnly), ft::kOk);
        return n;
    }

    // The host's read loop: poll the queue, read what it holds.
    Bytes readFor(void* h, size_t want, int ms) {
        Bytes out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < want && std::chrono::steady_clock::now() < end) {
            uint32_t rx = 0, tx = 0, ev = 0;
            if (api().FT_GetStatus_(h, &rx, &tx, &ev) != ft::kOk) break;
            if (rx == 0) {
                sleepMs(1);
                continue;
            }
            Bytes buf(rx);
            uint32_t got = 0;
            EXPECT_EQ(api().FT_Read_(h, buf.data(), rx, &got), ft::kOk);
            out.insert(out.end(), buf.begin(), buf.begin() + got);
        }
        return out;
    }

    uint32_t write(void* h, const Bytes& b) {
        uint32_t written = 99;
        uint32_t status = api().FT_Write_(h, b.data(), uint32_t(b.size()), &written);
        EXPECT_EQ(written, status == ft::kOk ? b.size() : 0u);
        return status;
    }

    // What the host does to reset the board and read its banner.
    Bytes reset(void* h, bool resetOnDtrHigh = true) {
        resetOnDtrHigh ? api().FT_SetDtr_(h) : api().FT_ClrDtr_(h);
        api().FT_Purge_(h, ft::kPurgeRx);
        resetOnDtrHigh ? api().FT_ClrDtr_(h) : api().FT_SetDtr_(h);
        return readFor(h, kBanner.size(), 300);
    }
};

TEST_F(D2xx, ListsOpensAndClosesDevices) {
    EXPECT_EQ(count(), 1u);
    void* h = open();
    uint32_t type = 99, id = 0;
    char serial[96] = {}, description[96] = {};
    EXPECT_EQ(api().FT_GetDeviceInfo_(h, &type, &id, serial, description, nullptr), ft::kOk);
    EXPECT_EQ(id, 0x04036001u);
    EXPECT_STREQ(serial, "PL000001");
    EXPECT_STREQ(description, "PODLINK USB");
    void* again = nullptr;
    EXPECT_EQ(api().FT_Open_(0, &again), ft::kDeviceNotOpened);
    EXPECT_EQ(api().FT_Close_(h), ft::kOk);
    EXPECT_EQ(api().FT_Close_(h), ft::kInvalidHandle);

    ASSERT_EQ(api().podsim_d2xx_reload_("usb.devices = 4"), 0);
    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(api().FT_ListDevices_(reinterpret_cast<void*>(uintptr_t(2)), serial,
                                    ft::kListByIndex | ft::kOpenBySerialNumber),
              ft::kOk);
    EXPECT_STREQ(serial, "PL000003");
    ASSERT_EQ(api().podsim_d2xx_reload_("usb.list_fails = true"), 0);
    uint32_t n = 0;
    EXPECT_NE(api().FT_ListDevices_(&n, nullptr, ft::kListNumberOnly), ft::kOk);
    ASSERT_EQ(api().podsim_d2xx_reload_("usb.devices = 0"), 0);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(api().FT_Open_(0, &h), ft::kDeviceNotFound);
}

TEST_F(D2xx, BannerOnlyAtTheConfiguredRateAndResetPolarity) {
    ASSERT_EQ(api().podsim_d2xx_reload_("usb.reject_baud = 625000\nusb.latency_timer = 1"), 0);
    void* h = open();
    EXPECT_EQ(hex(reset(h)), hex(kBanner));
    EXPECT_EQ(write(h, {0xA0, 0x02}), ft::kOk);
    EXPECT_EQ(hex(readFor(h, 3, 300)), hex({0xFF, 0x17, 0xB0}));
    EXPECT_EQ(hex(api().podsim_d2xx_board_(0)->lastHostWrite()), hex({0xA0, 0x02}));
    EXPECT_EQ(api().FT_SetBaudRate_(h, 625000), ft::kInvalidBaudRate);
    ASSERT_EQ(api().FT_SetBaudRate_(h, 115200), ft::kOk);
    Bytes noise = reset(h);
    EXPECT_EQ(noise.size(), kBanner.size());
    EXPECT_FALSE(contains(noise, text("K")));
    api().FT_Close_(h);

    ASSERT_EQ(api().podsim_d2xx_reload_("reset_dtr = clear\nusb.latency_timer = 1"), 0);
    h = open();
    EXPECT_FALSE(contains(reset(h, true), text("Kelvo")));
    EXPECT_EQ(hex(reset(h, false)), hex(kBanner));
    api().FT_Close_(h);
}

TEST_F(D2xx, SilentAndUnpluggedDevices) {
    ASSERT_EQ(api().podsim_d2xx_reload_("usb.devices = 2\nusb.silent = 0\nunplug_after = 1\n"
                                        "usb.latency_timer = 1"),
              0);
    void* silent = open(0);
    void* h = open(1);
    EXPECT_TRUE(reset(silent).empty());
    EXPECT_EQ(hex(reset(h)), hex(kBanner));
    EXPECT_EQ(write(h, {0xA0, 0x00}), ft::kOk);
    EXPECT_EQ(hex(readFor(h, 1, 300)), hex({0xB0}));
    EXPECT_EQ(write(h, {0xA0, 0x00}), ft::kIoError);
    uint32_t rx = 0, tx = 0, ev = 0;
    EXPECT_EQ(api().FT_GetStatus_(h, &rx, &tx, &ev), ft::kIoError);
    EXPECT_EQ(count(), 1u);
    EXPECT_EQ(api().FT_Close_(h), ft::kOk);
    api().FT_Close_(silent);
}

TEST_F(D2xx, ConfigurationFromTheEnvironmentAndRefusedConfigurations) {
    char path[] = "/tmp/podsim-d2xx-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << "usb.devices = 3\n";
    setenv("PODLINK_SIM_CONFIG", path, 1);
    ASSERT_EQ(api().podsim_d2xx_reload_file_(nullptr), 0);
    EXPECT_EQ(api().podsim_d2xx_device_count_(), 3u);
    std::ofstream(path) << "usb.devices = many\n";
    EXPECT_EQ(api().podsim_d2xx_reload_file_(nullptr), -1);
    EXPECT_NE(std::string(api().podsim_d2xx_error_()).find("usb.devices"), std::string::npos);
    unsetenv("PODLINK_SIM_CONFIG");
    std::remove(path);
    EXPECT_EQ(api().podsim_d2xx_reload_("nonsense = 1"), -1);
    EXPECT_NE(std::string(api().podsim_d2xx_error_()).find("unknown key 'nonsense'"),
              std::string::npos);
    // A refused configuration leaves the devices as they were.
    EXPECT_EQ(api().podsim_d2xx_device_count_(), 3u);
    EXPECT_EQ(api().podsim_d2xx_board_(3), nullptr);
}

} // namespace
