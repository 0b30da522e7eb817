// Renders both register pages, with the program's style sheet, after a read
// from the simulated board, into page1.png and page2.png in the directory
// given as the only argument. Some status bits are set on the simulated chip
// first, so that lit lamps show as well.
#include "AppManager.h"
#include "DeviceAccess.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include "Board.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTextStream>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

podsim::Board* simulatedBoard() {
    const char* path = std::getenv("RERODADA_D2XX_LIBRARY");
    void* standIn = path && *path ? dlopen(path, RTLD_NOW) : nullptr;
    if (!standIn) return nullptr;
    // A fresh default board: one USB device with the RAR4120E at 0x2A.
    using ReloadHook = int (*)(const char*);
    const auto reload = reinterpret_cast<ReloadHook>(dlsym(standIn, "podsim_d2xx_reload"));
    if (!reload || reload("") != 0) return nullptr;
    using BoardHook = podsim::Board* (*)(unsigned);
    const auto hook = reinterpret_cast<BoardHook>(dlsym(standIn, "podsim_d2xx_board"));
    return hook ? hook(0) : nullptr;
}

bool shoot(QWidget& page, const QSize& size, const QString& file) {
    // Larger text needs a larger page, as the window's scroll area gives it.
    page.resize(size.expandedTo(page.minimumSizeHint()));
    page.show();
    QApplication::processEvents();
    return page.grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pageshot OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));

    QFile style(QCoreApplication::applicationDirPath() + "/STYLE/stylesheet.qss");
    if (!style.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "pageshot: no style sheet beside the program\n");
        return 1;
    }
    app.setStyleSheet(QTextStream(&style).readAll());

    podsim::Board* board = simulatedBoard();
    if (!board || !boardConnect()) {
        std::fprintf(stderr, "pageshot: the simulated board did not answer\n");
        return 1;
    }
    AppManager::setDeviceAddress(0x2A);
    board->setChipRegister(0x03, 0x28);
    board->setChipRegister(0x11, 0x01);
    board->setChipRegister(0x15, 0x06);

    frmMainPage page1;
    frmMainPage2 page2;
    for (QObject* page : {static_cast<QObject*>(&page1), static_cast<QObject*>(&page2)})
        QObject::connect(SystemManager::instance(),
                         SIGNAL(sig_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t)), page,
                         SLOT(slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t)));
    page1.readAll();
    page2.readAll();

    const bool ok = shoot(page1, QSize(846, 610), out.filePath("page1.png")) &&
                    shoot(page2, QSize(770, 601), out.filePath("page2.png"));
    boardDisconnect();
    return ok ? 0 : 1;
}
