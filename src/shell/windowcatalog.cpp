#include "shell/appstate.h"
#include "shell/frm_pathset.h"
#include "shell/frmabout.h"
#include "shell/windowregistry.h"
#include "reports/frmreportset.h"

// Every window a menu command opens, with how it is shown.
void registerProgramWindows(WindowRegistry &registry)
{
    registry.add(QStringLiteral("Frm_pathset"), {WindowEntry::Kind::Modeless, [](QWidget *parent) -> QWidget * {
                     auto *w = new Frm_pathset(*AppState::current(), parent);
                     QObject::connect(w, &Frm_pathset::cancelled, [] { AppState::current()->endProgram(); });
                     return w;
                 }});
    registry.add(QStringLiteral("FrmreportSet"), {WindowEntry::Kind::MdiChild, [](QWidget *parent) -> QWidget * {
                     return new FrmreportSet(AppState::current()->connection(), parent);
                 }});
    registry.add(QStringLiteral("frmAbout"),
                 {WindowEntry::Kind::Modeless, [](QWidget *parent) -> QWidget * { return new frmAbout(parent); }});
}
