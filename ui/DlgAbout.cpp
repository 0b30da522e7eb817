#include "DlgAbout.h"
#include "ui_DlgAbout.h"

#include "AppManager.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTimer>

namespace {

const char kShowSplashKey[] = "ShowSplash";

QString link(const QString& caption, const QString& url) {
    return QStringLiteral("%1: <a href=\"%2\" style=\"color: #0067B9;\">%2</a>").arg(caption, url);
}

} // namespace

DlgAbout::DlgAbout(QWidget* parent, bool splash)
    : QDialog(parent), ui(new Ui::DlgAbout),
      m_notice(QStringLiteral("Copyright (C) Corvelle. All rights reserved.")), m_splash(splash) {
    ui->setupUi(this);

    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    setGeometry(centre.x() - 250, centre.y() - 160, 400, 320);

    ui->frame->setAttribute(Qt::WA_TranslucentBackground);
    ui->lblImg->setPixmap(QPixmap(QStringLiteral(":/images/splash-background.png")));
    ui->lblImg->lower();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);

    ui->lblLargeAppName->setText(QStringLiteral("RAR4120E Evaluation Kit"));
    ui->lblTitle_Description->setText(
        QStringLiteral("4-Channel Low-Voltage 120mA White LED Backlight Driver with Integrated "
                       "Boost Controller"));
    ui->lblTitle_Version->setText(QStringLiteral("Version ") + AppManager::appVersion());
    ui->lblNotice->setText(m_notice);
    ui->lblWebsite->setText(
        link(QStringLiteral("Website"), QStringLiteral("https://www.corvelle.com")));
    ui->lblSupport->setText(
        link(QStringLiteral("Support"), QStringLiteral("https://www.corvelle.com/support")));
    for (QLabel* label : {ui->lblWebsite, ui->lblSupport}) {
        label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
        label->setOpenExternalLinks(true);
    }
    for (QLabel* label : {ui->lblLargeAppName, ui->lblTitle_Description}) {
        label->raise();
        label->setAttribute(Qt::WA_TranslucentBackground);
    }
    ui->lblTitle_Description->setVisible(!ui->lblTitle_Description->text().isEmpty());

    connect(ui->chkDisableSplash, SIGNAL(toggled(bool)), this,
            SLOT(slt_disableSplashChanged(bool)));
    connect(ui->btnClose, SIGNAL(clicked()), this, SLOT(hide()));
    ui->btnClose->setVisible(!m_splash);
}

DlgAbout::~DlgAbout() {
    delete ui;
}

void DlgAbout::showDialog() {
    const QString stored =
        AppManager::instance()->nativeSettings()->value(kShowSplashKey).toString();
    ui->chkDisableSplash->setChecked(stored != QLatin1String("TRUE"));
    show();
    if (m_splash) QTimer::singleShot(kSplashMs, this, SLOT(slt_closeSplash()));
}

bool DlgAbout::splashWanted(QSettings* native) {
    const QString stored = native->value(kShowSplashKey).toString();
    if (stored.isEmpty()) {
        native->setValue(kShowSplashKey, QStringLiteral("TRUE"));
        return true;
    }
    return stored == QLatin1String("TRUE");
}

void DlgAbout::slt_disableSplashChanged(bool value) {
    AppManager::instance()->nativeSettings()->setValue(
        kShowSplashKey, value ? QStringLiteral("FALSE") : QStringLiteral("TRUE"));
}

void DlgAbout::slt_closeSplash() {
    emit sig_splashTimerExpired();
    QTimer::singleShot(kCloseDelayMs, this, SLOT(close()));
}
