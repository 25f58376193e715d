#pragma once

#include "monitors/ArchiveFrame.h"

// "Позиция в архиве": the firm's position per instrument on a past day, summed over
// the accounts the filter admits. The answer is read by field position.
class TFormAPosition : public TArchiveWindow {
    Q_OBJECT

public:
    enum ColumnTag {
        kInstr = 0,
        kInput = 1,
        kCurr = 2,
        kPlan = 3,
        kIdBum = 4, // filled from field 4 of the answer
    };

    explicit TFormAPosition(QWidget* parent = nullptr);

    static void Register();

protected:
    QString RequestParams() const override;
    void Load() override;
    QString AskFilter(TFormFiltr& dialog, QString& caption) override;
    bool UsesParser() const override { return false; }
};
