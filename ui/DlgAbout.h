#ifndef DLGABOUT_H
#define DLGABOUT_H

#include <QDialog>
#include <QString>

class QSettings;

namespace Ui {
class DlgAbout;
}

// One frameless window in two modes: the start-up splash, which closes
// itself, and the About box, which the user hides with "OK". Both carry the
// "Disable Splash Screen" box that decides whether the next start shows a splash.
class DlgAbout : public QDialog {
    Q_OBJECT

  public:
    // The splash time, and the short delay before the window closes after it.
    static constexpr int kSplashMs = 4000;
    static constexpr int kCloseDelayMs = 100;

    DlgAbout(QWidget* parent, bool splash);
    ~DlgAbout() override;

    void showDialog();

    // The start-up decision on the native "ShowSplash" value: absent or empty
    // (a first run, recorded as "TRUE") and "TRUE" show the splash; any other
    // value does not.
    static bool splashWanted(QSettings* native);

  signals:
    void sig_splashTimerExpired();

  public slots:
    void slt_disableSplashChanged(bool value);
    void slt_closeSplash();

  private:
    Ui::DlgAbout* ui;
    const QString m_notice;
    const bool m_splash;
};

#endif // DLGABOUT_H
