// Full loads and keyed merges of the orders grid, the row fix-up and a broken status.
#include "OrderTestSupport.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "session/wire/Cp1251.h"
#include "shell/base/Beep.h"
#include "shell/base/Log.h"

#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ordertest;

namespace {

class OrderGridFill : public ::testing::Test {
protected:
    void SetUp() override {
        FillStatuses(refs);
        TReferenceData::SetCurrent(&refs);
        form = std::make_unique<TOrderForm>();
        ses = &hub.Get(QStringLiteral("SesOrd"));
        form->setProperty("RestoredComplete", 0);
    }
    void TearDown() override {
        form.reset();
        TReferenceData::SetCurrent(nullptr);
    }
    TAdvColumnGrid& Grid() { return form->GridOrd(); }
    int DataRows() { return Grid().RowCount() - Grid().FixedRows(); }
    QString At(int tag, int dataRow) {
        return gridcols::TextByTag(Grid(), tag, Grid().FixedRows() + dataRow);
    }
    QStringList Keys() {
        QStringList keys;
        for (int r = 0; r < DataRows(); ++r)
            keys.append(At(TOrderForm::kKeyField, r));
        return keys;
    }
    void Load(std::initializer_list<OrderRow> rows) {
        form->RefreshList();
        ses->FeedData(Echo(*ses, Orders(rows)));
    }
    void Merge(const QStringList& keys, std::initializer_list<OrderRow> rows) {
        form->RefreshByKeys(keys);
        ses->FeedData(Echo(*ses, Orders(rows)));
    }

    ScriptedSessionHub hub;
    TReferenceData refs;
    std::unique_ptr<TOrderForm> form;
    ScriptedSession* ses = nullptr;
};

} // namespace

TEST_F(OrderGridFill, FullLoadFillsEveryColumnAndDecoratesRows) {
    Load({{"101", "K1", "10", "B", 5, 1, ""},
          {"102", "K2", "11", "S", 7, 2, "9"},
          {"103", "K3", "77", "S", 7, 2, ""}});
    ASSERT_EQ(DataRows(), 3);
    EXPECT_EQ(At(TOrderForm::kOrderNum, 0), QStringLiteral("101"));
    EXPECT_EQ(At(TOrderForm::kStatusName, 0), QStringLiteral("Активна"));
    EXPECT_EQ(At(TOrderForm::kStatusName, 1), QStringLiteral("Исполнена"));
    EXPECT_EQ(At(TOrderForm::kStatusName, 2), QStringLiteral("???"));
    EXPECT_EQ(At(TOrderForm::kIdAcc, 1), QStringLiteral("7"));
    EXPECT_EQ(At(TOrderForm::kKeyField, 2), QStringLiteral("K3"));
    EXPECT_EQ(At(TOrderForm::kNameAcc, 1), QStringLiteral("Счет 7"));
    EXPECT_EQ(At(TOrderForm::kGroup, 1), QStringLiteral("9"));
    EXPECT_EQ(At(TOrderForm::kTypeName, 0), QString()); // not in the answer
}

TEST_F(OrderGridFill, DisplayNamesCarryUserInformation) {
    auto type = std::make_unique<TUITypeObj>();
    type->Id = 1;
    type->TargetKind = 1;
    type->ValueKind = 1;
    refs.UserInfoTypes.Append(std::move(type));
    auto value = std::make_unique<TUserInfoObj>();
    value->OwnerId = 5;
    value->Name = QStringLiteral("VIP");
    refs.AddUserInfoValue(std::move(value), 1);
    Load({{"101", "K1", "10", "B", 5, 1, ""}, {"102", "K2", "10", "B", 7, 1, ""}});
    EXPECT_EQ(At(TOrderForm::kNameAcc, 0), QStringLiteral("Счет 5 (VIP)"));
    EXPECT_EQ(At(TOrderForm::kNameAcc, 1), QStringLiteral("Счет 7"));
}

TEST_F(OrderGridFill, EmptyAnswerLeavesOneBlankRowWhichTheNextMergeFills) {
    Load({{"101", "K1"}});
    Load({});
    ASSERT_EQ(DataRows(), 1);
    EXPECT_EQ(At(TOrderForm::kOrderNum, 0), QString());
    Merge({"K9"}, {{"109", "K9"}});
    ASSERT_EQ(DataRows(), 1);
    EXPECT_EQ(At(TOrderForm::kOrderNum, 0), QStringLiteral("109"));
}

TEST_F(OrderGridFill, AnswerWithoutMetadataLeavesOneBlankRow) {
    Load({{"101", "K1"}, {"102", "K2"}});
    form->RefreshList();
    ScriptedAnswer bare;
    bare.rows = {QStringLiteral("101") + QChar(0)};
    ses->FeedData(bare);
    ASSERT_EQ(DataRows(), 1);
    EXPECT_EQ(At(TOrderForm::kOrderNum, 0), QString());
}

TEST_F(OrderGridFill, MergeReplacesAppendsAndDeletes) {
    Load({{"101", "K1", "10"}, {"102", "K2", "10"}, {"103", "K3", "10"}});
    // K2 changes in place, K4 is new, K3 was asked for and not returned.
    Merge({"K2", "K3", "K4"}, {{"102", "K2", "11"}, {"104", "K4", "10"}});
    EXPECT_EQ(Keys(), (QStringList{"K1", "K2", "K4"}));
    EXPECT_EQ(At(TOrderForm::kStatusName, 1), QStringLiteral("Исполнена"));
    EXPECT_EQ(At(TOrderForm::kStatus, 1), QStringLiteral("11"));
}

TEST_F(OrderGridFill, MergeClearsTheLastRowInsteadOfDeletingIt) {
    Load({{"101", "K1"}, {"102", "K2"}});
    Merge({"K1", "K2"}, {});
    ASSERT_EQ(DataRows(), 1);
    EXPECT_EQ(Keys(), QStringList{QString()});
    EXPECT_EQ(At(TOrderForm::kOrderNum, 0), QString());
}

TEST_F(OrderGridFill, MergeDoesNotAppendBelowARealSingleRow) {
    Load({{"101", "K1"}});
    Merge({"K2"}, {{"102", "K2"}});
    EXPECT_EQ(Keys(), (QStringList{"K1", "K2"}));
}

TEST_F(OrderGridFill, MergeKeepsTheSortOrder) {
    Load({{"103", "K3"}, {"101", "K1"}, {"105", "K5"}});
    const int numCol = gridcols::RealByTag(Grid(), TOrderForm::kOrderNum);
    Grid().SortByColumn(numCol, false);
    EXPECT_EQ(Keys(), (QStringList{"K5", "K3", "K1"}));
    Merge({"K4", "K2"}, {{"104", "K4"}, {"102", "K2"}});
    EXPECT_EQ(Keys(), (QStringList{"K5", "K4", "K3", "K2", "K1"}));
    Merge({"K5"}, {{"100", "K5"}});
    EXPECT_EQ(Keys(), (QStringList{"K4", "K3", "K2", "K1", "K5"}));
}

TEST_F(OrderGridFill, FullLoadKeepsSortAndCurrentCell) {
    Load({{"103", "K3"}, {"101", "K1"}, {"102", "K2"}});
    Grid().SortByColumn(gridcols::RealByTag(Grid(), TOrderForm::kOrderNum), true);
    Grid().setCurrentIndex(Grid().model()->index(2, 3));
    Load({{"105", "K5"}, {"104", "K4"}, {"100", "K0"}, {"106", "K6"}});
    EXPECT_EQ(Keys(), (QStringList{"K0", "K4", "K5", "K6"}));
    EXPECT_EQ(Grid().currentIndex().row(), 2);
    EXPECT_EQ(Grid().currentIndex().column(), 3);
}

TEST_F(OrderGridFill, FirstLoadAddsTheSecurityInfoItemOnce) {
    const auto count = [this] {
        int n = 0;
        for (QAction* a : form->PopupMenu()->actions())
            n += a->text() == QStringLiteral("Информация по бумаге...");
        return n;
    };
    EXPECT_EQ(count(), 0);
    Load({{"101", "K1"}});
    Load({{"101", "K1"}});
    EXPECT_EQ(count(), 1);
    int opened = 0;
    SetSecurityInfoOpener([&](int id) { opened = id; });
    Grid().setCurrentIndex(Grid().model()->index(0, 1));
    for (QAction* a : form->PopupMenu()->actions())
        if (a->text() == QStringLiteral("Информация по бумаге..."))
            a->trigger();
    SetSecurityInfoOpener(nullptr);
    EXPECT_EQ(opened, 101);
}

TEST_F(OrderGridFill, BrokenStatusStopsAtItsRowWithABeepAndALogLine) {
    QTemporaryDir dir;
    SetLogFileName(dir.filePath("w.log"));
    int beeps = 0;
    SetBeepHandler([&] { ++beeps; });
    Load({{"101", "K1", "10"}, {"102", "K2", "1x"}, {"103", "K3", "10"}});
    SetBeepHandler(nullptr);
    SetLogFileName(QString());
    ASSERT_EQ(DataRows(), 3);
    EXPECT_EQ(At(TOrderForm::kStatusName, 0), QStringLiteral("Активна"));
    EXPECT_EQ(At(TOrderForm::kStatusName, 1), QString());
    EXPECT_EQ(At(TOrderForm::kOrderNum, 2), QString());
    EXPECT_EQ(beeps, 1);
    QFile log(dir.filePath("w.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = Cp1251::Decode(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Строка 2 ответа, заявка 102"))) << text.toStdString();
}

// Random merges into a grid sorted by a column with many equal texts must leave the
// rows exactly where one stable re-sort of the whole grid would put them.
TEST_F(OrderGridFill, MergedRowsLandWhereAStableSortPutsThem) {
    const char* statuses[] = {"10", "11", "20", "30"};
    const auto nameOf = [&](const QString& status) { return refs.OrderStatusName(status.toInt()); };
    std::vector<std::pair<QString, QString>> rows; // key, status
    AnswerBuilder b = OrderFields();
    for (int i = 0; i < 40; ++i) {
        const QString key = QStringLiteral("K%1").arg(i);
        const char* status = statuses[(i * 7) % 4];
        rows.emplace_back(key, QString::fromLatin1(status));
        AddOrder(b, {QString::number(100 + i).toLatin1().constData(), key.toLatin1().constData(),
                     status});
    }
    form->RefreshList();
    ses->FeedData(Echo(*ses, b.Build()));
    const int statusCol = gridcols::RealByTag(Grid(), TOrderForm::kStatusName);
    for (bool ascending : {true, false}) {
        Grid().SortByColumn(statusCol, ascending);
        unsigned seed = 12345;
        const auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) % 1000; };
        for (int round = 0; round < 30; ++round) {
            // What the grid holds now, in order.
            std::vector<std::pair<QString, QString>> before;
            for (int r = 0; r < DataRows(); ++r)
                before.emplace_back(At(TOrderForm::kKeyField, r), At(TOrderForm::kStatus, r));
            // Change three orders, add one, drop one.
            AnswerBuilder m = OrderFields();
            QStringList keys;
            std::vector<std::pair<QString, QString>> expected = before;
            for (int k = 0; k < 3; ++k) {
                const int idx = static_cast<int>(next() % expected.size());
                const QString status = QString::fromLatin1(statuses[next() % 4]);
                expected[static_cast<size_t>(idx)].second = status;
                keys.append(expected[static_cast<size_t>(idx)].first);
                AddOrder(m, {"1", expected[static_cast<size_t>(idx)].first.toLatin1().constData(),
                             status.toLatin1().constData()});
            }
            const QString added = QStringLiteral("N%1%2").arg(ascending ? "a" : "d").arg(round);
            const QString addedStatus = QString::fromLatin1(statuses[next() % 4]);
            expected.emplace_back(added, addedStatus);
            keys.append(added);
            AddOrder(m, {"2", added.toLatin1().constData(), addedStatus.toLatin1().constData()});
            const size_t dropAt = next() % expected.size();
            const QString dropped = expected[dropAt].first;
            if (!keys.contains(dropped)) {
                keys.append(dropped);
                expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(dropAt));
            }
            std::stable_sort(expected.begin(), expected.end(), [&](const auto& x, const auto& y) {
                return ascending ? nameOf(x.second) < nameOf(y.second)
                                 : nameOf(y.second) < nameOf(x.second);
            });
            form->RefreshByKeys(keys);
            ses->FeedData(Echo(*ses, m.Build()));
            QStringList want;
            for (const auto& e : expected)
                want.append(e.first);
            ASSERT_EQ(Keys(), want) << "round " << round << (ascending ? " up" : " down");
        }
    }
}

TEST_F(OrderGridFill, MergeFindsRowsMovedOrRemovedBehindItsBack) {
    Load({{"101", "K1"}, {"102", "K2"}, {"103", "K3"}, {"104", "K4"}});
    Grid().RemoveRow(Grid().FixedRows()); // K1 goes without the fills knowing
    Merge({"K3"}, {{"103", "K3", "11"}});
    EXPECT_EQ(Keys(), (QStringList{"K2", "K3", "K4"}));
    EXPECT_EQ(At(TOrderForm::kStatusName, 1), QStringLiteral("Исполнена"));
    // The user sorts by another column; the next merge still finds its rows.
    Grid().SortByColumn(gridcols::RealByTag(Grid(), TOrderForm::kOrderNum), false);
    Merge({"K2", "K4"}, {{"102", "K2", "20"}});
    EXPECT_EQ(Keys(), (QStringList{"K3", "K2"}));
    EXPECT_EQ(At(TOrderForm::kStatusName, 1), QStringLiteral("Снята"));
}

// The dealer's place through merges: the current cell stays on its order, the selected
// orders stay selected and the order at the top of the view stays at the top, in both
// sort directions, whether the merge replaces, appends, deletes or moves rows.
TEST_F(OrderGridFill, MergesKeepTheCurrentOrderSelectionAndTopRow) {
    struct Case {
        const char* name;
        QStringList asked;
        std::vector<OrderRow> returned;
        QString current;    // key of the current order afterwards
        QStringList marked; // keys of the selected orders afterwards
    };
    const QStringList block{"K30", "K31", "K32"};
    const std::vector<Case> cases = {
        {"replace", {"K31"}, {{"131", "K31", "11"}}, "K31", block},
        {"append", {"K99"}, {{"199", "K99"}}, "K31", block},
        {"delete above", {"K05"}, {}, "K31", block},
        {"move the current order", {"K31"}, {{"099", "K31"}}, "K31", block},
        {"delete the current order", {"K31"}, {}, "", {"K30", "K32"}},
    };
    form->resize(700, 300);
    form->show();
    const int numCol = gridcols::RealByTag(Grid(), TOrderForm::kOrderNum);
    const auto rowOf = [&](const QString& key) { return static_cast<int>(Keys().indexOf(key)); };
    const auto keyAt = [&](int dataRow) { return At(TOrderForm::kKeyField, dataRow); };
    for (const bool ascending : {true, false}) {
        for (const Case& c : cases) {
            AnswerBuilder b = OrderFields();
            for (int i = 0; i < 60; ++i)
                AddOrder(b,
                         {QString::number(100 + i).toLatin1().constData(),
                          QStringLiteral("K%1").arg(i, 2, 10, QChar('0')).toLatin1().constData()});
            form->RefreshList();
            ses->FeedData(Echo(*ses, b.Build()));
            Grid().SortByColumn(numCol, ascending);
            Grid().SetTopRow(Grid().FixedRows() + rowOf("K20"));
            const int top = std::min(rowOf("K30"), rowOf("K32"));
            Grid().SetSelection({2, Grid().FixedRows() + top, 4, Grid().FixedRows() + top + 2});
            Grid().selectionModel()->setCurrentIndex(Grid().model()->index(rowOf("K31"), 3),
                                                     QItemSelectionModel::NoUpdate);
            const int currentRowBefore = Grid().currentIndex().row();
            const QString topBefore = keyAt(Grid().TopRow() - Grid().FixedRows());

            form->RefreshByKeys(c.asked);
            AnswerBuilder m = OrderFields();
            for (const OrderRow& r : c.returned)
                AddOrder(m, r);
            ses->FeedData(Echo(*ses, m.Build()));

            const std::string what = std::string(c.name) + (ascending ? " up" : " down");
            const QModelIndex current = Grid().currentIndex();
            ASSERT_TRUE(current.isValid()) << what;
            EXPECT_EQ(current.column(), 3) << what;
            if (c.current.isEmpty()) // the row that took its place
                EXPECT_EQ(current.row(), std::min(currentRowBefore, DataRows() - 1)) << what;
            else
                EXPECT_EQ(keyAt(current.row()), c.current) << what;
            QStringList marked;
            for (const QModelIndex& index : Grid().selectionModel()->selectedIndexes())
                if (!marked.contains(keyAt(index.row())))
                    marked.append(keyAt(index.row()));
            marked.sort();
            EXPECT_EQ(marked, c.marked) << what;
            EXPECT_EQ(keyAt(Grid().TopRow() - Grid().FixedRows()), topBefore) << what;
        }
    }
}

// A full load of the same orders puts the current cell, the selection and the top row
// back where they were.
TEST_F(OrderGridFill, FullLoadKeepsThePlaceByPosition) {
    form->resize(700, 300);
    form->show();
    for (const bool ascending : {true, false}) {
        AnswerBuilder b = OrderFields();
        for (int i = 0; i < 60; ++i)
            AddOrder(b, {QString::number(100 + i).toLatin1().constData(),
                         QStringLiteral("K%1").arg(i).toLatin1().constData()});
        form->RefreshList();
        ses->FeedData(Echo(*ses, b.Build()));
        Grid().SortByColumn(gridcols::RealByTag(Grid(), TOrderForm::kOrderNum), ascending);
        const int first = Grid().FixedRows();
        Grid().SetTopRow(first + 25);
        Grid().SetSelection({2, first + 30, 4, first + 33});
        Grid().selectionModel()->setCurrentIndex(Grid().model()->index(31, 3),
                                                 QItemSelectionModel::NoUpdate);
        form->RefreshList();
        ses->FeedData(Echo(*ses, b.Build()));
        EXPECT_EQ(Grid().TopRow(), first + 25);
        EXPECT_EQ(Grid().currentIndex(), Grid().model()->index(31, 3));
        const TGridRect rect = Grid().Selection();
        EXPECT_EQ(rect.Top, first + 30);
        EXPECT_EQ(rect.Bottom, first + 33);
        EXPECT_EQ(rect.Left, 2);
        EXPECT_EQ(rect.Right, 4);
    }
}

// A grid out of order (a row dragged by the user) is merged into by a full stable
// re-sort; a grid in order by placing the merged rows; both end as the re-sort would.
TEST_F(OrderGridFill, MergeIntoAGridOutOfOrderSortsItAgain) {
    for (const bool dragged : {false, true}) {
        Load({{"101", "K1"}, {"102", "K2"}, {"103", "K3"}, {"104", "K4"}});
        Grid().SortByColumn(gridcols::RealByTag(Grid(), TOrderForm::kOrderNum), true);
        if (dragged)
            Grid().MoveRow(Grid().FixedRows(), Grid().FixedRows() + 3); // K1 to the bottom
        Merge({"K5"}, {{"100", "K5"}});
        EXPECT_EQ(Keys(), (QStringList{"K5", "K1", "K2", "K3", "K4"})) << dragged;
    }
}

// A full load keeps the current cell on its order when the answer still holds it,
// wherever the order now stands; an order gone leaves the current cell at its row.
TEST_F(OrderGridFill, FullLoadKeepsTheCurrentOrder) {
    const struct {
        const char* name;
        std::vector<OrderRow> rows;
        int currentRow; // data row of the current cell afterwards
    } cases[] = {
        {"new order above", {{"100", "K0"}, {"101", "K1"}, {"102", "K2"}, {"103", "K3"}}, 2},
        {"current order gone", {{"101", "K1"}, {"103", "K3"}, {"104", "K4"}}, 1},
    };
    for (const auto& c : cases) {
        Load({{"101", "K1"}, {"102", "K2"}, {"103", "K3"}});
        Grid().SortByColumn(gridcols::RealByTag(Grid(), TOrderForm::kOrderNum), true);
        Grid().setCurrentIndex(Grid().model()->index(1, 3)); // K2
        form->RefreshList();
        AnswerBuilder b = OrderFields();
        for (const OrderRow& r : c.rows)
            AddOrder(b, r);
        ses->FeedData(Echo(*ses, b.Build()));
        EXPECT_EQ(Grid().currentIndex(), Grid().model()->index(c.currentRow, 3)) << c.name;
        EXPECT_TRUE(Grid().selectionModel()->isSelected(Grid().currentIndex())) << c.name;
    }
}

TEST(RowFields, HookSeesAndReplacesCellsAsTheGridStoresThem) {
    TRowFields row;
    for (const char* cell : {"Ёлка", "", "42"}) {
        row.Bytes() += cell;
        row.EndCell();
    }
    row.SetText(2, QStringLiteral("первый"));
    row.SetText(2, QStringLiteral("второй")); // the last text set counts
    row.SetText(0, QStringLiteral("ель"));
    row.SetText(3, QStringLiteral("вне строки")); // outside the row: ignored
    row.SetText(-1, QStringLiteral("вне строки"));
    EXPECT_EQ(row.Count(), 3);
    EXPECT_EQ(row.Text(2), QStringLiteral("второй"));
    EXPECT_EQ(row.Text(1), QString());
    EXPECT_EQ(row.Text(3), QString());
    const std::vector<QByteArrayView>& views = row.Views();
    ASSERT_EQ(views.size(), 3u);
    EXPECT_EQ(views[0], QByteArrayView("ель"));
    EXPECT_EQ(views[1], QByteArrayView(""));
    EXPECT_EQ(views[2], QByteArrayView("второй"));
    row.Clear();
    EXPECT_EQ(row.Count(), 0);
}
