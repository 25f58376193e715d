#pragma once

#include "server/core/Params.h"

#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// Every number the server reads from a request, read exactly: decimal digits only (a
// minus sign only where the kind allows one), within the kind's range. Anything else
// refuses the whole request as garbled, so a query number never wraps into another
// query and an id never turns into a different id.
namespace RequestNumbers {

enum class Kind {
    QueryCode,   // "chto": 0 .. 2147483647
    Id,          // account, client, security, owner and type ids: signed 64-bit
    OrderNumber, // order numbers and keys, user-information value ids: 0 .. 2^63-1
    StatusMask,  // the filter dialog's status mask: 0 .. 7
};

// One numeric parameter of a request. query -1: every query of the request.
struct NumericParam {
    const char* request;
    int query;
    const char* key;
    Kind kind;
    bool list;     // comma text of numbers; empty text is an empty list
    bool required; // absent or empty refuses the request
};

// The numeric parameters of every request the server answers.
const std::vector<NumericParam>& Table();

// The value of text read as kind; nullopt when it is not exactly such a number.
std::optional<qint64> Parse(QStringView text, Kind kind);

// Why the request's numbers cannot be read (for the refusal), empty when all are exact.
QString Check(const QString& request, const ParamList& params);

} // namespace RequestNumbers
