#include "AppManager.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <string>
#include <tuple>

namespace {

const char* const kIniFile = "RAR4120E.ini";

AppManager* manager() {
    return AppManager::instance();
}

// A distinct time stamp makes the store see a change of equal size.
void writeIniFile(const QByteArray& contents) {
    static int stamp = 0;
    QFile file(kIniFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    file.flush();
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-100000 + ++stamp),
                                 QFileDevice::FileModificationTime));
}

// QSettings ends the lines with "\r\n" on Windows.
QByteArray readIniFile() {
    QFile file(kIniFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll().replace("\r\n", "\n") : QByteArray();
}

// The application's name, reading period, automatic reading and device address.
using Settings = std::tuple<std::string, int, bool, int>;

Settings current() {
    return {AppManager::appName().toStdString(), AppManager::autoReadTimeout(),
            AppManager::autoReadEnabled(), AppManager::deviceAddress()};
}

void set(const Settings& s) {
    AppManager::setAppName(QString::fromStdString(std::get<0>(s)));
    AppManager::setAutoReadTimeout(std::get<1>(s));
    AppManager::setAutoReadEnabled(std::get<2>(s));
    AppManager::setDeviceAddress(uint8_t(std::get<3>(s)));
}

// The window geometry loaded over this position and size.
std::pair<QPoint, QSize> geometry(QPoint pos, QSize size) {
    manager()->loadWindowGeometry(pos, size);
    return {pos, size};
}

class SettingsTest : public testing::Test {
  protected:
    void SetUp() override {
        QFile::remove(kIniFile);
        manager()->loadSettings();
    }
};

TEST_F(SettingsTest, MissingFileOrKeysGiveDefaults) {
    set({"other", 5, false, 0});
    EXPECT_TRUE(manager()->loadSettings());
    EXPECT_EQ(current(), Settings(AppManager::kDefaultAppName, 1000, true, 0x2A));
    EXPECT_EQ(QCoreApplication::applicationName(), QString(AppManager::kDefaultAppName));
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("CVL"));
    EXPECT_EQ(geometry({7, 8}, {300, 200}), std::make_pair(QPoint(7, 8), QSize(300, 200)));
}

TEST_F(SettingsTest, RoundTripThroughTheFile) {
    set({"Bench kit", 4200, false, 0x0A});
    manager()->saveSettings();
    manager()->saveWindowGeometry(QPoint(40, 60), QSize(1241, 699));
    // QSettings orders keys without regard to case on Windows.
#if defined(_WIN32)
    const char* keys = "autoreadTimeout=4200\nautoRead=false\n";
#else
    const char* keys = "autoRead=false\nautoreadTimeout=4200\n";
#endif
    EXPECT_EQ(readIniFile().toStdString(),
              std::string("[Application]\nAppName=Bench kit\n") + keys +
                  "windowPosition=@Point(40 60)\nwindowSize=@Size(1241 699)\n\n"
                  "[Device]\nAddress=0x0A\n");

    set({"", 100, true, 0});
    EXPECT_TRUE(manager()->loadSettings());
    EXPECT_EQ(current(), Settings("Bench kit", 4200, false, 0x0A));
    EXPECT_EQ(geometry({}, {}), std::make_pair(QPoint(40, 60), QSize(1241, 699)));
}

// Address: decimal, else hexadecimal ("0x A" from older files), cut to 8 bits;
// period: 100 to 30000 ms, else the default.
TEST_F(SettingsTest, StoredTextLoadsWithinTheRules) {
    // Stored address and period; loaded address and period; whether the address parsed.
    const std::tuple<const char*, const char*, uint8_t, int, bool> rows[] = {
        {"42", "100", 0x2A, 100, true},     {"0x2A", "30000", 0x2A, 30000, true},
        {"2a", "99", 0x2A, 1000, true},     {"zz", "-500", 0, 1000, false},
        {"", "30001", 0, 1000, false},      {"0x A", "99999999999", 0x0A, 1000, true},
        {"0x 0", "fast", 0x00, 1000, true}, {"298", "1e3", 0x2A, 1000, true},
        {"0x1FE", "", 0xFE, 1000, true}};
    for (const auto& [address, period, loadedAddress, loadedPeriod, parsed] : rows) {
        SCOPED_TRACE(std::string(address) + " " + period);
        writeIniFile(QByteArray("[Application]\nautoreadTimeout=\"") + period +
                     "\"\n[Device]\nAddress=\"" + address + "\"\n");
        AppManager::setDeviceAddress(0x77);
        AppManager::setAutoReadTimeout(-1);
        EXPECT_EQ(manager()->loadSettings(), parsed);
        EXPECT_EQ(AppManager::deviceAddress(), loadedAddress);
        EXPECT_EQ(AppManager::autoReadTimeout(), loadedPeriod);
    }
}

TEST_F(SettingsTest, GarbageFileLoadsTheRulesValues) {
    static const char garbage[] = "\x01\x02garbage without a group\n[Application\n[Application]\n"
                                  "AppName=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5Q)\n"
                                  "autoreadTimeout=twelve\nautoRead=\nwindowPosition=nonsense\n"
                                  "windowSize=@Size(wide high)\n=no key\n[Device]\n"
                                  "Address=@Invalid()\n\xff\xfe\x00\x00 binary tail";
    writeIniFile(QByteArray(garbage, sizeof garbage - 1));
    EXPECT_FALSE(manager()->loadSettings());
    EXPECT_EQ(AppManager::autoReadTimeout(), 1000);
    EXPECT_EQ(AppManager::deviceAddress(), 0);
    EXPECT_EQ(geometry({7, 8}, {640, 480}), std::make_pair(QPoint(7, 8), QSize(640, 480)));
}

} // namespace
