#include "commissions/TaxAccountBox.h"

#include "commissions/TaxObjects.h"
#include "grids/TComboBoxIndexed.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace {

class AccountEntryDelegate : public QStyledItemDelegate {
public:
    explicit AccountEntryDelegate(QComboBox* box) : QStyledItemDelegate(box), box_(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString name = opt.text;
        opt.text.clear();
        QStyle* style = opt.widget ? opt.widget->style() : box_->style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        const TBaseSimpleObject* account = ComboObject(*box_, index.row());
        const int idWidth = opt.fontMetrics.horizontalAdvance(QStringLiteral("00000"));
        QRect rect = opt.rect.adjusted(2, 0, 0, 0);
        painter->save();
        painter->setPen(opt.palette.color(
            opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(QRect(rect.left(), rect.top(), idWidth, rect.height()),
                          Qt::AlignRight | Qt::AlignVCenter,
                          account ? QString::number(account->Id) : QString());
        rect.setLeft(rect.left() + idWidth + 10);
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, name);
        painter->restore();
    }

private:
    QComboBox* box_;
};

} // namespace

TComboBoxIndexed* MakeTaxAccountBox(QWidget* parent, const QString& objectName) {
    auto* box = new TComboBoxIndexed(parent);
    box->setObjectName(objectName);
    box->SetStyle(TComboBoxIndexed::csOwnerDrawFixed);
    box->setItemDelegate(new AccountEntryDelegate(box));
    box->OnSearchNumeric = [box](int number, int& foundIndex, bool& found) {
        foundIndex = IndexOfObjectId(*box, number);
        found = foundIndex >= 0;
    };
    return box;
}

void AddTaxAccount(TComboBoxIndexed& box, const TTaxAccount* account) {
    AddComboObject(box, TReferenceData::Current().AccountDisplayName(account->Id, account->Name),
                   account);
}
