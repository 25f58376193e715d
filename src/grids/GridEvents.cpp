#include "GridEvents.h"

#include <QCoreApplication>
#include <QPointer>

namespace {
QPointer<QObject>& Receiver() {
    static QPointer<QObject> receiver;
    return receiver;
}
} // namespace

QString& GridSumText() {
    static QString text;
    return text;
}

void SetGridSumReceiver(QObject* receiver) {
    Receiver() = receiver;
}

QObject* GridSumReceiver() {
    return Receiver().data();
}

void PostGridSum(const QString& text) {
    GridSumText() = text;
    if (QObject* receiver = Receiver().data())
        QCoreApplication::postEvent(receiver, new QEvent(GridSumEventType()));
}
