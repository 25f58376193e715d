#pragma once

#include <QTreeWidget>

// A tree whose nodes carry a check state drawn as an image: 0 unchecked, 1 checked,
// 2 partly checked, 3 disabled (never changed by the mass operations). In check
// mode a node flips its whole subtree and its ancestors follow; in radio mode one
// node at a time is checked. Node labels cannot be edited.
class TtsvTreeView : public QTreeWidget {
    Q_OBJECT
public:
    enum TCheckMode { tvmCheckTreeView = 0, tvmRadioTreeView = 1 };
    enum TNodeState { Unchecked = 0, Checked = 1, Partial = 2, Disabled = 3 };

    explicit TtsvTreeView(QWidget* parent = nullptr);
    ~TtsvTreeView() override;

    TCheckMode CheckMode() const { return mode_; }
    void SetCheckMode(TCheckMode mode);

    // The node's state is its image number; the owner reads and writes it.
    static int NodeState(const QTreeWidgetItem* node);
    void SetNodeState(QTreeWidgetItem* node, int state);

    void ToggleNode(QTreeWidgetItem* node);

signals:
    // Typed characters other than Space reach the owner here.
    void KeyTyped(const QString& text);
    // Radio mode: a node was checked by the person (click, Space, Enter).
    void NodeChecked(QTreeWidgetItem* node);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyboardSearch(const QString&) override {}

private:
    void SetSubtree(QTreeWidgetItem* node, int state);
    template <typename F> void ForEachNode(F f);

    TCheckMode mode_ = tvmCheckTreeView;
    // Radio mode remembers its one checked node, so a choice unchecks that node
    // rather than walking a hundred thousand; when the owner's own writes leave
    // the count unknown (radioExact_ false), the next choice walks once.
    QTreeWidgetItem* radioChecked_ = nullptr;
    bool radioExact_ = true;
};
