#pragma once

// Reads a written workbook back: the cells of its first sheet (value, type,
// formula, number format). Through `unzip` and QXmlStreamReader, independent
// of the library that wrote it.
#include <QHash>
#include <QProcess>
#include <QXmlStreamReader>

struct XlsxCell
{
    QString type; // "n" number, "inlineStr"/"s"/"str" text
    QString value;
    QString formula;
    QString format; // number format code, empty for General
};

struct XlsxSheet
{
    explicit XlsxSheet(const QString &path)
    {
        QHash<QString, QString> codes; // numFmtId -> formatCode
        QStringList styleFormats;      // cellXfs index -> numFmtId
        QXmlStreamReader styles(part(path, QStringLiteral("xl/styles.xml")));
        for (bool inXfs = false; !styles.atEnd(); styles.readNext()) {
            const QXmlStreamAttributes a = styles.attributes();
            if (styles.isStartElement() && styles.name() == QLatin1String("numFmt"))
                codes.insert(a.value("numFmtId").toString(), a.value("formatCode").toString());
            if (styles.name() == QLatin1String("cellXfs"))
                inXfs = styles.isStartElement();
            if (inXfs && styles.isStartElement() && styles.name() == QLatin1String("xf"))
                styleFormats << a.value("numFmtId").toString();
        }
        QXmlStreamReader sheet(part(path, QStringLiteral("xl/worksheets/sheet1.xml")));
        for (QString ref; !sheet.atEnd(); sheet.readNext()) {
            if (!sheet.isStartElement())
                continue;
            const QXmlStreamAttributes a = sheet.attributes();
            const auto name = sheet.name();
            if (name == QLatin1String("c")) {
                ref = a.value("r").toString();
                cells[ref].type = a.hasAttribute("t") ? a.value("t").toString() : QStringLiteral("n");
                cells[ref].format = codes.value(styleFormats.value(a.value("s").toInt()));
            } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
                cells[ref].value = sheet.readElementText();
            } else if (name == QLatin1String("f")) {
                cells[ref].formula = sheet.readElementText();
            } else if (name == QLatin1String("col")) { // the width as set; the file adds a few pixels
                widths[a.value("min").toInt()] = static_cast<int>(a.value("width").toDouble());
            }
        }
        if (cells.isEmpty() || sheet.hasError())
            qFatal("%s is no readable workbook", qPrintable(path));
    }

    XlsxCell at(const QString &ref) const { return cells.value(ref); }

    QHash<QString, XlsxCell> cells;
    QHash<int, int> widths; // column (from 1) -> width in characters

private:
    static QByteArray part(const QString &path, const QString &name)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, name});
        unzip.waitForFinished(30000);
        return unzip.readAllStandardOutput();
    }
};
