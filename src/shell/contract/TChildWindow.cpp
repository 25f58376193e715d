#include "shell/contract/TChildWindow.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

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
        return watched_ &&
               (frameWidget_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized));
    }
    QRect Normal() const { return normal_; }
    void SetNormal(const QRect& rect) {
        normal_ = rect;
        pending_ = true;
    }

    // The frame the window sits in now; watched from the first call on.
    QMdiSubWindow* Frame() {
        auto* frame = qobject_cast<QMdiSubWindow*>(window_.parentWidget());
        if (frame != Watched()) {
            if (watched_)
                watched_->removeEventFilter(this);
            frame_ = frame;
            frameWidget_ = frame;
            watched_ = frame;
            pending_ = false;
            if (frame) {
                normal_ = frame->geometry();
                frame->installEventFilter(this);
                // The frame restores its own geometry as it leaves the state; a
                // place written meanwhile is applied once that is done.
                connect(frame, &QMdiSubWindow::windowStateChanged, this,
                        [this] { QTimer::singleShot(0, this, [this] { ApplyPending(); }); });
            }
        }
        return frame;
    }

    void ApplyPending() {
        if (watched_ && pending_ && !NotNormal()) {
            pending_ = false;
            frameWidget_->setGeometry(normal_);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == &window_ && e->type() == QEvent::ParentChange)
            Frame();
        else if (watched_ && watched == watched_.data() &&
                 (e->type() == QEvent::Move || e->type() == QEvent::Resize) && !NotNormal()) {
            if (!pending_)
                normal_ = frameWidget_->geometry();
        }
        return false;
    }

private:
    // The frame, valid while watched_ is set. The guard is kept as a plain object so
    // that events of a frame being destroyed are never taken for a live frame's.
    QMdiSubWindow* Watched() const { return watched_ ? frame_ : nullptr; }

    TChildWindow& window_;
    QMdiSubWindow* frame_ = nullptr;
    QWidget* frameWidget_ = nullptr; // the same frame, for its geometry and state
    QPointer<QObject> watched_;
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
