#pragma once

#include <QDialog>
#include <QString>

class QListWidget;
class QPushButton;
class QToolButton;

struct TColsEntry {
    QString Caption;
    int Value = 0;
    bool Checked = false;
};

// "Упорядочить колонки": the modal dialog in which the user picks which columns of a
// grid are shown and in which order. It knows nothing about grids: the caller fills
// the list, runs Execute() and reads the entries back.
class TFormCols : public QDialog {
    Q_OBJECT
public:
    explicit TFormCols(QWidget* parent = nullptr);

    void Clear();
    void AddEntry(const QString& caption, int value, bool checked);
    int Count() const;
    TColsEntry Entry(int index) const;

    // Shows the dialog modally; true when closed with OK.
    virtual bool Execute();

    // The four moves of the selected entry; nothing without a selection.
    void MoveFirst();
    void MoveUp();
    void MoveDown();
    void MoveLast();

    QListWidget* BoxCol() const { return box_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void MoveSelected(int to);
    void LayOut();

    QListWidget* box_;
    QToolButton* first_;
    QToolButton* up_;
    QToolButton* down_;
    QToolButton* last_;
    QPushButton* ok_;
    QPushButton* cancel_;
};
