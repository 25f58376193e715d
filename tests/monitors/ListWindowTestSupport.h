#pragma once

// Helpers of the deals, portfolio, position and transactions window tests.
#include "grids/TAdvColumnGrid.h"
#include "grids/fill/ResponseFill.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QAction>
#include <QMenu>
#include <gtest/gtest.h>

#include <initializer_list>
#include <ostream>

// One printer for texts, whichever helper header comes first.
#ifndef ORVEX_TEST_QSTRING_PRINTTO
#define ORVEX_TEST_QSTRING_PRINTTO
inline void PrintTo(const QString& text, std::ostream* os) {
    QString shown = text;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    *os << '"' << shown.toStdString() << '"';
}
#endif

namespace listtest {

// Pieces each followed by NUL, as a pair-form request carries them.
inline QString Pieces(std::initializer_list<const char*> pieces) {
    QString text;
    for (const char* p : pieces)
        text += QString::fromUtf8(p) + QChar(0);
    return text;
}

// Triggers the popup item with this caption, as its key or button would.
inline void Trigger(QMenu& popup, const char* caption) {
    for (QAction* action : popup.actions()) {
        if (action->text() == QString::fromUtf8(caption)) {
            action->trigger();
            return;
        }
    }
    ADD_FAILURE() << "no popup item " << caption;
}

inline QString Cell(const TAdvColumnGrid& grid, int tag, int dataRow) {
    return gridcols::TextByTag(grid, tag, grid.FixedRows() + dataRow);
}

inline int DataRows(const TAdvColumnGrid& grid) {
    return grid.RowCount() - grid.FixedRows();
}

// The answer with the parameters of the session's last request echoed back.
inline ScriptedAnswer Echo(ScriptedSession& ses, ScriptedAnswer answer) {
    answer.requestParams = ses.Last().Params();
    return answer;
}

inline void AddSecurity(TReferenceData& refs, int id, int lotSize, int nominal) {
    auto s = std::make_unique<TBumObj>();
    s->Id = id;
    s->LotSize = lotSize;
    s->Nominal = nominal;
    refs.Securities.Append(std::move(s));
}

} // namespace listtest
