#include "clientwindows.h"

#include "clientcontroldialog.h"
#include "desk/frontdesk.h"
#include "link/linkserver.h"
#include "programlistdialog.h"
#include "ui/manage/weblistdialogs.h"

#include <QApplication>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcClientWindows, "corvana.ui")

// The one open non-modal window of type T over `parent`, or a new one made by `make`.
template <typename T, typename Make> T *single(QWidget *parent, const QString &name, Make make)
{
    if (parent) {
        if (T *open = parent->findChild<T *>(name, Qt::FindDirectChildrenOnly)) {
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    T *dialog = make();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

ProgramListDialog *showProgramList(ClientControl &control, QWidget *parent, bool request)
{
    // One open anywhere (also the modal one over the client control window) shows the list.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *open = qobject_cast<ProgramListDialog *>(w); open && open->isVisible()) {
            open->raise();
            if (request)
                control.requestPrograms();
            return open;
        }
    }
    bool created = false;
    ProgramListDialog *dialog = single<ProgramListDialog>(parent, QStringLiteral("programListDialog"), [&] {
        created = true;
        return new ProgramListDialog(control, request, parent);
    });
    if (!created && request)
        control.requestPrograms();
    return dialog;
}

} // namespace

void openProgramList(FrontDesk &desk, QWidget *parent)
{
    LinkServer *link = desk.linkServer();
    if (!link) {
        qCWarning(lcClientWindows) << "no client link: the program list cannot be asked for";
        return;
    }
    ClientControl &control = link->control();
    if (const std::optional<Machine> selected = desk.selectedMachine()) {
        const control::SlotRef slot = control.slotOf(*selected);
        if (slot.slot >= 0)
            control.setProgramSlot(slot);
    }
    showProgramList(control, parent, true);
}

void openClientControl(FrontDesk &desk, QWidget *parent)
{
    LinkServer *link = desk.linkServer();
    if (!link) {
        qCWarning(lcClientWindows) << "no client link: no PC can be controlled";
        return;
    }
    ClientControlDialog dialog(link->control(), desk.selectedMachine(), parent);
    dialog.exec();
}

void openQuickAddresses(FrontDesk &desk, QWidget *parent)
{
    single<QuickAddressDialog>(parent, QStringLiteral("quickAddressDialog"),
                               [&] { return new QuickAddressDialog(desk.webLists(), parent); });
}

void openRestrictedSites(FrontDesk &desk, QWidget *parent)
{
    single<RestrictedSitesDialog>(parent, QStringLiteral("restrictedSitesDialog"), [&] {
        return new RestrictedSitesDialog(desk.webLists(), parent);
    });
}

void showProgramListOnArrival(FrontDesk &desk, QWidget *parent)
{
    QObject *context = parent ? static_cast<QObject *>(parent) : &desk;
    QObject::connect(&desk, &FrontDesk::programListArrived, context, [&desk, parent] {
        if (LinkServer *link = desk.linkServer())
            showProgramList(link->control(), parent, false);
    });
}
