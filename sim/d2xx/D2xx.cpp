// A D2XX stand-in: each configured device is a simulated board reached as a
// USB serial chip would reach it. Configured at load time from the file named
// by PODLINK_SIM_CONFIG (unset or empty: defaults).
#include "D2xxApi.h"

#include "../Board.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

using namespace podsim;
using namespace podsim::d2xx;

namespace {

constexpr uint32_t kChipResetBaud = 9600; // what the chip runs at before the host sets a rate

struct Device {
    // Shared with the notifier, which watches it until the handle is
    // closed, also across a reload.
    std::shared_ptr<Board> board;
    std::string serial;
    bool open = false;
    uint8_t wordLength = 8, stopBits = 0, parity = 0;
    uint16_t flow = 0;
};

// PODLINK_SIM_CONFIG as Config::fromFile takes it: Windows keeps the
// environment in UTF-16, and file names are UTF-8 here.
std::string configFileName() {
#if defined(_WIN32)
    const wchar_t* name = _wgetenv(L"PODLINK_SIM_CONFIG");
    if (name == nullptr) return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, name, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name, -1, &utf8[0], length, nullptr, nullptr);
    utf8.pop_back();
    return utf8;
#else
    const char* name = std::getenv("PODLINK_SIM_CONFIG");
    return name == nullptr ? std::string() : name;
#endif
}

struct Registry {
    std::mutex mutex;
    Config cfg;
    std::vector<std::unique_ptr<Device>> devices;
    std::map<uintptr_t, Device*> handles;
    uintptr_t nextHandle = 0x1000;
    std::string error;

    void build(const Config& c) {
        handles.clear();
        devices.clear();
        cfg = c;
        for (uint32_t i = 0; i < c.usbDevices; ++i) {
            Config boardCfg = c;
            if (boardCfg.baud == 0) boardCfg.baud = kDefaultUsbBaud;
            if (std::find(c.usbSilent.begin(), c.usbSilent.end(), i) != c.usbSilent.end()) {
                boardCfg.silent = true;
            }
            auto d = std::make_unique<Device>();
            d->board = std::make_shared<Board>(boardCfg);
            d->serial = c.usbSerial + std::to_string(i + 1);
            devices.push_back(std::move(d));
        }
    }

    int loadFromEnv() {
        const std::string path = configFileName();
        if (path.empty()) {
            build(Config());
            error.clear();
            return 0;
        }
        try {
            build(Config::fromFile(path));
            error.clear();
            return 0;
        } catch (const ConfigError& e) {
            error = e.what();
            return -1;
        }
    }

    std::vector<Device*> plugged() {
        std::vector<Device*> out;
        for (auto& d : devices) {
            if (!d->board->unplugged()) out.push_back(d.get());
        }
        return out;
    }

    Device* find(void* handle) {
        auto it = handles.find(reinterpret_cast<uintptr_t>(handle));
        return it == handles.end() ? nullptr : it->second;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

// Loading the library reads the configuration, as the vendor's driver reads
// its device list when it is loaded.
struct LoadTimeConfig {
    LoadTimeConfig() {
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.loadFromEnv() != 0) {
            std::cerr << "podlink-d2xx: " << r.error << " (no devices)\n";
        }
    }
} loadTimeConfig;

#if !defined(_WIN32)
struct EventHandle {
    pthread_cond_t eCondVar;
    pthread_mutex_t eMutex;
    int iVar;
};
#endif

void setEvent(void* event) {
#if defined(_WIN32)
    SetEvent(static_cast<HANDLE>(event));
#else
    auto* e = static_cast<EventHandle*>(event);
    pthread_mutex_lock(&e->eMutex);
    pthread_cond_signal(&e->eCondVar);
    pthread_mutex_unlock(&e->eMutex);
#endif
}

#if defined(_WIN32)
// Set when the process ends: Windows has then stopped the notifier's thread,
// perhaps while it held a lock, before it unloads this library.
std::atomic<bool> gProcessEnding{false};
#endif

// Sets the host's events as the chip's driver does for FT_EVENT_RXCHAR: when
// received bytes become readable, whether at once after a host call that
// made the board answer or later, when the link's latency releases them. A
// thread of its own waits for the next release while any event is watched;
// it ends with the last one, on the caller's thread, so that no thread is
// left when the library is unloaded.
//
// Lock order: signalMutex, then kickMutex, a board's mutex or the host's
// event mutex. The host checks the queue with its event mutex held, so the
// registry's mutex is never held while signalMutex is taken.
class Notifier {
  public:
    void watch(uintptr_t handle, std::shared_ptr<Board> board, void* event) {
        {
            std::lock_guard<std::mutex> lock(signalMutex);
            watches[handle] = {std::move(board), event, {}};
            if (!thread.joinable()) {
                uint64_t generation;
                {
                    std::lock_guard<std::mutex> kickLock(kickMutex);
                    generation = current;
                }
                thread = std::thread([this, generation] { run(generation); });
                running = true;
            }
        }
        kick();
    }

    // Once this returns, the handle's event (every event: null) is not
    // touched again.
    void forget(const uintptr_t* handle) {
#if defined(_WIN32)
        if (gProcessEnding) return;
#endif
        std::thread ending;
        {
            std::lock_guard<std::mutex> lock(signalMutex);
            if (handle)
                watches.erase(*handle);
            else
                watches.clear();
            if (!watches.empty() || !thread.joinable()) return;
            ending = std::move(thread);
            running = false;
            std::lock_guard<std::mutex> kickLock(kickMutex);
            ++current;
        }
        kicked.notify_all();
        ending.join();
    }

    // Bytes may have been queued: look again now.
    void kick() {
        if (!running) return;
        {
            std::lock_guard<std::mutex> lock(kickMutex);
            kickPending = true;
        }
        kicked.notify_all();
    }

  private:
    using Clock = std::chrono::steady_clock;
#if defined(_WIN32)
    // A timed wait on a condition ends on a whole millisecond under wine (on
    // a timer tick on Windows itself), where a sleep ends when asked: a
    // release nearer than this is slept for, and kicks wait until then.
    static constexpr Clock::duration kSleepBelow = std::chrono::milliseconds(2);
#else
    static constexpr Clock::duration kSleepBelow = Clock::duration::zero();
#endif
    struct Watch {
        std::shared_ptr<Board> board;
        void* event;
        Clock::time_point signalled; // release time of the newest byte told about
    };

    void run(uint64_t generation) {
        std::unique_lock<std::mutex> lock(kickMutex);
        Clock::time_point wake = Clock::time_point::max();
        for (;;) {
            const auto due = [&] { return kickPending || current != generation; };
            if (wake == Clock::time_point::max()) {
                kicked.wait(lock, due);
            } else if (kSleepBelow > Clock::duration::zero() && wake - Clock::now() < kSleepBelow) {
                lock.unlock();
                std::this_thread::sleep_until(wake);
                lock.lock();
            } else {
                kicked.wait_until(lock, wake, due);
            }
            if (current != generation) return;
            kickPending = false;
            lock.unlock();
            wake = signalReleased();
            lock.lock();
        }
    }

    // Sets the events of the devices with newly readable bytes; returns
    // when the next held-back byte is released.
    Clock::time_point signalReleased() {
        std::lock_guard<std::mutex> lock(signalMutex);
        Clock::time_point next = Clock::time_point::max();
        for (auto& [handle, watch] : watches) {
            const Board::Releases releases = watch.board->releases();
            if (releases.newest > watch.signalled) {
                watch.signalled = releases.newest;
                setEvent(watch.event);
            }
            next = std::min(next, releases.next);
        }
        return next;
    }

    std::mutex signalMutex;
    std::map<uintptr_t, Watch> watches;
    std::thread thread;
    std::atomic<bool> running{false};
    std::mutex kickMutex;
    std::condition_variable kicked;
    bool kickPending = false;
    uint64_t current = 0; // the generation of thread that is to run
};

// Never destroyed: a program's own destructors may still close devices
// after this library's have run.
Notifier& notifier() {
    static Notifier* const n = new Notifier;
    return *n;
}

#if !defined(_WIN32)
// A device still open when the library is unloaded: the thread stops first.
// (At a Windows process's end the thread has stopped already, perhaps holding
// a lock.)
struct StopNotifierAtUnload {
    ~StopNotifierAtUnload() { notifier().forget(nullptr); }
} stopNotifierAtUnload;
#endif

// Runs fn, with the registry locked, on the plugged-in device behind handle.
template <typename Fn> uint32_t withDevice(void* handle, Fn fn) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Device* d = r.find(handle);
    if (d == nullptr) return kInvalidHandle;
    if (d->board->unplugged()) return kIoError;
    return fn(*d);
}

// The same for a call after which the board may have queued an answer.
template <typename Fn> uint32_t withDeviceAnswering(void* handle, Fn fn) {
    const uint32_t status = withDevice(handle, fn);
    notifier().kick();
    return status;
}

void copyText(char* dst, const std::string& src, size_t size) {
    if (dst == nullptr) return;
    size_t n = std::min(src.size(), size - 1);
    std::memcpy(dst, src.data(), n);
    dst[n] = '\0';
}

} // namespace

uint32_t PODSIM_D2XX_CALL FT_ListDevices(void* pvArg1, void* pvArg2, uint32_t flags) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.cfg.usbListFails) return kIoError;
    auto devices = r.plugged();
    if (flags == kListNumberOnly) {
        if (pvArg1 == nullptr) return kInvalidParameter;
        *static_cast<uint32_t*>(pvArg1) = static_cast<uint32_t>(devices.size());
        return kOk;
    }
    if ((flags & kListByIndex) && pvArg2 != nullptr) {
        size_t index = reinterpret_cast<uintptr_t>(pvArg1);
        if (index >= devices.size()) return kDeviceNotFound;
        char* out = static_cast<char*>(pvArg2);
        if ((flags & ~kListByIndex) == kOpenBySerialNumber) {
            copyText(out, devices[index]->serial, 16);
            return kOk;
        }
        if ((flags & ~kListByIndex) == kOpenByDescription) {
            copyText(out, r.cfg.usbDescription, 64);
            return kOk;
        }
    }
    return kInvalidParameter;
}

uint32_t PODSIM_D2XX_CALL FT_Open(int index, void** handle) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto devices = r.plugged();
    if (handle == nullptr) return kInvalidParameter;
    if (index < 0 || size_t(index) >= devices.size()) return kDeviceNotFound;
    Device* d = devices[size_t(index)];
    if (d->open || r.cfg.usbOpenFails) return kDeviceNotOpened;
    d->open = true;
    d->board->setBaud(kChipResetBaud);
    d->board->setLatencyTimerMs(r.cfg.usbLatencyTimer);
    d->board->purgeHostReceive();
    uintptr_t h = r.nextHandle++;
    r.handles[h] = d;
    *handle = reinterpret_cast<void*>(h);
    return kOk;
}

uint32_t PODSIM_D2XX_CALL FT_GetDeviceInfo(void* handle, uint32_t* type, uint32_t* id, char* serial,
                                           char* description, void*) {
    return withDevice(handle, [&](Device& d) {
        const Config& cfg = registry().cfg;
        if (type != nullptr) *type = cfg.usbType;
        if (id != nullptr) *id = cfg.usbId;
        copyText(serial, d.serial, 16);
        copyText(description, cfg.usbDescription, 64);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetBaudRate(void* handle, uint32_t baud) {
    return withDevice(handle, [&](Device& d) {
        const auto& rejected = registry().cfg.usbRejectedBauds;
        // The chip's divisors reach from about 183 baud to 3 Mbaud.
        if (baud < 183 || baud > 3000000 ||
            std::find(rejected.begin(), rejected.end(), baud) != rejected.end()) {
            return kInvalidBaudRate;
        }
        d.board->setBaud(baud);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetDataCharacteristics(void* handle, uint8_t wordLength,
                                                    uint8_t stopBits, uint8_t parity) {
    return withDevice(handle, [&](Device& d) {
        if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) ||
            parity > 4) {
            return kInvalidParameter;
        }
        d.wordLength = wordLength;
        d.stopBits = stopBits;
        d.parity = parity;
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetFlowControl(void* handle, uint16_t mode, uint8_t, uint8_t) {
    return withDevice(handle, [&](Device& d) {
        if (mode != 0x0000 && mode != 0x0100 && mode != 0x0200 && mode != 0x0400) {
            return kInvalidParameter;
        }
        d.flow = mode;
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetTimeouts(void* handle, uint32_t, uint32_t) {
    return withDevice(handle, [](Device&) { return kOk; });
}

uint32_t PODSIM_D2XX_CALL FT_Purge(void* handle, uint32_t mask) {
    return withDevice(handle, [&](Device& d) {
        if (mask == 0 || mask > (kPurgeRx | kPurgeTx)) return kInvalidParameter;
        // Written bytes reach the board at once, so only the receive side holds any.
        if (mask & kPurgeRx) d.board->purgeHostReceive();
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetDtr(void* handle) {
    return withDeviceAnswering(handle, [](Device& d) {
        d.board->setDtr(true);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_ClrDtr(void* handle) {
    return withDeviceAnswering(handle, [](Device& d) {
        d.board->setDtr(false);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetRts(void* handle) {
    return withDevice(handle, [](Device& d) {
        d.board->setRts(true);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_ClrRts(void* handle) {
    return withDevice(handle, [](Device& d) {
        d.board->setRts(false);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_GetModemStatus(void* handle, uint32_t* status) {
    return withDevice(handle, [&](Device& d) {
        if (status == nullptr) return kInvalidParameter;
        *status = d.board->modemStatus();
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_GetStatus(void* handle, uint32_t* rxBytes, uint32_t* txBytes,
                                       uint32_t* eventStatus) {
    return withDevice(handle, [&](Device& d) {
        if (rxBytes != nullptr) *rxBytes = static_cast<uint32_t>(d.board->available());
        if (txBytes != nullptr) *txBytes = 0;
        if (eventStatus != nullptr) *eventStatus = 0;
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_Read(void* handle, void* buffer, uint32_t count, uint32_t* bytesRead) {
    if (bytesRead != nullptr) *bytesRead = 0;
    return withDevice(handle, [&](Device& d) {
        if (buffer == nullptr || bytesRead == nullptr) return kInvalidParameter;
        *bytesRead = static_cast<uint32_t>(d.board->hostRead(static_cast<uint8_t*>(buffer), count));
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_Write(void* handle, const void* buffer, uint32_t count,
                                   uint32_t* bytesWritten) {
    if (bytesWritten != nullptr) *bytesWritten = 0;
    return withDeviceAnswering(handle, [&](Device& d) {
        if (buffer == nullptr || bytesWritten == nullptr) return kInvalidParameter;
        d.board->hostWrite(static_cast<const uint8_t*>(buffer), count);
        // The board may have been pulled out while these bytes were on their way.
        if (d.board->unplugged()) return kIoError;
        *bytesWritten = count;
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_Close(void* handle) {
    const auto key = reinterpret_cast<uintptr_t>(handle);
    notifier().forget(&key);
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    Device* d = r.find(handle);
    if (d == nullptr) return kInvalidHandle;
    d->open = false;
    r.handles.erase(reinterpret_cast<uintptr_t>(handle));
    return kOk;
}

uint32_t PODSIM_D2XX_CALL FT_SetLatencyTimer(void* handle, uint8_t ms) {
    return withDevice(handle, [&](Device& d) {
        if (ms == 0) return kInvalidParameter;
        d.board->setLatencyTimerMs(ms);
        return kOk;
    });
}

uint32_t PODSIM_D2XX_CALL FT_SetEventNotification(void* handle, uint32_t mask, void* event) {
    std::shared_ptr<Board> board;
    const uint32_t status = withDevice(handle, [&](Device& d) {
        board = d.board;
        return kOk;
    });
    if (status != kOk) return status;
    const auto key = reinterpret_cast<uintptr_t>(handle);
    if ((mask & kEventRxChar) && event != nullptr)
        notifier().watch(key, std::move(board), event);
    else
        notifier().forget(&key);
    return kOk;
}

podsim::Board* podsim_d2xx_board(unsigned index) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return index < r.devices.size() ? r.devices[index]->board.get() : nullptr;
}

int podsim_d2xx_reload(const char* configText) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    try {
        r.build(configText == nullptr ? Config() : Config::fromText(configText));
        r.error.clear();
        return 0;
    } catch (const ConfigError& e) {
        r.error = e.what();
        return -1;
    }
}

int podsim_d2xx_reload_file(const char* path) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (path == nullptr) return r.loadFromEnv();
    try {
        r.build(Config::fromFile(path));
        r.error.clear();
        return 0;
    } catch (const ConfigError& e) {
        r.error = e.what();
        return -1;
    }
}

const char* podsim_d2xx_error() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.error.c_str();
}

unsigned podsim_d2xx_device_count() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return static_cast<unsigned>(r.devices.size());
}

#if defined(_WIN32)
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) gProcessEnding = true;
    return TRUE;
}
#endif
