#include "domain/shell/appstate.h"
#include "shell/frm_pathset.h"
#include "shell/frmabout.h"
#include "shell/windowregistry.h"
#include "archive/frmhyda.h"
#include "archive/frmjfzr.h"
#include "operators/frm_czy_password.h"
#include "shell/frmhelp.h"
#include "queries/frmhuiyuanfind.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "reports/frm_kxlx.h"
#include "reports/frmreportset.h"

// Every window a menu command opens, with how it is shown.
void registerProgramWindows(WindowRegistry &registry)
{
    registry.add(QStringLiteral("Frm_pathset"), {WindowEntry::Kind::Modeless, [](QWidget *parent, int) -> QWidget * {
                     auto *w = new Frm_pathset(*AppState::current(), parent);
                     QObject::connect(w, &Frm_pathset::cancelled, [] { AppState::current()->endProgram(); });
                     return w;
                 }});
    registry.add(QStringLiteral("FrmreportSet"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new FrmreportSet(AppState::current()->connection(), parent);
                 }});
    registry.add(QStringLiteral("Frm_czyrz"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new Frm_czyrz(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("Frm_czyset"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new Frm_czyset(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frm_czy_password"), {WindowEntry::Kind::Modeless, [](QWidget *parent, int) -> QWidget * {
                     return new frm_czy_password(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("FRM_KXLX"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new FRM_KXLX(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("FRMHYDA"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new FRMHYDA(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("FrmJfzr"), {WindowEntry::Kind::Modal, [](QWidget *parent, int) -> QWidget * {
                     return new FrmJfzr(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frmhangkongFind"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new frmhangkongFind(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frmgerenFind"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new frmgerenFind(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frmdaodaFind"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new frmdaodaFind(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frmHuiYuanFind"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new frmHuiYuanFind(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frmkhFind"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int) -> QWidget * {
                     return new frmkhFind(*AppState::current(), parent);
                 }});
    registry.add(QStringLiteral("frmsdSRFind"), {WindowEntry::Kind::MdiChild, [](QWidget *parent, int number) -> QWidget * {
                     return new frmsdSRFind(*AppState::current(), number, parent);
                 }});
    registry.add(QStringLiteral("frmAbout"),
                 {WindowEntry::Kind::Modeless, [](QWidget *parent, int) -> QWidget * { return new frmAbout(parent); }});
    registry.add(QStringLiteral("frmHelp"),
                 {WindowEntry::Kind::Modeless, [](QWidget *parent, int) -> QWidget * { return new frmHelp(parent); }});
}
