#include "commissions/TFormTaxAddScalaLine.h"

#include "shell/base/Services.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

namespace {

TFormTaxAddScalaLine* g_instance = nullptr;
constexpr double kLimit = 1e15; // beyond that a double loses whole rubles

QString Utf(const char* text) {
    return QString::fromUtf8(text);
}

QDoubleSpinBox* NumberField(QWidget* parent, int decimals) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(-kLimit, kLimit); // negatives reach the OK check, which names them
    box->setDecimals(decimals);
    box->setGroupSeparatorShown(true);
    box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    box->setAlignment(Qt::AlignRight);
    return box;
}

} // namespace

TFormTaxAddScalaLine::TFormTaxAddScalaLine(QWidget* parent) : QDialog(parent) {
    if (!g_instance)
        g_instance = this;
    setWindowTitle(Utf("Добавить элемент шкалы"));
    auto* form = new QFormLayout(this);
    level_ = NumberField(this, 0);
    sum_ = NumberField(this, 2);
    percent_ = NumberField(this, 8);
    level_->setObjectName(QStringLiteral("ceLevel"));
    sum_->setObjectName(QStringLiteral("ceSum"));
    percent_->setObjectName(QStringLiteral("cePercent"));
    levelLabel_ = new QLabel(this);
    sumLabel_ = new QLabel(this);
    percentLabel_ = new QLabel(this);
    form->addRow(levelLabel_, level_);
    form->addRow(sumLabel_, sum_);
    form->addRow(percentLabel_, percent_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFormTaxAddScalaLine::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    // Only the person's edits zero the other amount.
    connect(percent_, &QDoubleSpinBox::valueChanged, this, [this] {
        if (!programSets_)
            SetValues(Level(), 0, Percent());
    });
    connect(sum_, &QDoubleSpinBox::valueChanged, this, [this] {
        if (!programSets_)
            SetValues(Level(), Sum(), 0);
    });
    SetValues(0, 0, 0);
    SetMode(kTurnover);
}

TFormTaxAddScalaLine::~TFormTaxAddScalaLine() {
    if (g_instance == this)
        g_instance = nullptr;
}

TFormTaxAddScalaLine* TFormTaxAddScalaLine::Instance() {
    return g_instance;
}

void TFormTaxAddScalaLine::SetMode(int mode) {
    mode_ = mode == kCount ? kCount : kTurnover;
    const bool turnover = mode_ == kTurnover;
    levelLabel_->setText(turnover ? Utf("Минимальный оборот, руб.") : Utf("Число контрактов, шт."));
    sumLabel_->setText(Utf("Сумма комиссии, руб."));
    percentLabel_->setText(turnover ? Utf("Процент от оборота") : Utf("Сумма за контракт, руб."));
    const double keep = Percent();
    programSets_ = true;
    percent_->setDecimals(turnover ? 8 : 4);
    percent_->setMaximum(turnover ? 100 : kLimit);
    percent_->setValue(keep);
    programSets_ = false;
}

int TFormTaxAddScalaLine::Execute(int mode) {
    SetMode(mode);
    return exec();
}

double TFormTaxAddScalaLine::Level() const {
    return level_->value();
}

double TFormTaxAddScalaLine::Sum() const {
    return sum_->value();
}

double TFormTaxAddScalaLine::Percent() const {
    return percent_->value();
}

void TFormTaxAddScalaLine::SetValues(double level, double sum, double percent) {
    programSets_ = true;
    level_->setValue(level);
    sum_->setValue(sum);
    percent_->setValue(percent);
    programSets_ = false;
}

QString TFormTaxAddScalaLine::LevelLabel() const {
    return levelLabel_->text();
}

QString TFormTaxAddScalaLine::SumLabel() const {
    return sumLabel_->text();
}

QString TFormTaxAddScalaLine::PercentLabel() const {
    return percentLabel_->text();
}

void TFormTaxAddScalaLine::accept() {
    if (Level() < 0 || Sum() < 0 || Percent() < 0) {
        Services::MessageBox().Show(this, Utf("ОШИБКА! Отрицательные значения не допустимы!"),
                                    windowTitle(), MsgKind::Error, MsgCancel);
        return;
    }
    QDialog::accept();
}
