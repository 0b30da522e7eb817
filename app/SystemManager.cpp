#include "SystemManager.h"

#include "AppManager.h"

#include <QMetaType>

SystemManager* SystemManager::instance() {
    static SystemManager* const manager = new SystemManager;
    return manager;
}

SystemManager::SystemManager() {
    // Listeners connect by the signal's own type names; registering them lets
    // queued connections and signal spies carry the arguments too.
    qRegisterMetaType<uint8_t>("uint8_t");
    qRegisterMetaType<uint32_t>("uint32_t");
}

void SystemManager::setRegister(uint8_t reg, uint32_t value) {
    m_registerCache[m_selectedSlot][reg] = static_cast<uint8_t>(value);
}

uint8_t SystemManager::getRegister(uint8_t reg) const {
    return m_registerCache[m_selectedSlot][reg];
}

uint8_t SystemManager::address() const {
    return AppManager::deviceAddress();
}
