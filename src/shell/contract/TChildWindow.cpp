#include "shell/contract/TChildWindow.h"

#include <QMdiSubWindow>

TChildWindow::TChildWindow(QWidget* parent) : QWidget(parent) {}

QMdiSubWindow* TChildWindow::Frame() const {
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

QRect TChildWindow::FrameGeometry() const {
    if (QMdiSubWindow* frame = Frame())
        return frame->geometry();
    return geometry();
}

void TChildWindow::SetFrameGeometry(const QRect& rect) {
    if (QMdiSubWindow* frame = Frame())
        frame->setGeometry(rect);
    else
        setGeometry(rect);
}

int TChildWindow::Top() const {
    return FrameGeometry().top();
}
int TChildWindow::Left() const {
    return FrameGeometry().left();
}
int TChildWindow::Height() const {
    return FrameGeometry().height();
}
int TChildWindow::Width() const {
    return FrameGeometry().width();
}

QString TChildWindow::Caption() const {
    if (QMdiSubWindow* frame = Frame())
        return frame->windowTitle();
    return windowTitle();
}

void TChildWindow::SetTop(int value) {
    QRect r = FrameGeometry();
    r.moveTop(value);
    SetFrameGeometry(r);
}

void TChildWindow::SetLeft(int value) {
    QRect r = FrameGeometry();
    r.moveLeft(value);
    SetFrameGeometry(r);
}

void TChildWindow::SetHeight(int value) {
    QRect r = FrameGeometry();
    r.setHeight(value);
    SetFrameGeometry(r);
}

void TChildWindow::SetWidth(int value) {
    QRect r = FrameGeometry();
    r.setWidth(value);
    SetFrameGeometry(r);
}

void TChildWindow::SetCaption(const QString& value) {
    setWindowTitle(value);
    if (QMdiSubWindow* frame = Frame())
        frame->setWindowTitle(value);
}
