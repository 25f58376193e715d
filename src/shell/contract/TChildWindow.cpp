#include "shell/contract/TChildWindow.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QPointer>

// Watches the window for its placement in a frame and the frame for its moves,
// resizes and state changes. While the frame is minimized or maximized its
// geometry is not the window's own: the normal geometry is kept here, and a
// geometry written meanwhile is applied when the frame is shown normally again.
class TFrameTracker : public QObject {
public:
    explicit TFrameTracker(TChildWindow& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool NotNormal() const {
        return frame_ && (frame_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    }
    QRect Normal() const { return normal_; }
    void SetNormal(const QRect& rect) {
        normal_ = rect;
        pending_ = true;
    }

    // The frame the window sits in now; watched from the first call on.
    QMdiSubWindow* Frame() {
        auto* frame = qobject_cast<QMdiSubWindow*>(window_.parentWidget());
        if (frame != frame_) {
            if (frame_)
                frame_->removeEventFilter(this);
            frame_ = frame;
            pending_ = false;
            if (frame) {
                normal_ = frame->geometry();
                frame->installEventFilter(this);
                connect(frame, &QMdiSubWindow::windowStateChanged, this,
                        [this](Qt::WindowStates, Qt::WindowStates now) {
                            if (frame_ && pending_ &&
                                !(now & (Qt::WindowMinimized | Qt::WindowMaximized))) {
                                pending_ = false;
                                frame_->setGeometry(normal_);
                            }
                        });
            }
        }
        return frame;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == &window_ && e->type() == QEvent::ParentChange)
            Frame();
        else if (watched == frame_ && (e->type() == QEvent::Move || e->type() == QEvent::Resize) &&
                 !NotNormal())
            normal_ = frame_->geometry();
        return false;
    }

private:
    TChildWindow& window_;
    QPointer<QMdiSubWindow> frame_;
    QRect normal_;
    bool pending_ = false; // normal_ was written while the frame was not normal
};

TChildWindow::TChildWindow(QWidget* parent) : QWidget(parent) {
    tracker_ = new TFrameTracker(*this);
    tracker_->Frame();
}

QMdiSubWindow* TChildWindow::Frame() const {
    return tracker_->Frame();
}

QRect TChildWindow::FrameGeometry() const {
    if (QMdiSubWindow* frame = Frame())
        return tracker_->NotNormal() ? tracker_->Normal() : frame->geometry();
    return geometry();
}

void TChildWindow::SetFrameGeometry(const QRect& rect) {
    if (QMdiSubWindow* frame = Frame()) {
        if (tracker_->NotNormal())
            tracker_->SetNormal(rect);
        else
            frame->setGeometry(rect);
    } else {
        setGeometry(rect);
    }
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
    // The frame shows the caption; the window keeps it too, for a frame made later.
    setWindowTitle(value);
    if (QMdiSubWindow* frame = Frame())
        frame->setWindowTitle(value);
}
