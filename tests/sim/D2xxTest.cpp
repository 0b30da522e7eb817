// The D2XX stand-in, loaded the way the board-link library loads a driver.
#include "SimTestUtil.h"
#include "d2xx/D2xxApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>

using namespace simtest;
namespace ft = podsim::d2xx;

namespace {

struct Api {
    void* lib = nullptr;
    decltype(&FT_ListDevices) ListDevices;
    decltype(&FT_Open) Open;
    decltype(&FT_GetDeviceInfo) GetDeviceInfo;
    decltype(&FT_SetBaudRate) SetBaudRate;
    decltype(&FT_SetDataCharacteristics) SetDataCharacteristics;
    decltype(&FT_SetFlowControl) SetFlowControl;
    decltype(&FT_SetTimeouts) SetTimeouts;
    decltype(&FT_Purge) Purge;
    decltype(&FT_SetDtr) SetDtr;
    decltype(&FT_ClrDtr) ClrDtr;
    decltype(&FT_SetRts) SetRts;
    decltype(&FT_ClrRts) ClrRts;
    decltype(&FT_GetModemStatus) GetModemStatus;
    decltype(&FT_GetStatus) GetStatus;
    decltype(&FT_Read) Read;
    decltype(&FT_Write) Write;
    decltype(&FT_Close) Close;
    decltype(&FT_SetLatencyTimer) SetLatencyTimer;
    decltype(&podsim_d2xx_board) board;
    decltype(&podsim_d2xx_reload) reload;
    decltype(&podsim_d2xx_reload_file) reloadFile;
    decltype(&podsim_d2xx_error) error;
    decltype(&podsim_d2xx_device_count) deviceCount;

    template <typename T> void bind(T& fn, const char* name) {
        fn = reinterpret_cast<T>(dlsym(lib, name));
        if (fn == nullptr) ADD_FAILURE() << "missing " << name;
    }

    explicit Api(const char* path) {
        lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr) {
            ADD_FAILURE() << dlerror();
            return;
        }
        bind(ListDevices, "FT_ListDevices");
        bind(Open, "FT_Open");
        bind(GetDeviceInfo, "FT_GetDeviceInfo");
        bind(SetBaudRate, "FT_SetBaudRate");
        bind(SetDataCharacteristics, "FT_SetDataCharacteristics");
        bind(SetFlowControl, "FT_SetFlowControl");
        bind(SetTimeouts, "FT_SetTimeouts");
        bind(Purge, "FT_Purge");
        bind(SetDtr, "FT_SetDtr");
        bind(ClrDtr, "FT_ClrDtr");
        bind(SetRts, "FT_SetRts");
        bind(ClrRts, "FT_ClrRts");
        bind(GetModemStatus, "FT_GetModemStatus");
        bind(GetStatus, "FT_GetStatus");
        bind(Read, "FT_Read");
        bind(Write, "FT_Write");
        bind(Close, "FT_Close");
        bind(SetLatencyTimer, "FT_SetLatencyTimer");
        bind(board, "podsim_d2xx_board");
        bind(reload, "podsim_d2xx_reload");
        bind(reloadFile, "podsim_d2xx_reload_file");
        bind(error, "podsim_d2xx_error");
        bind(deviceCount, "podsim_d2xx_device_count");
    }
};

const char* libraryPath() {
    const char* env = std::getenv("RERODADA_D2XX_LIBRARY");
    return env != nullptr && *env != '\0' ? env : PODSIM_D2XX_LIBRARY;
}

class D2xx : public ::testing::Test {
  protected:
    static Api& api() {
        static Api a(libraryPath());
        return a;
    }

    void SetUp() override {
        ASSERT_NE(api().lib, nullptr);
        ASSERT_EQ(api().reload("usb.latency_timer = 1"), 0);
    }

    void* open(int index = 0) {
        void* h = nullptr;
        EXPECT_EQ(api().Open(index, &h), ft::kOk);
        return h;
    }

    uint32_t count() {
        uint32_t n = 99;
        EXPECT_EQ(api().ListDevices(&n, nullptr, ft::kListNumberOnly), ft::kOk);
        return n;
    }

    // The host's read loop: poll the queue, read what it holds.
    Bytes readFor(void* h, size_t want, int ms) {
        Bytes out;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < want && std::chrono::steady_clock::now() < end) {
            uint32_t rx = 0, tx = 0, ev = 0;
            if (api().GetStatus(h, &rx, &tx, &ev) != ft::kOk) break;
            if (rx == 0) {
                sleepMs(1);
                continue;
            }
            Bytes buf(rx);
            uint32_t got = 0;
            EXPECT_EQ(api().Read(h, buf.data(), rx, &got), ft::kOk);
            out.insert(out.end(), buf.begin(), buf.begin() + got);
        }
        return out;
    }

    void write(void* h, const Bytes& b) {
        uint32_t written = 0;
        EXPECT_EQ(api().Write(h, b.data(), uint32_t(b.size()), &written), ft::kOk);
        EXPECT_EQ(written, b.size());
    }

    // What the host does to reset the board and read its banner.
    Bytes reset(void* h, bool resetOnDtrHigh = false) {
        resetOnDtrHigh ? api().ClrDtr(h) : api().SetDtr(h);
        api().Purge(h, ft::kPurgeRx);
        resetOnDtrHigh ? api().SetDtr(h) : api().ClrDtr(h);
        return readFor(h, 25, 300);
    }
};

const Bytes kBanner = text("Kelvo PODLINK v01.05.47\r\n");

TEST_F(D2xx, ReadsConfigFileNamedByEnvironment) {
    char path[] = "/tmp/podsim-d2xx-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(path) << "usb.devices = 3\n";
    setenv("PODLINK_SIM_CONFIG", path, 1);
    // A fresh process reads the file when the library loads; later the hook re-reads it.
    void* already = dlopen(libraryPath(), RTLD_NOW | RTLD_NOLOAD);
    if (already != nullptr) {
        dlclose(already);
        ASSERT_EQ(api().reloadFile(nullptr), 0);
    }
    EXPECT_EQ(api().deviceCount(), 3u);
    std::ofstream(path) << "usb.devices = many\n";
    EXPECT_EQ(api().reloadFile(nullptr), -1);
    EXPECT_NE(std::string(api().error()).find("usb.devices"), std::string::npos);
    EXPECT_EQ(api().deviceCount(), 3u);
    unsetenv("PODLINK_SIM_CONFIG");
    std::remove(path);
}

TEST_F(D2xx, ListsDevices) {
    EXPECT_EQ(count(), 1u);
    ASSERT_EQ(api().reload("usb.devices = 4"), 0);
    EXPECT_EQ(count(), 4u);
    char serial[64] = {};
    EXPECT_EQ(api().ListDevices(reinterpret_cast<void*>(uintptr_t(2)), serial,
                                ft::kListByIndex | ft::kOpenBySerialNumber),
              ft::kOk);
    EXPECT_STREQ(serial, "PL000003");
    ASSERT_EQ(api().reload("usb.list_fails = true"), 0);
    uint32_t n = 0;
    EXPECT_NE(api().ListDevices(&n, nullptr, ft::kListNumberOnly), ft::kOk);
    ASSERT_EQ(api().reload("usb.devices = 0"), 0);
    EXPECT_EQ(count(), 0u);
    void* h = nullptr;
    EXPECT_EQ(api().Open(0, &h), ft::kDeviceNotFound);
}

TEST_F(D2xx, OpenReportsDeviceInfo) {
    void* h = open();
    uint32_t type = 99, id = 0;
    char serial[96] = {}, description[96] = {};
    EXPECT_EQ(api().GetDeviceInfo(h, &type, &id, serial, description, nullptr), ft::kOk);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(id, 0x04036001u);
    EXPECT_STREQ(serial, "PL000001");
    EXPECT_STREQ(description, "PODLINK USB");
    void* again = nullptr;
    EXPECT_EQ(api().Open(0, &again), ft::kDeviceNotOpened);
    EXPECT_EQ(api().Close(h), ft::kOk);
    EXPECT_EQ(api().Close(h), ft::kInvalidHandle);
    uint32_t status = 0;
    EXPECT_EQ(api().GetModemStatus(h, &status), ft::kInvalidHandle);
}

TEST_F(D2xx, HostSetupAndResetGiveBanner) {
    void* h = open();
    EXPECT_EQ(api().SetBaudRate(h, 921600), ft::kOk);
    EXPECT_EQ(api().SetDataCharacteristics(h, 8, 2, 0), ft::kOk);
    EXPECT_EQ(api().SetFlowControl(h, 0x0100, 0, 0), ft::kOk);
    EXPECT_EQ(api().SetTimeouts(h, 300, 300), ft::kOk);
    EXPECT_EQ(api().Purge(h, ft::kPurgeRx | ft::kPurgeTx), ft::kOk);
    EXPECT_EQ(hex(reset(h)), hex(kBanner));
    write(h, {0xA0, 0x02});
    EXPECT_EQ(hex(readFor(h, 3, 300)), hex({0xFF, 0x17, 0xB0}));
    podsim::Board* board = api().board(0);
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(hex(board->lastHostWrite()), hex({0xA0, 0x02}));
    EXPECT_EQ(board->hostBaud(), 921600u);
    api().Close(h);
}

TEST_F(D2xx, ResetPolarityFollowsConfig) {
    ASSERT_EQ(api().reload("reset_dtr = clear\nusb.latency_timer = 1"), 0);
    void* h = open();
    api().SetBaudRate(h, 921600);
    Bytes wrong = reset(h, false);
    EXPECT_FALSE(contains(wrong, text("Kelvo")));
    EXPECT_EQ(hex(reset(h, true)), hex(kBanner));
    api().Close(h);
}

TEST_F(D2xx, OnlyConfiguredRateAnswers) {
    ASSERT_EQ(api().reload("usb.reject_baud = 625000\nusb.latency_timer = 1"), 0);
    void* h = open();
    EXPECT_EQ(api().SetBaudRate(h, 625000), ft::kInvalidBaudRate);
    EXPECT_EQ(api().SetBaudRate(h, 4000000), ft::kInvalidBaudRate);
    for (uint32_t rate : {460800u, 115200u, 19200u}) {
        ASSERT_EQ(api().SetBaudRate(h, rate), ft::kOk);
        Bytes got = reset(h);
        EXPECT_EQ(got.size(), kBanner.size());
        EXPECT_FALSE(contains(got, text("K"))) << rate;
    }
    api().SetBaudRate(h, 921600);
    EXPECT_EQ(hex(reset(h)), hex(kBanner));
    api().Close(h);
}

TEST_F(D2xx, LatencyTimerDelaysReplies) {
    ASSERT_EQ(api().reload(""), 0); // the chip's default of 16 ms
    void* h = open();
    api().SetBaudRate(h, 921600);
    EXPECT_EQ(api().board(0)->latencyTimerMs(), 16);
    auto start = std::chrono::steady_clock::now();
    write(h, {0xA0, 0x00});
    auto queued = [&] {
        uint32_t rx = 0, tx = 9, ev = 9;
        EXPECT_EQ(api().GetStatus(h, &rx, &tx, &ev), ft::kOk);
        EXPECT_EQ(tx, 0u);
        return rx == 1;
    };
    EXPECT_GE(usUntil(start, queued), 16000);
    EXPECT_EQ(api().SetLatencyTimer(h, 1), ft::kOk);
    EXPECT_EQ(api().board(0)->latencyTimerMs(), 1);
    EXPECT_EQ(api().SetLatencyTimer(h, 0), ft::kInvalidParameter);
    api().Close(h);
}

TEST_F(D2xx, ReadReturnsWhatIsThere) {
    void* h = open();
    api().SetBaudRate(h, 921600);
    write(h, {0xC2, 0x01});
    sleepMs(3);
    uint8_t buf[64];
    uint32_t got = 0;
    EXPECT_EQ(api().Read(h, buf, sizeof buf, &got), ft::kOk);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(api().Read(h, buf, sizeof buf, &got), ft::kOk);
    EXPECT_EQ(got, 0u);
    api().Close(h);
}

TEST_F(D2xx, ModemStatusAndLines) {
    void* h = open();
    uint32_t status = 0;
    EXPECT_EQ(api().GetModemStatus(h, &status), ft::kOk);
    EXPECT_EQ(status, 0x30u);
    EXPECT_EQ(api().SetRts(h), ft::kOk);
    EXPECT_TRUE(api().board(0)->rts());
    EXPECT_EQ(api().ClrRts(h), ft::kOk);
    EXPECT_FALSE(api().board(0)->rts());
    api().Close(h);
}

TEST_F(D2xx, SilentDeviceNeverAnswers) {
    ASSERT_EQ(api().reload("usb.devices = 2\nusb.silent = 0\nusb.latency_timer = 1"), 0);
    void* h0 = open(0);
    void* h1 = open(1);
    api().SetBaudRate(h0, 921600);
    api().SetBaudRate(h1, 921600);
    EXPECT_TRUE(reset(h0).empty());
    EXPECT_EQ(hex(reset(h1)), hex(kBanner));
    api().Close(h0);
    api().Close(h1);
}

TEST_F(D2xx, UnplugAfterExchanges) {
    ASSERT_EQ(api().reload("unplug_after = 1\nusb.latency_timer = 1"), 0);
    void* h = open();
    api().SetBaudRate(h, 921600);
    write(h, {0xA0, 0x00});
    EXPECT_EQ(hex(readFor(h, 1, 300)), hex({0xB0}));
    uint32_t written = 7;
    const uint8_t cmd[] = {0xA0, 0x00};
    EXPECT_EQ(api().Write(h, cmd, 2, &written), ft::kIoError);
    EXPECT_EQ(written, 0u);
    uint32_t status = 0, rx = 0, tx = 0, ev = 0;
    EXPECT_EQ(api().GetModemStatus(h, &status), ft::kIoError);
    EXPECT_EQ(api().GetStatus(h, &rx, &tx, &ev), ft::kIoError);
    EXPECT_EQ(count(), 0u);
    EXPECT_EQ(api().Close(h), ft::kOk);
}

TEST_F(D2xx, FaultsSetThroughHook) {
    void* h = open();
    api().SetBaudRate(h, 921600);
    podsim::Fault f;
    f.kind = podsim::FaultKind::Stall;
    f.bytes = 2;
    api().board(0)->setFault(f);
    write(h, {0xC2, 0x01});
    EXPECT_EQ(hex(readFor(h, 4, 100)), hex({0x01, 0x05}));
    api().Close(h);
}

TEST_F(D2xx, BadConfigTextIsRefused) {
    EXPECT_EQ(api().reload("usb.devices = 2"), 0);
    EXPECT_EQ(api().reload("nonsense = 1"), -1);
    EXPECT_NE(std::string(api().error()).find("unknown key 'nonsense'"), std::string::npos);
    EXPECT_EQ(api().deviceCount(), 2u);
    EXPECT_EQ(api().board(2), nullptr);
}

} // namespace
