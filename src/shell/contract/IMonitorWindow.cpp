#include "IMonitorWindow.h"

TChangeRecord TChangeRecord::FromRowText(const QString& rowText) {
    TChangeRecord r;
    r.Fields = rowText.split(QChar(0));
    if (!r.Fields.isEmpty() && r.Fields.last().isEmpty())
        r.Fields.removeLast(); // the text after the last field's NUL
    return r;
}
