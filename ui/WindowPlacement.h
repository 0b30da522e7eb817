#ifndef WINDOWPLACEMENT_H
#define WINDOWPLACEMENT_H

#include <QPoint>
#include <QRect>
#include <QVector>

class QWidget;

// Where a window whose frame was stored as frame opens, given the available
// areas of the screens there are now, the primary screen's first: on the
// screen that holds the frame's centre, else its top-left corner, else on the
// primary screen (the screen it was on is gone), moved as little as needed
// to lie inside that screen's area.
QPoint windowPosition(const QVector<QRect>& screens, const QRect& frame);

// Moves window to its stored position and size, if a size is stored.
void placeWindow(QWidget* window);

#endif // WINDOWPLACEMENT_H
