#include "IMonitorWindow.h"

#include "shell/base/ConvertError.h"
#include "shell/base/NumberText.h"

#include <cmath>

TChangeRecord TChangeRecord::FromRowText(const QString& rowText) {
    TChangeRecord r;
    r.Fields = rowText.split(QChar(0));
    if (!r.Fields.isEmpty() && r.Fields.last().isEmpty())
        r.Fields.removeLast(); // the text after the last field's NUL
    return r;
}

QString TChangeRecord::DealFault() const {
    // The fields the deals table formats as numbers: price, lots, volume, accrued
    // interest, profit, yield and the three fees.
    static const int kNumberFields[] = {5, 8, 9, 10, 11, 12, 16, 17, 18};
    const QString number = Field(15);
    if (number.trimmed().isEmpty())
        return QStringLiteral("сделка без номера (заявка %1)").arg(Field(3));
    for (int n : kNumberFields) {
        try {
            if (!std::isfinite(DotTextToFloat(Field(n))))
                throw EConvertError(QString());
        } catch (const EConvertError&) {
            return QStringLiteral("сделка %1: поле %2 \"%3\" не является числом")
                .arg(number)
                .arg(n)
                .arg(Field(n).left(40));
        }
    }
    return {};
}
