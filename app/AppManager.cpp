#include "AppManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QVariant>

namespace {

const char* const kOrganization = "Corvelle";
const char* const kApplication = "RAR4120E";
const char* const kSettingsFile = "RAR4120E.ini";

const char* const kGroupApplication = "Application";
const char* const kGroupDevice = "Device";
const char* const kKeyAppName = "AppName";
const char* const kKeyAutoReadTimeout = "autoreadTimeout";
const char* const kKeyAutoRead = "autoRead";
const char* const kKeyWindowPosition = "windowPosition";
const char* const kKeyWindowSize = "windowSize";
const char* const kKeyAddress = "Address";

// Earlier versions wrote addresses below 0x10 as "0x A" (a space-padded
// field), which Qt's hexadecimal conversion refuses; the space is dropped.
QString withoutPaddingAfterPrefix(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return trimmed;
    return trimmed.left(2) + trimmed.mid(2).trimmed();
}

} // namespace

const char* const AppManager::kDefaultAppName =
    "Integrated 4-Channel Low-Voltage 120mA LED Driver - RAR4120E EV Kit";

QString AppManager::s_appName;
QString AppManager::s_appVersion;
QString AppManager::s_statusMessageA;
QString AppManager::s_statusMessageB;
const QString AppManager::s_homeFolder = QStandardPaths::locate(
    QStandardPaths::HomeLocation, QStringLiteral("."), QStandardPaths::LocateDirectory);
uint8_t AppManager::s_deviceAddress = 0;
int AppManager::s_autoReadTimeout = 0;
bool AppManager::s_autoReadEnabled = true;
bool AppManager::s_demoMode = false;

AppManager* AppManager::instance() {
    static AppManager* const manager = new AppManager;
    return manager;
}

AppManager::AppManager()
    : m_nativeSettings(QSettings::NativeFormat, QSettings::UserScope, kOrganization, kApplication),
      m_fileSettings(kSettingsFile, QSettings::IniFormat) {
    // Plug-ins shipped beside the executable must be found without an
    // installed Qt.
    QCoreApplication::addLibraryPath(QCoreApplication::applicationDirPath());
}

QSettings* AppManager::nativeSettings() {
    return &m_nativeSettings;
}

bool AppManager::loadSettings() {
    // Reads the file as it is now, not as it was when the store was opened.
    m_fileSettings.sync();

    m_fileSettings.beginGroup(kGroupApplication);
    s_appName = m_fileSettings.value(kKeyAppName, kDefaultAppName).toString();
    QCoreApplication::setOrganizationName(QStringLiteral("CVL"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("corvelle.com"));
    QCoreApplication::setApplicationName(s_appName);

    bool timeoutOk = false;
    const int timeout =
        m_fileSettings.value(kKeyAutoReadTimeout, kDefaultAutoReadTimeout).toInt(&timeoutOk);
    // The auto-read timers would spin or stall on a period outside what the
    // Auto Read Timeout dialog offers.
    s_autoReadTimeout =
        (timeoutOk && timeout >= kMinAutoReadTimeout && timeout <= kMaxAutoReadTimeout)
            ? timeout
            : kDefaultAutoReadTimeout;
    s_autoReadEnabled = m_fileSettings.value(kKeyAutoRead, true).toBool();
    m_fileSettings.endGroup();

    m_fileSettings.beginGroup(kGroupDevice);
    const QString addressText = m_fileSettings.value(kKeyAddress, kDefaultAddress).toString();
    m_fileSettings.endGroup();

    bool ok = false;
    int address = addressText.toInt(&ok, 10);
    if (!ok) address = withoutPaddingAfterPrefix(addressText).toInt(&ok, 16);
    s_deviceAddress = static_cast<uint8_t>(address);
    return ok;
}

void AppManager::saveSettings() {
    m_fileSettings.beginGroup(kGroupApplication);
    m_fileSettings.setValue(kKeyAppName, s_appName);
    m_fileSettings.setValue(kKeyAutoReadTimeout, s_autoReadTimeout);
    m_fileSettings.setValue(kKeyAutoRead, s_autoReadEnabled);
    m_fileSettings.endGroup();

    m_fileSettings.beginGroup(kGroupDevice);
    // Zero-padded so that addresses below 0x10 read back.
    m_fileSettings.setValue(kKeyAddress, QString::asprintf("0x%02X", s_deviceAddress));
    m_fileSettings.endGroup();

    // The store is never destroyed, so nothing else would write it out.
    m_fileSettings.sync();
}

void AppManager::loadWindowGeometry(QPoint& pos, QSize& size) {
    m_fileSettings.beginGroup(kGroupApplication);
    // A stored value that is not a point or a usable size keeps the caller's
    // value, as a missing one does: a size that does not parse reads as 0x0.
    const QVariant storedPos = m_fileSettings.value(kKeyWindowPosition, pos);
    if (storedPos.canConvert<QPoint>()) pos = storedPos.toPoint();
    const QVariant storedSize = m_fileSettings.value(kKeyWindowSize, size);
    if (storedSize.canConvert<QSize>() && !storedSize.toSize().isEmpty())
        size = storedSize.toSize();
    m_fileSettings.endGroup();
}

void AppManager::saveWindowGeometry(QPoint pos, QSize size) {
    m_fileSettings.beginGroup(kGroupApplication);
    m_fileSettings.setValue(kKeyWindowPosition, pos);
    m_fileSettings.setValue(kKeyWindowSize, size);
    m_fileSettings.endGroup();
    m_fileSettings.sync();
}

QString AppManager::settingsProblem() {
    const QFileInfo file(m_fileSettings.fileName());
    // The store writes a new file beside the old one and renames it: the
    // folder must take new files, even when the file itself is writable.
    QTemporaryFile probe(file.absolutePath() + QStringLiteral("/XXXXXX"));
    QString reason;
    if (!probe.open())
        reason = QStringLiteral("the folder is not writable. Start the program from a folder you "
                                "can write to.");
    else if (!m_fileSettings.isWritable())
        reason = QStringLiteral("the file cannot be written. Make it writable, or start the "
                                "program from another folder.");
    else if (m_fileSettings.status() == QSettings::AccessError)
        reason = QStringLiteral("the file could not be written.");
    if (reason.isEmpty()) return QString();
    return QStringLiteral("Settings cannot be saved to %1: %2")
        .arg(QDir::toNativeSeparators(file.absoluteFilePath()), reason);
}

QString AppManager::appName() {
    return s_appName;
}
void AppManager::setAppName(const QString& name) {
    s_appName = name;
}
QString AppManager::appVersion() {
    return s_appVersion;
}
void AppManager::setAppVersion(const QString& version) {
    s_appVersion = version;
}
QString AppManager::statusMessageA() {
    return s_statusMessageA;
}
void AppManager::setStatusMessageA(const QString& text) {
    s_statusMessageA = text;
}
QString AppManager::statusMessageB() {
    return s_statusMessageB;
}
QString AppManager::homeFolder() {
    return s_homeFolder;
}
uint8_t AppManager::deviceAddress() {
    return s_deviceAddress;
}
void AppManager::setDeviceAddress(uint8_t address) {
    s_deviceAddress = address;
}
int AppManager::autoReadTimeout() {
    return s_autoReadTimeout;
}
void AppManager::setAutoReadTimeout(int msec) {
    s_autoReadTimeout = msec;
}
bool AppManager::autoReadEnabled() {
    return s_autoReadEnabled;
}
void AppManager::setAutoReadEnabled(bool enabled) {
    s_autoReadEnabled = enabled;
}
bool AppManager::demoMode() {
    return s_demoMode;
}
void AppManager::setDemoMode(bool on) {
    s_demoMode = on;
}
