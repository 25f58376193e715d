#pragma once

#include <QDialog>
#include <QStringList>

class QTreeWidgetItem;
class TReferenceData;
class TtsvTreeView;

// "Копировать список маржинальных бумаг": a source client (one choice) and the
// destination clients (checks), both from the margin monitor's clients. Made once at
// start-up; its trees are built on the monitor's first answer after each connection
// and emptied when the connection is lost. Each node carries a client number as its
// tag (0: no client), never a reference object a reload could free.
class TFormMarginCopyRule : public QDialog {
    Q_OBJECT
public:
    explicit TFormMarginCopyRule(QWidget* parent = nullptr);
    ~TFormMarginCopyRule() override;
    static TFormMarginCopyRule* Instance(); // null before start-up made it

    // Builds both trees when the source tree is empty; the clients are those of the
    // list whose number is in it, in the order of the reference list.
    void FillControls2(const TReferenceData& refs, const QStringList& clientNumbers);
    // On loss of the connection: an open dialog ends as cancelled; the trees empty.
    void BreakWork();

    // Shows the dialog modally with the client chosen as the source.
    int ShowForClient(const QString& clientNumber);
    // After OK: the source client (0 when none is chosen) and the checked destination
    // clients except the top node, in tree order.
    int SourceClient() const;
    QList<int> DestinationClients() const;

    TtsvTreeView* SourceTree() const { return source_; }
    TtsvTreeView* DestTree() const { return dest_; }

private:
    TtsvTreeView* source_ = nullptr;
    TtsvTreeView* dest_ = nullptr;
};
