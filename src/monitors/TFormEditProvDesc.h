#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPlainTextEdit;

// "Изменение основания проводки": edits the two reason texts of an archived
// transaction. One shared instance for the whole run; the archive transactions window
// presets the texts, shows it and sends the change when it closes with OK.
class TFormEditProvDesc : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxText = 100;

    explicit TFormEditProvDesc(QWidget* parent = nullptr);

    // Shows the dialog modally with the texts preset; on OK reads them back.
    bool Edit(QString& userText, QString& specialCodes);

    QPlainTextEdit* meUserText() const { return userText_; }
    QLineEdit* edSpecialCodes() const { return specialCodes_; }

    // The shared instance, made on first use with the given parent (the program makes
    // it last among the shared dialogs, owned by the main window).
    static TFormEditProvDesc& Instance(QWidget* parent = nullptr);

    // The parameters of the reason change (command 103) in the alternating form:
    // "chto", "103", "param0", the transaction number, "param1", the user reason,
    // "param2", the additional data; empty texts are sent as empty values.
    static QString ReasonChangeParams(const QString& transactionNumber, const QString& userText,
                                      const QString& specialCodes);

private:
    void KeepUserTextShort();

    QPlainTextEdit* userText_ = nullptr;
    QLineEdit* specialCodes_ = nullptr;
};
