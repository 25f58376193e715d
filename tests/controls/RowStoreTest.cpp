#include "controls/RowStore.h"

#include <gtest/gtest.h>

TEST(RowStore, KeepsTextsThroughOpenRowsAndPacking) {
    TRowStore store;
    store.SetSlotCount(3);
    store.SetRowCount(4);
    store.SetCell(0, 0, QStringLiteral("Иванов"));
    store.SetCell(2, 0, QStringLiteral("1 000,50"));
    store.SetCell(1, 1, QStringLiteral("x")); // packs row 0
    EXPECT_EQ(store.Cell(0, 0), QStringLiteral("Иванов"));
    EXPECT_EQ(store.Cell(1, 0), QString());
    EXPECT_EQ(store.Cell(2, 0), QStringLiteral("1 000,50"));
    EXPECT_EQ(store.Cell(1, 1), QStringLiteral("x")); // still open
    store.SetCell(2, 0, QString());                   // reopen and clear trailing cell
    EXPECT_EQ(store.Cell(2, 0), QString());
    EXPECT_EQ(store.Cell(1, 1), QStringLiteral("x"));
    // Texts outside the code page survive: storage is not 8-bit.
    store.SetCell(0, 3, QStringLiteral("€ ✓ 漢"));
    store.SetRowCount(4);
    EXPECT_EQ(store.Cell(0, 3), QStringLiteral("€ ✓ 漢"));
    store.SetCell(1, 3, QStringLiteral("a😀b"));
    store.SetCell(2, 3, QString(QChar(0xD800)) + QStringLiteral("z")); // lone surrogate
    store.SetRowCount(4);
    EXPECT_EQ(store.Cell(1, 3), QStringLiteral("a😀b"));
    EXPECT_EQ(store.Cell(2, 3), QString(QChar(0xFFFD)) + QStringLiteral("z"));
}

TEST(RowStore, Utf8RowsReadAsTheirTexts) {
    TRowStore store;
    store.SetSlotCount(3);
    store.SetRowCount(3);
    store.SetCell(0, 1, QStringLiteral("open")); // an open row replaced whole
    const QByteArrayView row1[] = {"Иванов", "", "1 000,50", "beyond the slots"};
    store.SetRowUtf8(1, row1, 4);
    const QByteArrayView row2[] = {"", "", ""}; // all empty: no block
    store.SetRowUtf8(2, row2, 3);
    store.SetRowUtf8(3, row1, 4); // beyond the rows: ignored
    EXPECT_EQ(store.Cell(0, 1), QStringLiteral("Иванов"));
    EXPECT_EQ(store.Cell(1, 1), QString());
    EXPECT_EQ(store.Cell(2, 1), QStringLiteral("1 000,50"));
    EXPECT_EQ(store.Cell(0, 2), QString());
    store.SetCell(1, 1, QStringLiteral("x")); // reopened and packed again
    store.SetRowCount(3);
    EXPECT_EQ(store.Cell(0, 1), QStringLiteral("Иванов"));
    EXPECT_EQ(store.Cell(1, 1), QStringLiteral("x"));
}

TEST(RowStore, OutOfRangeIsHarmless) {
    TRowStore store;
    store.SetSlotCount(2);
    store.SetRowCount(1);
    store.SetCell(5, 0, QStringLiteral("a"));
    store.SetCell(0, -1, QStringLiteral("a"));
    store.SetCell(0, 7, QStringLiteral("a"));
    EXPECT_EQ(store.Cell(5, 0), QString());
    EXPECT_EQ(store.Cell(0, 9), QString());
    store.RemoveRow(4);
    store.MoveRow(0, 3);
    EXPECT_EQ(store.RowCount(), 1);
    store.Permute({0, 0}); // wrong size: ignored
    EXPECT_EQ(store.RowCount(), 1);
}

TEST(RowStore, RowsMoveWholeAndSlotsGrowAndShrink) {
    TRowStore store;
    store.SetSlotCount(2);
    store.SetRowCount(3);
    for (int r = 0; r < 3; ++r)
        store.SetRow(r, {QStringLiteral("a%1").arg(r), QStringLiteral("b%1").arg(r)});
    store.Permute({2, 0, 1});
    EXPECT_EQ(store.Cell(0, 0), QStringLiteral("a2"));
    EXPECT_EQ(store.Cell(1, 2), QStringLiteral("b1"));
    store.MoveRow(0, 2);
    EXPECT_EQ(store.Cell(0, 2), QStringLiteral("a2"));
    store.InsertRow(1);
    EXPECT_EQ(store.RowCount(), 4);
    EXPECT_EQ(store.Cell(0, 1), QString());
    store.SetSlotCount(3);
    EXPECT_EQ(store.Cell(2, 0), QString());
    store.SetCell(2, 0, QStringLiteral("c"));
    store.SetSlotCount(1);
    EXPECT_EQ(store.Cell(0, 0), QStringLiteral("a0"));
    EXPECT_EQ(store.Cell(1, 0), QString());
    store.RemoveRow(0);
    EXPECT_EQ(store.RowCount(), 3);
}
