#include "domain/operators/rights.h"

#include "domain/operators/operatorcommands.h"

#include <QAction>

namespace {

struct Function
{
    QString name;
    QString action;
};

const QList<Function> &functions()
{
    static const QList<Function> list = {
        {QStringLiteral("编码设置"), QStringLiteral("menu_set_0")},
        {QStringLiteral("客户登记"), QStringLiteral("HYDJ")},
        {QStringLiteral("积分转让"), QStringLiteral("HYQK")},
        {QStringLiteral("客户积分查询"), QStringLiteral("hyjstj")},
        {QStringLiteral("航空公司出票统计"), QStringLiteral("hykxstj")},
        {QStringLiteral("个人出票统计"), QStringLiteral("menu_gerenchupiao")},
        {QStringLiteral("航线出票统计"), QStringLiteral("menu_daoda")},
        {QStringLiteral("会员行程查询"), QStringLiteral("menu_hyxc")},
        {QStringLiteral("时段收入查询"), QStringLiteral("MENU_SDSRfIND")},
        {QStringLiteral("操作员设置"), QStringLiteral("menu_sys_0")},
        {QStringLiteral("操作员日志"), QStringLiteral("menu_sys_1")},
        {QStringLiteral("数据备份"), QStringLiteral("menu_sys_4")},
    };
    return list;
}

} // namespace

const QStringList &Rights::functionNames()
{
    static const QStringList names = [] {
        QStringList n;
        for (const Function &f : functions())
            n << f.name;
        return n;
    }();
    return names;
}

const QStringList &Rights::controlledActions()
{
    static const QStringList names = [] {
        QStringList n;
        for (const Function &f : functions())
            n << f.action;
        return n;
    }();
    return names;
}

QString Rights::actionFor(const QString &functionName)
{
    for (const Function &f : functions())
        if (f.name == functionName)
            return f.action;
    return {};
}

void Rights::mCzyqx(Connection &connection, QObject *mainWindow, const QString &strczyname)
{
    for (const QString &function : OperatorCommands::rightsOf(connection, strczyname)) {
        const QString action = actionFor(function);
        if (action.isEmpty() || !mainWindow)
            continue;
        if (auto *a = mainWindow->findChild<QAction *>(action))
            a->setEnabled(true);
    }
}
