#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <QStyledItemDelegate>

#include <vector>

class TComboBoxIndexed;

// One entry of an id-and-name list: copies, never pointers into the reference data,
// so a reload that frees the reference objects leaves the list sound.
struct TIdNameItem {
    qint32 Id = 0;
    QString Name;
};

// The items of the owner-drawn drop-down lists: 100,000 securities without an item
// object per row. Display text is the name; TIdNameListModel::IdRole the id.
class TIdNameListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit TIdNameListModel(QObject* parent = nullptr);

    void Reset(std::vector<TIdNameItem> items);
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    int Count() const { return int(items_.size()); }
    const TIdNameItem& At(int row) const { return items_[size_t(row)]; }
    // The first row with this id, -1 when none has it.
    int IndexOfId(qint32 id) const;
    // The first row whose name equals text, ignoring case; -1 when none does.
    int IndexOfName(const QString& text) const;

private:
    std::vector<TIdNameItem> items_;
    QHash<qint32, int> rowOfId_;
};

// Draws an item as its id right-aligned in a box as wide as "00000", then, 10 pixels
// further, the name. Every row has one height, so the view lays out no row by row.
class TIdNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Puts a drop-down list on the model in owner-drawn style: the delegate, uniform rows,
// no measuring of every item, and the numeric search by id.
void UseIdNameList(TComboBoxIndexed& box, TIdNameListModel& model);
// The id of the list's chosen item; false when nothing is chosen.
bool ChosenId(const TComboBoxIndexed& box, qint32& id);
