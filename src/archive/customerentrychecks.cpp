#include "archive/customerentrychecks.h"

#include "domain/archive/customercommands.h"
#include "archive/fieldhelp.h"
#include "store/jetdate.h"
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

// A good number that says another sex or birth date than the ones typed:
// each disagreement names both values; `focusField` the first field concerned.
QString contradictionOf(const Recordset &customers, const QString &number, const IdNumber &id, QString *focusField)
{
    QStringList lines;
    const QString sex = FieldHelp::sexShorthand(field(customers, kSex));
    if (!sex.isEmpty() && sex != id.sex) {
        lines << QStringLiteral("证件号码“%1”表示性别为%2，与录入的性别“%3”不符。").arg(number, id.sex, sex);
        *focusField = kSex;
    }
    const QString birthText = field(customers, kBirth);
    const auto birth = parseJetDate(birthText);
    if (!birthText.isEmpty() && (!birth || birth->date != id.birth)) {
        lines << QStringLiteral("证件号码“%1”表示出生日期为%2，与录入的出生日期“%3”不符。")
                     .arg(number, id.birth.toString(QStringLiteral("yyyy-MM-dd")),
                          birth ? birth->date.toString(QStringLiteral("yyyy-MM-dd")) : birthText);
        if (focusField->isEmpty())
            *focusField = kBirth;
    }
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QStringLiteral("请核对。");
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

    if (id.verdict == IdNumber::Verdict::Valid) {
        const QString contradiction = contradictionOf(customers, number, id, focusField);
        if (!contradiction.isEmpty() && !saveAnyway(contradiction))
            return false;
        focusField->clear();
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
