#include "domain/queries/conditiontext.h"

#include "store/jetdate.h"
#include "store/sqlquote.h"
#include "store/valuecheck.h"

TypeWords TypeWordTables::statistics()
{
    return {{QStringLiteral("CHAR"), ValueKind::Quoted},
            {QStringLiteral("DATETIME"), ValueKind::HashDate},
            {QStringLiteral("NUME"), ValueKind::Numeric}};
}

TypeWords TypeWordTables::customerPoints()
{
    return {{QStringLiteral("TXT"), ValueKind::Quoted},
            {QStringLiteral("DATE"), ValueKind::QuotedDate},
            {QStringLiteral("MON"), ValueKind::Numeric},
            {QStringLiteral("BFL"), ValueKind::Numeric}};
}

TypeWords TypeWordTables::periodIncome()
{
    return {{QStringLiteral("TXT"), ValueKind::Quoted},       {QStringLiteral("CHAR"), ValueKind::Quoted},
            {QStringLiteral("DATETIME"), ValueKind::HashDate}, {QStringLiteral("DATE"), ValueKind::HashDate},
            {QStringLiteral("MON"), ValueKind::Numeric},       {QStringLiteral("BFL"), ValueKind::Numeric},
            {QStringLiteral("NUME"), ValueKind::Numeric}};
}

namespace {

QString numberFrom(const QString &typed)
{
    return sqlNumber(Modcheck::parseNumber(typed).value_or(0));
}

} // namespace

ConditionText strtjset(const QVector<ConditionRow> &rows, const QStringList &connectorWords,
                       const std::function<std::optional<ConditionField>(const QString &caption)> &lookup,
                       const TypeWords &types, const std::function<void(const QString &)> &accepted,
                       const TermRewrite &rewrite)
{
    ConditionText result;
    for (int i = 0; i < rows.size(); ++i) {
        result.values << QString();
        const ConditionRow &row = rows.at(i);
        if (row.value.isEmpty())
            continue;
        const QString name = row.field.trimmed();
        const std::optional<ConditionField> field = lookup(name);
        if (!field) {
            result.stopped = true;
            result.unknownField = true;
            result.message = QStringLiteral("没有名为“%1”的查询项目，请从列表中选择").arg(name);
            return result;
        }

        QString value;
        // The caption text is read by people (the report's subtitle): a text
        // value shows there as typed, its quotes not doubled.
        QString shown;
        const QString asTyped = QLatin1Char('\'') + row.value + QLatin1Char('\'');
        // And in words, under a report's title: dates as dates, text in Chinese quotes.
        QString word = QStringLiteral("“%1”").arg(row.value);
        const auto kind = types.constFind(field->type);
        if (kind == types.constEnd()) {
            // A type word the window does not know: a number stays a number, anything else is text.
            const bool number = Modcheck::isNumeric(row.value);
            value = number ? numberFrom(row.value) : sqlQuote(row.value);
            shown = number ? row.value.trimmed() : asTyped;
            if (number)
                word = shown;
        } else {
            switch (*kind) {
            case ValueKind::Quoted:
                value = sqlQuote(row.value);
                shown = asTyped;
                break;
            case ValueKind::HashDate:
            case ValueKind::QuotedDate: {
                const auto date = parseJetDate(row.value);
                if (!date) {
                    result.stopped = true;
                    result.message = QStringLiteral("日期输入错误");
                    return result;
                }
                // A quoted date is compared as the database stores dates, whatever
                // form was typed; a #date# is rewritten so on its way to the engine.
                value = *kind == ValueKind::HashDate ? QLatin1Char('#') + row.value.trimmed() + QLatin1Char('#')
                                                      : sqlQuote(date->toIso());
                shown = *kind == ValueKind::HashDate ? value : asTyped;
                word = date->toIso();
                break;
            }
            case ValueKind::Numeric:
                if (!Modcheck::isNumeric(row.value)) {
                    result.stopped = true;
                    result.message = QStringLiteral("请输入数字");
                    return result;
                }
                value = numberFrom(row.value);
                shown = row.value.trimmed();
                word = shown;
                break;
            }
        }
        result.values[i] = value;
        if (shown.isEmpty())
            shown = value;

        // Only the listed operators reach the statement.
        static const QStringList operators = {QStringLiteral("<"), QStringLiteral("<="), QStringLiteral(">"),
                                              QStringLiteral(">="), QStringLiteral("="), QStringLiteral("<>")};
        const bool like = row.op.compare(QLatin1String("like"), Qt::CaseInsensitive) == 0;
        const QString op = operators.contains(row.op) ? row.op : QStringLiteral("=");
        QString term = like ? field->code + QStringLiteral(" like ") + value : field->code + op + value;
        if (rewrite)
            term = rewrite(*field, row, term).value_or(term);
        const QString captionTerm =
            like ? field->caption + QStringLiteral(" like ") + shown : field->caption + op + shown;
        static const QHash<QString, QString> opWords = {
            {QStringLiteral("<"), QStringLiteral("小于")},   {QStringLiteral("<="), QStringLiteral("小于等于")},
            {QStringLiteral(">"), QStringLiteral("大于")},   {QStringLiteral(">="), QStringLiteral("大于等于")},
            {QStringLiteral("="), QStringLiteral("等于")},   {QStringLiteral("<>"), QStringLiteral("不等于")}};
        const QString opWord = like ? QStringLiteral("匹配") : opWords.value(op);
        const QString wordTerm = field->caption + QLatin1Char(' ') + opWord + QLatin1Char(' ') + word;
        if (result.text.isEmpty()) {
            result.text = term;
            result.captionText = captionTerm;
            result.words = wordTerm;
        } else {
            const QString connector = i >= 1 && i - 1 < connectorWords.size() ? connectorWords.at(i - 1)
                                                                              : QStringLiteral("and");
            result.text += QLatin1Char(' ') + connector + QLatin1Char(' ') + term;
            result.captionText += QLatin1Char(' ') + connector + QLatin1Char(' ') + captionTerm;
            const QString connectorWord = connector == QLatin1String("or") ? QStringLiteral("或者") : QStringLiteral("并且");
            result.words += QLatin1Char(' ') + connectorWord + QLatin1Char(' ') + wordTerm;
        }
        ++result.acceptedRows;
        if (accepted)
            accepted(result.text);
    }
    return result;
}
