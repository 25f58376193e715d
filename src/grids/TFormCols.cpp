#include "TFormCols.h"

#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>

namespace {

// Arrow images of our own: a bar marks "to the end" moves.
QIcon ArrowIcon(bool up, bool bar) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    if (up) {
        path.moveTo(3, 11);
        path.lineTo(13, 11);
        path.lineTo(8, 5);
    } else {
        path.moveTo(3, 5);
        path.lineTo(13, 5);
        path.lineTo(8, 11);
    }
    path.closeSubpath();
    painter.fillPath(path, QColor(0, 0, 128));
    if (bar)
        painter.fillRect(QRect(3, up ? 2 : 13, 10, 2), QColor(0, 0, 128));
    return QIcon(pixmap);
}

QToolButton* MakeButton(QWidget* parent, const QString& hint, bool up, bool bar) {
    auto* button = new QToolButton(parent);
    button->setToolTip(hint);
    button->setIcon(ArrowIcon(up, bar));
    button->resize(25, 25);
    return button;
}

} // namespace

TFormCols::TFormCols(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Упорядочить колонки"));
    box_ = new QListWidget(this);
    box_->setToolTip(QStringLiteral("Показать\\Скрыть колонки"));
    first_ = MakeButton(this, QStringLiteral("Сделать первой"), true, true);
    up_ = MakeButton(this, QStringLiteral("Поменять местами с верхней"), true, false);
    down_ = MakeButton(this, QStringLiteral("Поменять местами с нижней"), false, false);
    last_ = MakeButton(this, QStringLiteral("Сделать последней"), false, true);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Отмена"), this);
    ok_->setDefault(true);
    ok_->resize(75, 25);
    cancel_->resize(75, 25);
    connect(first_, &QToolButton::clicked, this, &TFormCols::MoveFirst);
    connect(up_, &QToolButton::clicked, this, &TFormCols::MoveUp);
    connect(down_, &QToolButton::clicked, this, &TFormCols::MoveDown);
    connect(last_, &QToolButton::clicked, this, &TFormCols::MoveLast);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumSize(240, 290);
    resize(240, 290);
    LayOut();
}

void TFormCols::Clear() {
    box_->clear();
}

void TFormCols::AddEntry(const QString& caption, int value, bool checked) {
    auto* item = new QListWidgetItem(caption, box_);
    item->setData(Qt::UserRole, value);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

int TFormCols::Count() const {
    return box_->count();
}

TColsEntry TFormCols::Entry(int index) const {
    TColsEntry entry;
    if (const QListWidgetItem* item = box_->item(index)) {
        entry.Caption = item->text();
        entry.Value = item->data(Qt::UserRole).toInt();
        entry.Checked = item->checkState() == Qt::Checked;
    }
    return entry;
}

bool TFormCols::Execute() {
    return exec() == QDialog::Accepted;
}

void TFormCols::MoveSelected(int to) {
    const int from = box_->currentRow();
    if (from < 0 || to < 0 || to >= box_->count() || to == from)
        return;
    QListWidgetItem* item = box_->takeItem(from);
    box_->insertItem(to, item);
    box_->setCurrentItem(item);
}

void TFormCols::MoveFirst() {
    MoveSelected(0);
}
void TFormCols::MoveUp() {
    MoveSelected(box_->currentRow() - 1);
}
void TFormCols::MoveDown() {
    if (box_->currentRow() >= 0)
        MoveSelected(box_->currentRow() + 1);
}
void TFormCols::MoveLast() {
    MoveSelected(box_->count() - 1);
}

void TFormCols::LayOut() {
    const int right = width() - 5;
    const int bottom = height() - 5;
    int top = 8;
    for (QToolButton* button : {first_, up_, down_, last_}) {
        button->move(right - button->width(), top);
        top += button->height() + 6;
    }
    cancel_->move(right - cancel_->width(), bottom - cancel_->height());
    ok_->move(cancel_->x() - ok_->width() - 8, bottom - ok_->height());
    box_->setGeometry(8, 8, std::max(10, first_->x() - 5 - 8), std::max(10, cancel_->y() - 5 - 8));
}

void TFormCols::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOut();
}

void TFormCols::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    LayOut();
}
