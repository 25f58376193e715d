// Pictures of the transaction dialogs for a person to look at (run under a virtual X
// server): the new-transaction dialog with its instrument list open, with money chosen
// (the price greyed) and with a validation box; the pending transactions window with
// waiting and cancelled rows and its cancel question; the description dialog. Writes
// PNG files into the folder given as the first argument.
#include "controls/TNumberEdit.h"
#include "grids/IdNameList.h"
#include "grids/TAdvColumnGrid.h"
#include "grids/TComboBoxIndexed.h"
#include "monitors/TFormEditProvDesc.h"
#include "monitors/TFormNewProv.h"
#include "monitors/TFormProvWait.h"
#include "shell/base/Log.h"
#include "shell/base/Services.h"
#include "shell/base/WorkstationLocale.h"
#include "shell/refs/ReferenceData.h"
#include "support/ScriptedSession.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

namespace {

QString g_folder;

void Settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The screen around a window, so that its popups and boxes are in the picture.
void SaveScreen(QWidget& around, int extraBelow, const char* name) {
    Settle();
    const QRect r = around.frameGeometry().adjusted(-10, -10, 10, extraBelow);
    QApplication::primaryScreen()
        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
        .save(QDir(g_folder).filePath(QString::fromLatin1(name)));
    std::printf("%s\n", name);
}

void Choose(QComboBox* box, int id) {
    for (int i = 0; i < box->count(); ++i)
        if (box->itemData(i, TIdNameListModel::IdRole).toInt() == id)
            box->setCurrentIndex(i);
}

void FillRefs(TReferenceData& refs) {
    refs.UserKind = 3;
    const char* systems[] = {"Фондовый рынок", "Срочный рынок"};
    for (int t = 1; t <= 2; ++t) {
        auto m = std::make_unique<TMoneyObj>();
        m->Id = -t;
        m->Name = QStringLiteral("_Деньги.") + QString::fromUtf8(systems[t - 1]);
        refs.MoneyItems.Append(std::move(m));
    }
    const char* names[] = {"Уралнефть ао",   "Волгагаз ао",   "Сибэнерго ап",  "Балтметалл ао",
                           "Амуртелеком ао", "Кубаньагро ао", "Северсталь ао", "Приморлес ао"};
    int id = 101;
    for (const char* name : names) {
        auto s = std::make_unique<TBumObj>();
        s->Id = id++;
        s->Name = QString::fromUtf8(name);
        refs.Securities.Append(std::move(s));
    }
    const char* accounts[] = {"Иванов И.И. основной", "Петров П.П. ИИС", "ООО Вектор",
                              "Сидорова А.В."};
    id = 2001;
    for (const char* name : accounts) {
        auto a = std::make_unique<TAccObj>();
        a->Id = id++;
        a->Name = QString::fromUtf8(name);
        refs.TransactionAccounts.Append(std::move(a));
    }
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), font.family()});
    font.setPointSize(8);
    QApplication::setFont(font);
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir;
    SetLogFileName(dir.filePath("shots.log"));
    ScopedWorkstationLocale locale(WorkstationLocale::Russian());
    Services::InstallInteractive();
    TReferenceData refs;
    FillRefs(refs);
    TReferenceData::SetCurrent(&refs);
    ScriptedSessionHub hub;

    TFormNewProv dialog;
    dialog.FillControls(refs);
    dialog.PrepareFilled(QStringLiteral("2001"), QStringLiteral("2003"), QStringLiteral("0"),
                         QStringLiteral("Перевод по договору №17"), QStringLiteral("1 500"),
                         QStringLiteral("волгагаз ао"));
    dialog.move(60, 60);
    dialog.show();
    dialog.CbBum()->showPopup();
    SaveScreen(dialog, 260, "prov-dialog-list-open.png");
    dialog.CbBum()->hidePopup();

    Choose(dialog.CbBum(), -1);
    dialog.CbBumChange();
    dialog.Sum()->SetValue(1234567.89);
    SaveScreen(dialog, 0, "prov-dialog-money.png");

    // A security with a fractional amount: the box the checks show.
    Choose(dialog.CbBum(), 102);
    dialog.CbBumChange();
    dialog.Sum()->setText(QStringLiteral("10,5"));
    dialog.Price()->setText(QStringLiteral("250"));
    QTimer::singleShot(600, [&] {
        SaveScreen(dialog, 120, "prov-dialog-check-box.png");
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    dialog.BtnOkClick();
    dialog.hide();

    // The pending window: waiting rows green, the cancelled one silver.
    TFormProvWait pending;
    pending.resize(1000, 260);
    pending.move(60, 60);
    pending.show();
    ScriptedSession& ses = hub.Get(QStringLiteral("SesProvWait"));
    pending.SesProvWaitLogin();
    AnswerBuilder b;
    b.Metadata(QStringLiteral("SpisokBB.207"));
    for (const char* name :
         {"ID", "CREATE_DATE", "PROV_STATUS_NAME", "SOURCE_ACCOUNT_NAME", "DEST_ACCOUNT_NAME",
          "BUM_NAME", "PROV_SUM", "PROV_TEXT", "BUM_AVG_PRICE", "SOURCE_ACCOUNT_ID",
          "DEST_ACCOUNT_ID", "PROV_STATUS", "ID_BUM"})
        b.Text(QString::fromLatin1(name));
    b.Row({"801", "09.12.2026", "Ожидает исполнения", "Иванов И.И. основной", "ООО Вектор",
           "_Деньги.Фондовый рынок", "150000.5", "Перевод по договору №17", "0", "2001", "2003",
           "10", "-1"});
    b.Row({"802", "09.12.2026", "Отменена", "Петров П.П. ИИС", "Сидорова А.В.", "Волгагаз ао",
           "300", "Дарение", "182.45", "2002", "2004", "20", "102"});
    b.Row({"803", "09.12.2026", "Ожидает исполнения", " Внешний контрагент", "Петров П.П. ИИС",
           "Уралнефть ао", "1000", "Зачисление бумаг", "97.1", "0", "2002", "10", "101"});
    ScriptedAnswer answer = b.Build();
    answer.requestParams = ses.Last().Params();
    ses.FeedData(answer);
    TAdvColumnGrid& grid = pending.GridProvWait();
    grid.setCurrentIndex(grid.model()->index(0, 2));
    grid.setFocus();
    SaveScreen(pending, 0, "prov-pending.png");
    QTimer::singleShot(600, [&] {
        SaveScreen(pending, 120, "prov-pending-cancel-question.png");
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    pending.BtnDelProvWaitClick();
    pending.hide();

    TFormEditProvDesc desc;
    desc.move(60, 60);
    QTimer::singleShot(600, [&] {
        SaveScreen(desc, 0, "prov-description.png");
        desc.reject();
    });
    QString reason = QStringLiteral("Перевод по договору №17\nот 01.12.2026");
    QString codes = QStringLiteral("BO-4471");
    desc.Edit(reason, codes);
    return 0;
}
