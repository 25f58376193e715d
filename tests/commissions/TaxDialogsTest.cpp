// The area, scale line and plan dialogs, driven directly against lists such as
// the manager holds.
#include "TaxTestSupport.h"

#include "commissions/TFormTaxAddArea.h"
#include "commissions/TFormTaxAddPlan2Client.h"
#include "commissions/TFormTaxAddScalaLine.h"
#include "commissions/TFormTaxAddTarif2Plan.h"
#include "grids/NodeOps.h"
#include "grids/TComboBoxIndexed.h"
#include "grids/TtsvTreeView.h"
#include "shell/base/Services.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QTreeWidgetItemIterator>

#include <gtest/gtest.h>

using namespace taxtest;

namespace {

class RecordingBoxes : public IMessageBoxService {
public:
    int Show(QWidget*, const QString& text, const QString&, MsgKind kind, int buttons,
             bool) override {
        texts << text;
        kinds.push_back(kind);
        buttonSets.push_back(buttons);
        return MsgCancel;
    }
    QStringList texts;
    std::vector<MsgKind> kinds;
    std::vector<int> buttonSets;
};

class TaxDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        FillRefs(refs);
        auto extra = std::make_unique<TBumObj>(); // last node of the tree, lower case
        extra->Id = 8;
        extra->Name = U("газовый");
        extra->BoardCode = QStringLiteral("FUT");
        refs.Securities.Append(std::move(extra));
        TReferenceData::SetCurrent(&refs);
        Services::SetMessageBox(boxes);
    }
    void TearDown() override {
        Services::SetMessageBox(nullptr);
        TReferenceData::SetCurrent(nullptr);
    }
    void FillLists() {
        for (auto [id, name] : {std::pair{7, "Оборот"}, std::pair{3, "Абонентская"}}) {
            auto t = std::make_unique<TTaxTarif>();
            t->Id = id;
            t->Name = U(name);
            lists.Tarifs.Append(std::move(t));
        }
        for (auto [id, name] : {std::pair{1, "Стандарт"}, std::pair{2, "Активный"}}) {
            auto p = std::make_unique<TTaxTarifPlan>();
            p->Id = id;
            p->Name = U(name);
            lists.Plans.Append(std::move(p));
        }
        for (auto [id, owner] : {std::pair{101, 1}, std::pair{102, 1}, std::pair{201, 2}}) {
            auto a = std::make_unique<TTaxAccount>();
            a->Id = id;
            a->OwnerClientId = owner;
            a->Name = QStringLiteral("A%1").arg(id);
            lists.ClientAccounts.Append(std::move(a));
        }
    }
    static QStringList Entries(const QComboBox& box) {
        QStringList texts;
        for (int i = 0; i < box.count(); ++i)
            texts << box.itemText(i);
        return texts;
    }

    TReferenceData refs;
    TTaxLists lists;
    std::shared_ptr<RecordingBoxes> boxes = std::make_shared<RecordingBoxes>();
};

QTreeWidgetItem* NodeOf(TtsvTreeView& tree, int kind, int id) {
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        if (NodeTag(*it) == kind && NodeObject(*it)->Id == id)
            return *it;
    return nullptr;
}

int CheckedCount(TtsvTreeView& tree) {
    int n = 0;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it)
        n += TtsvTreeView::NodeState(*it) == TtsvTreeView::Checked ? 1 : 0;
    return n;
}

} // namespace

TEST_F(TaxDialogs, AreaTreeHoldsEverySecurityUnderItsBoard) {
    TFormTaxAddArea dialog;
    dialog.FillTree(refs);
    QStringList texts;
    for (QTreeWidgetItemIterator it(dialog.vtBoards()); *it; ++it) {
        int depth = 0;
        for (QTreeWidgetItem* p = (*it)->parent(); p; p = p->parent())
            ++depth;
        texts << QString(depth, QLatin1Char('.')) + (*it)->text(0);
    }
    EXPECT_EQ(texts, QStringList({U("Все площадки"), U(".ФБ"), U("..Акции"), U("...0007  Газ"),
                                  U("...0012  Нефть"), U(".СР"), U("..Фьючерсы"), U("...0030  Si"),
                                  U("...0008  газовый")}));
    dialog.ClearTree(); // the reference data may now go
    EXPECT_EQ(dialog.vtBoards()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog.BuildAreaItem(), nullptr);
}

TEST_F(TaxDialogs, AreaChoiceBuildsTheItem) {
    TFormTaxAddArea dialog;
    dialog.FillTree(refs);
    dialog.PrepareShow(); // nothing chosen yet: the root
    TtsvTreeView& tree = *dialog.vtBoards();
    struct Case {
        int kind, id;
        int typeIndex; // the entry chosen before building; -1 leaves it
        std::array<qint32, 4> codes;
        const char* description;
        bool typesEnabled;
    } cases[] = {
        {0, 0, -1, {-1, -1, -1, -1}, "Все площадки - Все типы бумаг", true},
        {TFormTaxAddArea::kBoard, 10, 4, {1, 10, 2, -1}, "ФБ - Акции - Облигации", true},
        {TFormTaxAddArea::kSecurity, 30, -1, {2, -1, -1, 30}, "СР - Si", false},
        {TFormTaxAddArea::kTradingSystem, 1, 3, {1, -1, 3, -1}, "ФБ - Паи", true},
    };
    for (const Case& c : cases) {
        if (c.kind)
            dialog.Choose(NodeOf(tree, c.kind, c.id));
        if (c.typeIndex >= 0)
            dialog.cbBumType()->setCurrentIndex(c.typeIndex);
        EXPECT_EQ(dialog.cbBumType()->isEnabled(), c.typesEnabled) << c.description;
        EXPECT_EQ(CheckedCount(tree), 1) << c.description;
        const auto item = dialog.BuildAreaItem();
        ASSERT_NE(item, nullptr);
        const std::array<qint32, 4> codes{item->TsId, item->BoardId, item->BumTypeId, item->BumId};
        EXPECT_EQ(codes, c.codes) << c.description;
        EXPECT_EQ(item->Name, U(c.description));
    }
}

TEST_F(TaxDialogs, AreaSearchFindsSecuritiesByNumberOrNameStart) {
    TFormTaxAddArea dialog;
    dialog.FillTree(refs);
    TtsvTreeView& tree = *dialog.vtBoards();
    auto focused = [&] { return tree.currentItem() ? tree.currentItem()->text(0) : QString(); };
    for (const char* typed : {"1", "2"})
        dialog.TypeText(QString::fromUtf8(typed));
    dialog.FinishTyping();
    EXPECT_EQ(focused(), U("0012  Нефть"));
    dialog.TypeText(U("ГАЗ"));
    dialog.FinishTyping();
    EXPECT_EQ(dialog.LastSearch(), U("ГАЗ")); // kept as typed, compared case-blind
    EXPECT_EQ(focused(), U("0007  Газ"));
    dialog.SearchNext();
    EXPECT_EQ(focused(), U("0008  газовый"));
    dialog.SearchNext(); // after the last node: from the first
    EXPECT_EQ(focused(), U("0007  Газ"));
    EXPECT_FALSE(dialog.Search(U("Медь"), nullptr));
    EXPECT_FALSE(dialog.Search(QString(), nullptr));
}

TEST_F(TaxDialogs, ScaleLineModesAndTheExclusiveAmounts) {
    TFormTaxAddScalaLine dialog;
    dialog.SetMode(TFormTaxAddScalaLine::kCount);
    EXPECT_EQ(dialog.LevelLabel(), U("Число контрактов, шт."));
    EXPECT_EQ(dialog.PercentLabel(), U("Сумма за контракт, руб."));
    dialog.cePercent()->setValue(250); // no upper limit per contract
    EXPECT_EQ(dialog.Percent(), 250);
    dialog.SetMode(TFormTaxAddScalaLine::kTurnover);
    EXPECT_EQ(dialog.LevelLabel(), U("Минимальный оборот, руб."));
    EXPECT_EQ(dialog.SumLabel(), U("Сумма комиссии, руб."));
    EXPECT_EQ(dialog.PercentLabel(), U("Процент от оборота"));
    EXPECT_EQ(dialog.cePercent()->decimals(), 8);
    EXPECT_EQ(dialog.Percent(), 100); // limited to 100 %

    dialog.SetValues(1000, 50, 0.5); // the program's values stay both
    EXPECT_EQ(dialog.Sum(), 50);
    EXPECT_EQ(dialog.Percent(), 0.5);
    dialog.ceSum()->setValue(20); // the person's edit zeroes the other
    EXPECT_EQ(dialog.Percent(), 0);
    dialog.cePercent()->setValue(0.1);
    EXPECT_EQ(dialog.Sum(), 0);
    EXPECT_EQ(dialog.Level(), 1000);

    dialog.ceLevel()->setValue(-1);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(boxes->texts.size(), 1);
    EXPECT_EQ(boxes->texts[0], U("ОШИБКА! Отрицательные значения не допустимы!"));
    EXPECT_EQ(boxes->kinds[0], MsgKind::Error);
    EXPECT_EQ(boxes->buttonSets[0], MsgCancel);
}

TEST_F(TaxDialogs, TariffChoiceListIsMadeAgainOnlyWhenMarked) {
    FillLists();
    TFormTaxAddTarif2Plan dialog;
    auto entries = [&] {
        QStringList texts;
        for (int i = 0; i < dialog.lbListTarif()->count(); ++i)
            texts << dialog.lbListTarif()->item(i)->text();
        return texts;
    };
    dialog.Refresh(lists);
    EXPECT_EQ(entries(), QStringList({U("7  Оборот"), U("3  Абонентская")}));
    EXPECT_EQ(dialog.SelectedTarif(), lists.Tarifs[0]);
    auto extra = std::make_unique<TTaxTarif>();
    extra->Id = 12;
    lists.Tarifs.Append(std::move(extra));
    dialog.Refresh(lists);
    EXPECT_EQ(entries().size(), 2);
    dialog.MarkOutOfDate();
    dialog.Refresh(lists);
    EXPECT_EQ(entries().size(), 3);
    dialog.EmptyList();
    EXPECT_TRUE(dialog.OutOfDate());
    dialog.Refresh(TTaxLists());
    EXPECT_EQ(dialog.SelectedTarif(), nullptr); // OK with no tariff gives Cancel
}

TEST_F(TaxDialogs, PlanAssignmentWorksOnACopyOfTheClient) {
    FillLists();
    TFormTaxAddPlan2Client dialog;
    TTaxClient client;
    client.Id = 1;
    client.Name = U("Альфа");
    dialog.Prepare(lists, client);
    EXPECT_EQ(Entries(*dialog.cbTarifPlan()), QStringList({U("Стандарт"), U("Активный")}));
    EXPECT_EQ(Entries(*dialog.cbAcc4Self()),
              QStringList({U("<Счет сделки>"), QStringLiteral("A101"), QStringLiteral("A102")}));
    EXPECT_EQ(Entries(*dialog.cbAcc4SubCli()),
              QStringList({QStringLiteral("A101"), QStringLiteral("A102")}));
    EXPECT_EQ(dialog.cbTarifPlan()->currentIndex(), -1);
    dialog.accept();
    EXPECT_EQ(boxes->texts, QStringList({U("Заполните все поля!")}));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    // A typed number selects the account with that id.
    int found = -1;
    bool ok = false;
    dialog.cbAcc4SubCli()->OnSearchNumeric(102, found, ok);
    EXPECT_TRUE(ok);
    dialog.cbTarifPlan()->setCurrentIndex(1);
    dialog.cbAcc4Self()->setCurrentIndex(0);
    dialog.cbAcc4SubCli()->setCurrentIndex(found);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const TTaxClient& result = dialog.TakeResult();
    EXPECT_EQ(result.PlanId, 2);
    EXPECT_EQ(result.Plan, lists.Plans[1]);
    EXPECT_EQ(result.SelfAccountId, 0);
    EXPECT_EQ(result.SelfAccountName, U("<Счет сделки>"));
    EXPECT_EQ(result.CliAccountId, 102);
    EXPECT_EQ(result.Name, U("Альфа"));
    EXPECT_EQ(client.PlanId, 0); // the client itself is untouched

    // A client with a plan and the deal's own account opens with them selected.
    client.PlanId = 1;
    client.SelfAccountId = 0;
    client.CliAccountId = 101;
    dialog.Prepare(lists, client);
    EXPECT_EQ(dialog.cbTarifPlan()->currentIndex(), 0);
    EXPECT_EQ(dialog.cbAcc4Self()->currentText(), U("<Счет сделки>"));
    EXPECT_EQ(dialog.cbAcc4SubCli()->currentText(), QStringLiteral("A101"));
}
