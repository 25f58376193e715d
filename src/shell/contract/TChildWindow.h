#pragma once

#include "shell/contract/IMonitorWindow.h"

#include <QWidget>

class QMdiSubWindow;
class TFrameTracker;

// The common base of the monitor child windows. It publishes the five desktop
// properties every window class shares; they describe the MDI sub-window around
// the window (its frame geometry in the MDI area's coordinates and its title),
// not the inner widget. A minimized or maximized window reads and takes the geometry
// it has when shown normally. Window classes add their own properties; nothing else
// belongs here, since a property on the base is saved for every class.
class TChildWindow : public QWidget, public IMonitorWindow {
    Q_OBJECT
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TChildWindow(QWidget* parent = nullptr);

    int Top() const;
    int Left() const;
    int Height() const;
    int Width() const;
    QString Caption() const;
    void SetTop(int value);
    void SetLeft(int value);
    void SetHeight(int value);
    void SetWidth(int value);
    void SetCaption(const QString& value);

protected:
    // The sub-window frame around this window, null before it is placed in the MDI area.
    QMdiSubWindow* Frame() const;

private:
    QRect FrameGeometry() const;
    void SetFrameGeometry(const QRect& rect);

    // Follows the frame's normal geometry (a separate object, so a window class's
    // own event handlers cannot keep it from its events).
    TFrameTracker* tracker_ = nullptr;
};
