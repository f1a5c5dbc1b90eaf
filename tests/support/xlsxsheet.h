#pragma once

// Reads a written workbook back: the cells of its first sheet (value, type,
// formula, number format), and where its panes are frozen. Through `unzip`
// and QXmlStreamReader, independent of the library that wrote it.
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

class XlsxSheet
{
public:
    explicit XlsxSheet(const QString &path)
    {
        QHash<QString, QString> codes; // numFmtId -> formatCode
        QStringList styleFormats;      // cellXfs index -> numFmtId
        QXmlStreamReader styles(part(path, QStringLiteral("xl/styles.xml")));
        bool inXfs = false;
        while (!styles.atEnd()) {
            styles.readNext();
            if (styles.isStartElement() && styles.name() == QLatin1String("numFmt"))
                codes.insert(styles.attributes().value("numFmtId").toString(),
                             styles.attributes().value("formatCode").toString());
            if (styles.name() == QLatin1String("cellXfs"))
                inXfs = styles.isStartElement();
            if (inXfs && styles.isStartElement() && styles.name() == QLatin1String("xf"))
                styleFormats << styles.attributes().value("numFmtId").toString();
        }
        QXmlStreamReader sheet(part(path, QStringLiteral("xl/worksheets/sheet1.xml")));
        QString ref;
        while (!sheet.atEnd()) {
            sheet.readNext();
            if (!sheet.isStartElement())
                continue;
            const auto name = sheet.name();
            if (name == QLatin1String("pane")) {
                frozenAt = sheet.attributes().value("topLeftCell").toString();
            } else if (name == QLatin1String("c")) {
                ref = sheet.attributes().value("r").toString();
                XlsxCell &cell = cells[ref];
                cell.type = sheet.attributes().value("t").toString();
                if (cell.type.isEmpty())
                    cell.type = QStringLiteral("n");
                const int style = sheet.attributes().value("s").toInt();
                if (style < styleFormats.size())
                    cell.format = codes.value(styleFormats.at(style));
            } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
                cells[ref].value = sheet.readElementText();
            } else if (name == QLatin1String("f")) {
                cells[ref].formula = sheet.readElementText();
            }
        }
        ok = !cells.isEmpty() && !sheet.hasError();
    }

    XlsxCell at(const QString &ref) const { return cells.value(ref); }

    bool ok = false;
    QString frozenAt; // the first cell under and right of the frozen panes
    QHash<QString, XlsxCell> cells;

private:
    static QByteArray part(const QString &path, const QString &name)
    {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, name});
        unzip.waitForFinished(30000);
        return unzip.readAllStandardOutput();
    }
};
