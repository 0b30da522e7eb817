#include "AppManager.h"
#include "PrintEscaped.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>

namespace {

const char* const kIniFile = "RAR4120E.ini";

class SettingsTest : public testing::Test {
  protected:
    void SetUp() override {
        QFile::remove(kIniFile);
        manager()->loadSettings();
    }

    static AppManager* manager() { return AppManager::instance(); }

    // Replaces the settings file as an editor would.
    static void writeIniFile(const QByteArray& contents) {
        QFile file(kIniFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
        // A distinct time stamp makes the store see the change even when the
        // size happens to match.
        static int stamp = 0;
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-100000 + ++stamp),
                                     QFileDevice::FileModificationTime));
    }

    // QSettings ends the INI file's lines with "\r\n" on Windows.
    static QByteArray readIniFile() {
        QFile file(kIniFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll().replace("\r\n", "\n") : QByteArray();
    }
};

TEST_F(SettingsTest, MissingFileGivesDefaults) {
    AppManager::setDeviceAddress(0);
    AppManager::setAutoReadTimeout(5);
    AppManager::setAutoReadEnabled(false);
    AppManager::setAppName(QStringLiteral("other"));

    EXPECT_TRUE(manager()->loadSettings());
    EXPECT_EQ(AppManager::appName(), QString(AppManager::kDefaultAppName));
    EXPECT_EQ(AppManager::autoReadTimeout(), 1000);
    EXPECT_TRUE(AppManager::autoReadEnabled());
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    EXPECT_EQ(QCoreApplication::applicationName(), QString(AppManager::kDefaultAppName));
    EXPECT_EQ(QCoreApplication::organizationName(), QStringLiteral("CVL"));

    QPoint pos(0, 0);
    QSize size(-1, -1);
    manager()->loadWindowGeometry(pos, size);
    EXPECT_EQ(pos, QPoint(0, 0));
    EXPECT_EQ(size, QSize(-1, -1));
}

TEST_F(SettingsTest, MissingKeysGiveDefaultsBesideStoredOnes) {
    writeIniFile("[Application]\nautoreadTimeout=2500\n[Device]\n");
    EXPECT_TRUE(manager()->loadSettings());
    EXPECT_EQ(AppManager::autoReadTimeout(), 2500);
    EXPECT_TRUE(AppManager::autoReadEnabled());
    EXPECT_EQ(AppManager::appName(), QString(AppManager::kDefaultAppName));
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);

    QPoint pos(7, 8);
    QSize size(300, 200);
    manager()->loadWindowGeometry(pos, size);
    EXPECT_EQ(pos, QPoint(7, 8));
    EXPECT_EQ(size, QSize(300, 200));
}

TEST_F(SettingsTest, RoundTripThroughTheFile) {
    AppManager::setAppName(QStringLiteral("Bench kit"));
    AppManager::setAutoReadTimeout(4200);
    AppManager::setAutoReadEnabled(false);
    AppManager::setDeviceAddress(0x50);
    manager()->saveSettings();
    manager()->saveWindowGeometry(QPoint(40, 60), QSize(1241, 699));

    const QByteArray text = readIniFile();
    EXPECT_TRUE(text.contains("[Application]"));
    EXPECT_TRUE(text.contains("AppName=Bench kit"));
    EXPECT_TRUE(text.contains("autoreadTimeout=4200"));
    EXPECT_TRUE(text.contains("autoRead=false"));
    EXPECT_TRUE(text.contains("[Device]"));
    EXPECT_TRUE(text.contains("Address=0x50"));

    AppManager::setAppName(QString());
    AppManager::setAutoReadTimeout(100);
    AppManager::setAutoReadEnabled(true);
    AppManager::setDeviceAddress(0);
    EXPECT_TRUE(manager()->loadSettings());
    EXPECT_EQ(AppManager::appName(), QStringLiteral("Bench kit"));
    EXPECT_EQ(AppManager::autoReadTimeout(), 4200);
    EXPECT_FALSE(AppManager::autoReadEnabled());
    EXPECT_EQ(AppManager::deviceAddress(), 0x50);

    QPoint pos(0, 0);
    QSize size(-1, -1);
    manager()->loadWindowGeometry(pos, size);
    EXPECT_EQ(pos, QPoint(40, 60));
    EXPECT_EQ(size, QSize(1241, 699));
}

TEST_F(SettingsTest, SplashFlagLivesInTheNativeStoreOnly) {
    QSettings* native = manager()->nativeSettings();
    EXPECT_EQ(native->organizationName(), QStringLiteral("Corvelle"));
    EXPECT_EQ(native->applicationName(), QStringLiteral("RAR4120E"));
    EXPECT_EQ(native->format(), QSettings::NativeFormat);

    native->setValue(QStringLiteral("ShowSplash"), QStringLiteral("FALSE"));
    native->sync();
    QSettings reread(QStringLiteral("Corvelle"), QStringLiteral("RAR4120E"));
    EXPECT_EQ(reread.value(QStringLiteral("ShowSplash")).toString(), QStringLiteral("FALSE"));

    manager()->saveSettings();
    EXPECT_FALSE(readIniFile().contains("ShowSplash"));
    native->remove(QStringLiteral("ShowSplash"));
    native->sync();
}

struct AddressLoadCase {
    const char* stored;
    uint8_t address;
    bool parsed;
};

void PrintTo(const AddressLoadCase& c, std::ostream* os) {
    printEscaped(c.stored, os);
}

class AddressLoadTest : public SettingsTest, public testing::WithParamInterface<AddressLoadCase> {};

TEST_P(AddressLoadTest, StoredTextGivesAddress) {
    const AddressLoadCase& c = GetParam();
    writeIniFile(QByteArray("[Device]\nAddress=\"") + c.stored + "\"\n");
    AppManager::setDeviceAddress(0x77);
    EXPECT_EQ(manager()->loadSettings(), c.parsed);
    EXPECT_EQ(AppManager::deviceAddress(), c.address);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AddressLoadTest,
    testing::Values(AddressLoadCase{"42", 0x2A, true}, // decimal wins
                    AddressLoadCase{"0x2A", 0x2A, true}, AddressLoadCase{"2A", 0x2A, true},
                    AddressLoadCase{"2a", 0x2A, true}, AddressLoadCase{"zz", 0, false},
                    AddressLoadCase{"", 0, false}, AddressLoadCase{"0x0A", 0x0A, true},
                    AddressLoadCase{"0x A", 0x0A, true}, // older files
                    AddressLoadCase{"0x 0", 0x00, true},
                    AddressLoadCase{"298", 0x2A, true}, // cut to 8 bits
                    AddressLoadCase{"0x1FE", 0xFE, true}));

struct AddressSaveCase {
    uint8_t address;
    const char* stored;
};

void PrintTo(const AddressSaveCase& c, std::ostream* os) {
    printEscaped(c.stored, os);
}

class AddressSaveTest : public SettingsTest, public testing::WithParamInterface<AddressSaveCase> {};

TEST_P(AddressSaveTest, SavedAddressReadsBack) {
    const AddressSaveCase& c = GetParam();
    AppManager::setDeviceAddress(c.address);
    manager()->saveSettings();
    EXPECT_TRUE(readIniFile().contains(QByteArray("\nAddress=") + c.stored + "\n"));

    AppManager::setDeviceAddress(0x77);
    EXPECT_TRUE(manager()->loadSettings());
    EXPECT_EQ(AppManager::deviceAddress(), c.address);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AddressSaveTest,
    testing::Values(AddressSaveCase{0x00, "0x00"}, AddressSaveCase{0x02, "0x02"},
                    AddressSaveCase{0x0A, "0x0A"}, AddressSaveCase{0x0F, "0x0F"},
                    AddressSaveCase{0x10, "0x10"}, AddressSaveCase{0x2A, "0x2A"},
                    AddressSaveCase{0xA0, "0xA0"}, AddressSaveCase{0xFE, "0xFE"}));

struct TimeoutCase {
    const char* stored;
    int loaded;
};

void PrintTo(const TimeoutCase& c, std::ostream* os) {
    printEscaped(c.stored, os);
}

class AutoReadTimeoutTest : public SettingsTest, public testing::WithParamInterface<TimeoutCase> {};

TEST_P(AutoReadTimeoutTest, OutOfRangeOrTextLoadsTheDefault) {
    writeIniFile(QByteArray("[Application]\nautoreadTimeout=\"") + GetParam().stored + "\"\n");
    AppManager::setAutoReadTimeout(-1);
    manager()->loadSettings();
    EXPECT_EQ(AppManager::autoReadTimeout(), GetParam().loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Values, AutoReadTimeoutTest,
    testing::Values(TimeoutCase{"100", 100}, TimeoutCase{"2500", 2500}, TimeoutCase{"30000", 30000},
                    TimeoutCase{"99", 1000}, TimeoutCase{"0", 1000}, TimeoutCase{"-500", 1000},
                    TimeoutCase{"30001", 1000}, TimeoutCase{"99999999999", 1000},
                    TimeoutCase{"fast", 1000}, TimeoutCase{"1e3", 1000}, TimeoutCase{"", 1000}));

TEST_F(SettingsTest, GarbageFileLoadsTheRulesValues) {
    static const char garbage[] = "\x01\x02garbage without a group\n"
                                  "[Application\n"
                                  "[Application]\n"
                                  "AppName=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5Q)\n"
                                  "autoreadTimeout=twelve\n"
                                  "autoRead=\n"
                                  "windowPosition=nonsense\n"
                                  "windowSize=@Size(wide high)\n"
                                  "=no key\n"
                                  "[Device]\n"
                                  "Address=@Invalid()\n"
                                  "\xff\xfe\x00\x00 binary tail";
    writeIniFile(QByteArray(garbage, sizeof garbage - 1));
    EXPECT_FALSE(manager()->loadSettings());
    EXPECT_EQ(AppManager::autoReadTimeout(), 1000);
    EXPECT_EQ(AppManager::deviceAddress(), 0);

    QPoint pos(3, 4);
    QSize size(-1, -1);
    manager()->loadWindowGeometry(pos, size);
    EXPECT_EQ(pos, QPoint(3, 4));
}

TEST_F(SettingsTest, RandomBytesLoadWithinTheRules) {
    QRandomGenerator random(20240611);
    for (int round = 0; round < 50; ++round) {
        QByteArray junk(1 + static_cast<int>(random.bounded(4096)), '\0');
        for (char& c : junk)
            c = static_cast<char>(random.bounded(256));
        if (round % 2) junk.prepend("[Application]\nautoreadTimeout=");
        writeIniFile(junk);
        manager()->loadSettings();
        EXPECT_GE(AppManager::autoReadTimeout(), 100);
        EXPECT_LE(AppManager::autoReadTimeout(), 30000);
        QPoint pos;
        QSize size;
        manager()->loadWindowGeometry(pos, size);
    }
}

} // namespace
