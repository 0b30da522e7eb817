#ifndef APPMANAGER_H
#define APPMANAGER_H

#include <QObject>
#include <QPoint>
#include <QSettings>
#include <QSize>
#include <QString>

#include <cstdint>

// The application services: the two settings stores and the values that
// every part of the program shares (device address, auto-read, demo mode,
// status texts, application name and version).
class AppManager : public QObject {
    Q_OBJECT

  public:
    static AppManager* instance();

    // Holds only "ShowSplash".
    QSettings* nativeSettings();

    // Reads the "Application" and "Device" groups of RAR4120E.ini; true when
    // the stored device address parsed.
    bool loadSettings();
    void saveSettings();

    void loadWindowGeometry(QPoint& pos, QSize& size);
    void saveWindowGeometry(QPoint pos, QSize size);

    // Why RAR4120E.ini cannot be written, in a sentence for the user that
    // names the file; empty when it can.
    QString settingsProblem();

    static QString appName();
    static void setAppName(const QString& name);
    static QString appVersion();
    static void setAppVersion(const QString& version);
    static QString statusMessageA();
    static void setStatusMessageA(const QString& text);
    static QString statusMessageB();
    static QString homeFolder();
    static uint8_t deviceAddress();
    static void setDeviceAddress(uint8_t address);
    static int autoReadTimeout();
    static void setAutoReadTimeout(int msec);
    static bool autoReadEnabled();
    static void setAutoReadEnabled(bool enabled);
    static bool demoMode();
    static void setDemoMode(bool on);

    static const char* const kDefaultAppName;
    static constexpr int kDefaultAutoReadTimeout = 1000;
    static constexpr int kMinAutoReadTimeout = 100;
    static constexpr int kMaxAutoReadTimeout = 30000;
    static constexpr uint8_t kDefaultAddress = 42;

  private:
    AppManager();

    QSettings m_nativeSettings;
    QSettings m_fileSettings;

    static QString s_appName;
    static QString s_appVersion;
    static QString s_statusMessageA;
    static QString s_statusMessageB;
    static const QString s_homeFolder;
    static uint8_t s_deviceAddress;
    static int s_autoReadTimeout;
    static bool s_autoReadEnabled;
    static bool s_demoMode;
};

#endif // APPMANAGER_H
