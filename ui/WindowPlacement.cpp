#include "WindowPlacement.h"

#include "AppManager.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QPoint windowPosition(const QVector<QRect>& screens, const QRect& frame) {
    if (screens.isEmpty()) return frame.topLeft();
    const auto holding = [&](const QPoint& point) {
        return std::find_if(screens.begin(), screens.end(),
                            [&](const QRect& area) { return area.contains(point); });
    };
    auto screen = holding(frame.center());
    if (screen == screens.end()) screen = holding(frame.topLeft());
    const QRect area = screen == screens.end() ? screens.first() : *screen;
    // A window larger than the area keeps its top-left corner, and its title
    // bar, on it.
    const int x =
        std::max(area.left(), std::min(frame.x(), area.x() + area.width() - frame.width()));
    const int y =
        std::max(area.top(), std::min(frame.y(), area.y() + area.height() - frame.height()));
    return QPoint(x, y);
}

void placeWindow(QWidget* window) {
    QPoint pos(0, 0);
    QSize size(-1, -1);
    AppManager::instance()->loadWindowGeometry(pos, size);
    if (size.width() < 1 || size.height() < 1) return;
    window->resize(size);
    QVector<QRect> screens{QGuiApplication::primaryScreen()->availableGeometry()};
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen()) screens << screen->availableGeometry();
    window->move(windowPosition(screens, QRect(pos, window->frameGeometry().size())));
}
