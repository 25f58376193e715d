#include "grids/IdNameList.h"
#include "grids/TComboBoxIndexed.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QListView>
#include <QPainter>
#include <QProxyStyle>

namespace {

// Drops the list below the box. The style's other way, the list laid over the box,
// first measures every item's text for its width: 100,000 names on each opening.
class DropBelowStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* answer) const override {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, answer);
    }
};

} // namespace

TIdNameListModel::TIdNameListModel(QObject* parent) : QAbstractListModel(parent) {}

void TIdNameListModel::Reset(std::vector<TIdNameItem> items) {
    beginResetModel();
    items_ = std::move(items);
    rowOfId_.clear();
    rowOfId_.reserve(qsizetype(items_.size()));
    for (int row = int(items_.size()) - 1; row >= 0; --row) // the first row wins
        rowOfId_.insert(items_[size_t(row)].Id, row);
    endResetModel();
}

int TIdNameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(items_.size());
}

QVariant TIdNameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(items_.size()))
        return {};
    const TIdNameItem& item = items_[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return item.Name;
    if (role == IdRole)
        return item.Id;
    return {};
}

int TIdNameListModel::IndexOfId(qint32 id) const {
    return rowOfId_.value(id, -1);
}

int TIdNameListModel::IndexOfName(const QString& text) const {
    for (int row = 0; row < int(items_.size()); ++row)
        if (items_[size_t(row)].Name.compare(text, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

void TIdNameDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString name = opt.text;
    opt.text.clear();
    QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget); // background
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QRect r = opt.rect.adjusted(2, 0, -2, 0);
    const int idWidth = opt.fontMetrics.horizontalAdvance(QStringLiteral("00000"));
    const QRect idBox(r.left(), r.top(), idWidth, r.height());
    painter->drawText(idBox, Qt::AlignRight | Qt::AlignVCenter,
                      QString::number(index.data(TIdNameListModel::IdRole).toInt()));
    const QRect nameBox(idBox.right() + 1 + 10, r.top(), r.right() - idBox.right() - 10,
                        r.height());
    painter->drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter,
                      opt.fontMetrics.elidedText(name, Qt::ElideRight, nameBox.width()));
    painter->restore();
}

QSize TIdNameDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const QFontMetrics& fm = option.fontMetrics;
    return {fm.horizontalAdvance(QStringLiteral("00000")) + 10 + 30 * fm.averageCharWidth(),
            fm.height() + 2};
}

void UseIdNameList(TComboBoxIndexed& box, TIdNameListModel& model) {
    box.SetStyle(TComboBoxIndexed::csOwnerDrawFixed);
    // Measuring 100,000 names for the box's width would cost more than the list.
    box.setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box.setMinimumContentsLength(20);
    auto* view = new QListView(&box);
    view->setUniformItemSizes(true);
    box.setView(view);
    view->installEventFilter(&box); // the typed search watches the list's own view
    box.setModel(&model);
    box.setItemDelegate(new TIdNameDelegate(&box));
    box.setMaxVisibleItems(20);
    auto* style = new DropBelowStyle;
    style->setParent(&box);
    box.setStyle(style);
    box.OnSearchNumericEx = [&model](TComboBoxIndexed*, int number, int& foundIndex, bool& found) {
        const int row = model.IndexOfId(number);
        found = row >= 0;
        if (found)
            foundIndex = row;
    };
}

bool ChosenId(const TComboBoxIndexed& box, qint32& id) {
    const int row = box.currentIndex();
    if (row < 0)
        return false;
    const QVariant v = box.itemData(row, TIdNameListModel::IdRole);
    if (!v.isValid())
        return false;
    id = v.toInt();
    return true;
}
