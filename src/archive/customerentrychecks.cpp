#include "archive/customerentrychecks.h"

#include "archive/customercommands.h"
#include "store/idnumber.h"
#include "store/recordset.h"
#include "ui/messagebox.h"

namespace {

const QString kIdNumber = QStringLiteral("sfzh");
const QString kBirth = QStringLiteral("csrq");
const QString kSex = QStringLiteral("xb");

QString field(const Recordset &customers, const QString &name)
{
    return customers.hasField(name) ? customers.text(name).trimmed() : QString();
}

bool saveAnyway(const QString &question)
{
    return Msg::show(question + QStringLiteral("\n仍要保存吗？"), Msg::Icon::Exclamation, Msg::Buttons::YesNo)
           == Msg::Answer::Yes;
}

// Names the card numbers already there, so the operator can look them up.
QString duplicateQuestion(const QStringList &sameIdNumber, const QStringList &sameNameAndMobile)
{
    QStringList lines;
    if (!sameIdNumber.isEmpty())
        lines << QStringLiteral("证件号码相同的客户已有档案，卡号：") + sameIdNumber.join(QStringLiteral("、"));
    if (!sameNameAndMobile.isEmpty())
        lines << QStringLiteral("姓名和手机都相同的客户已有档案，卡号：") + sameNameAndMobile.join(QStringLiteral("、"));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

bool CustomerEntryChecks::confirmSave(Connection &connection, Recordset &customers, bool adding, QString *focusField)
{
    focusField->clear();
    const QString number = field(customers, kIdNumber);
    const IdNumber id = IdNumber::parse(number);
    if (id.verdict == IdNumber::Verdict::WrongCheck
        && !saveAnyway(
            QStringLiteral("证件号码“%1”的校验位不对（按前17位应为 %2），请核对。").arg(number, id.expectedCheck))) {
        *focusField = kIdNumber;
        return false;
    }
    if (id.verdict == IdNumber::Verdict::ImpossibleDate
        && !saveAnyway(QStringLiteral("证件号码“%1”中的出生日期不存在，请核对。").arg(number))) {
        *focusField = kIdNumber;
        return false;
    }

    if (adding) {
        const CustomerCommands::Duplicates same = CustomerCommands::duplicatesOf(
            connection, number, field(customers, QStringLiteral("xm")), field(customers, QStringLiteral("sj")));
        if (same.any() && !saveAnyway(duplicateQuestion(same.sameIdNumber, same.sameNameAndMobile)))
            return false;
    }

    // Only a number that checks out is trusted with what the operator left empty.
    if (id.verdict == IdNumber::Verdict::Valid) {
        if (customers.hasField(kBirth) && field(customers, kBirth).isEmpty())
            customers.setValue(kBirth, id.birth);
        if (customers.hasField(kSex) && field(customers, kSex).isEmpty())
            customers.setValue(kSex, id.sex);
    }
    return true;
}
