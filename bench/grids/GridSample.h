#pragma once

#include "grids/TAdvColumnGrid.h"

#include <QStringList>

// A grid shaped like the orders table: 22 columns, the first fixed, with money,
// price, date and text columns, filled with reproducible rows.
inline void BuildSampleColumns(TAdvColumnGrid& grid) {
    static const char* const headers[] = {
        "Номер", "Дата",   "Время",   "Клиент",   "Счет",       "Инструмент", "Код",    "Операция",
        "Цена",  "Кол-во", "Объем",   "Остаток",  "Статус",     "Режим",      "Валюта", "Комиссия",
        "НКД",   "Доход",  "Трейдер", "Площадка", "Примечание", "Ключ"};
    for (int i = 0; i < 22; ++i) {
        TGridColumn* column = grid.AddColumn();
        column->Header = QString::fromUtf8(headers[i]);
        column->Name = QStringLiteral("F%1").arg(i);
        column->Width = i == 3 || i == 5 ? 140 : (i == 10 || i == 11 ? 110 : 80);
        if (i == 8 || i == 9 || i == 10 || i == 11 || i == 15 || i == 16 || i == 17) {
            column->Alignment = Qt::AlignRight;
            column->SortStyle = TSortStyle::Financial;
        }
        if (i == 0)
            column->SortStyle = TSortStyle::Numeric;
        if (i == 1)
            column->SortStyle = TSortStyle::Date;
    }
    grid.SetFixedCols(1);
    grid.Loaded();
}

inline QStringList SampleRow(int i) {
    static const char* const clients[] = {"Иванов Пётр", "ООО «Север»", "Сидорова Анна",
                                          "ЗАО Вектор", "Кузнецов И.И."};
    static const char* const bums[] = {"Газпром ао", "Сбербанк", "ОФЗ 26238", "Лукойл",
                                       "Норникель"};
    const unsigned h = static_cast<unsigned>(i) * 2654435761u;
    const double price = (h % 1000000) / 100.0;
    const int qty = static_cast<int>(h % 5000) + 1;
    auto money = [](double v) {
        QString s = QString::number(v, 'f', 2);
        s.replace(QLatin1Char('.'), QLatin1Char(','));
        // thousands grouped with a space
        const int point = static_cast<int>(s.indexOf(QLatin1Char(',')));
        for (int p = point - 3; p > (s.startsWith(QLatin1Char('-')) ? 1 : 0); p -= 3)
            s.insert(p, QLatin1Char(' '));
        return s;
    };
    return {QString::number(100000 + i),
            QStringLiteral("%1.%2.2026")
                .arg(1 + h % 28, 2, 10, QLatin1Char('0'))
                .arg(1 + h % 12, 2, 10, QLatin1Char('0')),
            QStringLiteral("%1:%2:%3")
                .arg(10 + h % 8)
                .arg(h % 60, 2, 10, QLatin1Char('0'))
                .arg(h % 59, 2, 10, QLatin1Char('0')),
            QString::fromUtf8(clients[h % 5]),
            QStringLiteral("L01-%1").arg(h % 900 + 100),
            QString::fromUtf8(bums[(h >> 3) % 5]),
            QStringLiteral("GAZP"),
            (h & 1) ? QStringLiteral("Купля") : QStringLiteral("Продажа"),
            money(price),
            QString::number(qty),
            money(price * qty),
            money(price * (qty / 2)),
            (h & 2) ? QStringLiteral("Активна") : QStringLiteral("Исполнена"),
            QStringLiteral("T+2"),
            QStringLiteral("RUB"),
            money(price * qty * 0.0005),
            money(0),
            money(price * 0.01),
            QStringLiteral("trader%1").arg(h % 7),
            QStringLiteral("MOEX"),
            QString(),
            QString::number(h)};
}
