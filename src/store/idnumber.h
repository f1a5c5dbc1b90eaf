#pragma once

#include <QDate>
#include <QString>

// A mainland resident identity number (GB 11643): 18 characters, six of
// place, eight of birth date, three of sequence (odd for men) and a check
// character; or the older 15 digits with a two-digit year and no check.
// Anything else (a passport, a travel permit) is some other document.
struct IdNumber
{
    enum class Verdict {
        OtherDocument,  // not shaped like a resident number: nothing to check
        Valid,
        WrongCheck,     // 18 characters whose last is not the computed check
        ImpossibleDate, // the birth date does not exist, or is still to come
    };

    Verdict verdict = Verdict::OtherDocument;
    QDate birth;        // valid only when the number holds a real date
    QString sex;        // "男" or "女" for resident numbers
    QChar expectedCheck; // the check character an 18-character number should end with

    static IdNumber parse(const QString &text, const QDate &today = QDate::currentDate());
    // The check character of the first 17 digits: "10X98765432" by the weighted sum mod 11.
    static QChar checkCharacter(QStringView first17);
};
