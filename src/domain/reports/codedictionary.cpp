#include "domain/reports/codedictionary.h"

QString CodeDictionary::rowsSql()
{
    return QStringLiteral("select * from dict order by [class]");
}

QString CodeDictionary::classesSql()
{
    return QStringLiteral("select  class from dict group by class order by class");
}

QString CodeDictionary::printSql()
{
    return QStringLiteral("select * from dict order by class");
}
