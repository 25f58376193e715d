// The window-factory file: every window class a desktop can hold, one line each
// (stored name and class), in the order the classes are registered. The stored
// names are part of saved desktops: never rename one. A class not built yet has its
// line commented out; it joins by uncommenting the line and including its header.
// Each class must be a Q_OBJECT class of its own: a window a menu command made is
// known by its exact class.
#include "shell/main/WindowFactory.h"

#include "browsers/TFormListBum.h"
#include "desktops/TDeskTopConfig.h"
#include "interest/TFormAllBrokPercent.h"
#include "margin/TFormMargo.h"
#include "monitors/TFormAOrd.h"
#include "monitors/TFormAPortfel.h"
#include "monitors/TFormAPosition.h"
#include "monitors/TFormAProv.h"
#include "monitors/TFormASd.h"
#include "monitors/TFormConditionOrders.h"
#include "monitors/TFormOrdersRPS.h"
#include "monitors/TFormOstatkiTn.h"
#include "monitors/TFormPortfelFut.h"
#include "monitors/TFormPos.h"
#include "monitors/TFormPrf.h"
#include "monitors/TFormProv.h"
#include "monitors/TFormProvWait.h"
#include "monitors/TFormSd.h"
#include "monitors/TOrderForm.h"

void RegisterDesktopWindowClasses(TDeskTopConfig& store) {
    store.RegisterWindowClass<TFormAOrd>(QStringLiteral("TFormAOrd"));
    store.RegisterWindowClass<TFormAPortfel>(QStringLiteral("TFormAPortfel"));
    store.RegisterWindowClass<TFormOstatkiTn>(QStringLiteral("TFormOstatkiTn"));
    store.RegisterWindowClass<TFormAPosition>(QStringLiteral("TFormAPosition"));
    store.RegisterWindowClass<TFormAProv>(QStringLiteral("TFormAProv"));
    store.RegisterWindowClass<TFormASd>(QStringLiteral("TFormASd"));
    store.RegisterWindowClass<TFormMargo>(QStringLiteral("TFormMargo"));
    store.RegisterWindowClass<TFormPos>(QStringLiteral("TFormPos"));
    store.RegisterWindowClass<TFormPrf>(QStringLiteral("TFormPrf"));
    store.RegisterWindowClass<TFormProv>(QStringLiteral("TFormProv"));
    store.RegisterWindowClass<TFormSd>(QStringLiteral("TFormSd"));
    store.RegisterWindowClass<TOrderForm>(QStringLiteral("TOrderForm"));
    store.RegisterWindowClass<TFormAllBrokPercent>(QStringLiteral("TFormAllBrokPercent"));
    store.RegisterWindowClass<TFormListBum>(QStringLiteral("TFormListBum"));
    store.RegisterWindowClass<TFormProvWait>(QStringLiteral("TFormProvWait"));
    store.RegisterWindowClass<TFormOrdersRPS>(QStringLiteral("TFormOrdersRPS"));
    store.RegisterWindowClass<TFormConditionOrders>(QStringLiteral("TFormConditionOrders"));
    store.RegisterWindowClass<TFormPortfelFut>(QStringLiteral("TFormPortfelFut"));
}
