#include "reports/xlsxexport.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cstdio>

namespace {

constexpr int kProgressStep = 2000;
constexpr double kTwipsPerPixel = 15;
constexpr double kPixelsPerCharacter = 7; // Excel's default font
constexpr int kCellCharacters = 32767;    // the most a spreadsheet cell holds

lxw_datetime toLxw(const QDateTime &dt)
{
    return {dt.date().year(), dt.date().month(), dt.date().day(), dt.time().hour(), dt.time().minute(),
            static_cast<double>(dt.time().second())};
}

// The formats of one workbook, made once each.
class Formats
{
public:
    explicit Formats(lxw_workbook *book) : m_book(book) {}

    lxw_format *title()
    {
        if (!m_title) {
            m_title = workbook_add_format(m_book);
            format_set_bold(m_title);
            format_set_font_size(m_title, 14);
        }
        return m_title;
    }
    lxw_format *caption()
    {
        if (!m_caption) {
            m_caption = workbook_add_format(m_book);
            format_set_bold(m_caption);
            format_set_align(m_caption, LXW_ALIGN_CENTER);
            format_set_bottom(m_caption, LXW_BORDER_THIN);
        }
        return m_caption;
    }
    // A number format by its spreadsheet code, bold for totals; null for "General".
    lxw_format *number(const QString &code, bool bold = false)
    {
        if (code.isEmpty() && !bold)
            return nullptr;
        const QString key = code + (bold ? QStringLiteral("|b") : QString());
        lxw_format *&f = m_numbers[key];
        if (!f) {
            f = workbook_add_format(m_book);
            if (!code.isEmpty())
                format_set_num_format(f, code.toUtf8().constData());
            if (bold)
                format_set_bold(f);
        }
        return f;
    }

private:
    lxw_workbook *m_book;
    lxw_format *m_title = nullptr;
    lxw_format *m_caption = nullptr;
    QHash<QString, lxw_format *> m_numbers;
};

QString columnName(int column)
{
    char name[8];
    lxw_col_to_name(name, static_cast<lxw_col_t>(column), 0);
    return QString::fromLatin1(name);
}

} // namespace

QString XlsxExport::spreadsheetFormat(const QString &reportFormat)
{
    // The report's '#' places print nothing; a spreadsheet's "0" does the same for these.
    QString code = reportFormat;
    while (code.startsWith(QLatin1Char('#')))
        code.remove(0, 1);
    return code;
}

ExportResult XlsxExport::write(const ExportTable &table, const QString &path, const ExportProgress &progress)
{
    ExportResult result;
    // A sheet holds 1,048,576 rows; rows past that would be lost without a word.
    const int headerRows = 1 + !table.title.trimmed().isEmpty() + !table.subtitle.isEmpty();
    if (static_cast<qint64>(table.rowCount) + headerRows + table.hasTotals() > LXW_ROW_MAX) {
        result.error = QStringLiteral("共 %1 行，超过 Excel 工作表的行数上限，请改用 CSV 导出。").arg(table.rowCount);
        return result;
    }
    // Written under a name of its own beside the target, renamed only when whole.
    const QFileInfo target(path);
    QString part;
    {
        QTemporaryFile probe(target.absoluteDir().filePath(target.fileName() + QStringLiteral(".XXXXXX")));
        if (!probe.open()) {
            result.error = probe.errorString();
            return result;
        }
        part = probe.fileName();
    }
    const QByteArray partName = QFile::encodeName(part);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(partName.constData(), &options);
    if (!book) {
        result.error = QStringLiteral("无法创建文件");
        return result;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    Formats formats(book);

    const int columns = static_cast<int>(table.columns.size());
    QVector<lxw_format *> cellFormats(columns), totalFormats(columns);
    for (int c = 0; c < columns; ++c) {
        const ExportColumn &col = table.columns.at(c);
        const QString code = spreadsheetFormat(col.numberFormat);
        cellFormats[c] = formats.number(code);
        totalFormats[c] = formats.number(code, true);
        const double characters = std::max(1.0, (col.widthTwips / kTwipsPerPixel - 5) / kPixelsPerCharacter);
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), characters, nullptr);
    }
    lxw_format *dateFormat = formats.number(QStringLiteral("yyyy-mm-dd"));
    lxw_format *timeFormat = formats.number(QStringLiteral("yyyy-mm-dd hh:mm:ss"));

    lxw_row_t row = 0;
    if (!table.title.trimmed().isEmpty())
        worksheet_write_string(sheet, row++, 0, table.title.trimmed().toUtf8().constData(), formats.title());
    if (!table.subtitle.isEmpty())
        worksheet_write_string(sheet, row++, 0, table.subtitle.toUtf8().constData(), nullptr);
    for (int c = 0; c < columns; ++c)
        worksheet_write_string(sheet, row, static_cast<lxw_col_t>(c), table.columns.at(c).caption.toUtf8().constData(),
                               formats.caption());
    ++row;
    worksheet_freeze_panes(sheet, row, 0);

    const lxw_row_t firstData = row;
    QVector<double> sums(columns, 0.0);
    bool cancelled = false;
    for (int r = 0; r < table.rowCount && !cancelled; ++r, ++row) {
        for (int c = 0; c < columns; ++c) {
            const QVariant value = ExportValue::typed(table.cell(r, c));
            const auto col = static_cast<lxw_col_t>(c);
            switch (value.typeId()) {
            case QMetaType::UnknownType:
                break;
            case QMetaType::QDate: {
                const lxw_datetime dt = toLxw(QDateTime(value.toDate(), QTime(0, 0)));
                worksheet_write_datetime(sheet, row, col, const_cast<lxw_datetime *>(&dt), dateFormat);
                break;
            }
            case QMetaType::QDateTime: {
                const lxw_datetime dt = toLxw(value.toDateTime());
                worksheet_write_datetime(sheet, row, col, const_cast<lxw_datetime *>(&dt), timeFormat);
                break;
            }
            default:
                if (ExportValue::isNumber(value)) {
                    const double number = value.toDouble();
                    sums[c] += number;
                    worksheet_write_number(sheet, row, col, number, cellFormats.at(c));
                } else if (QString text = value.toString(); !text.isEmpty()) {
                    // A longer text is cut to what a cell holds; the library would drop it whole.
                    if (text.size() > kCellCharacters) {
                        text.truncate(kCellCharacters);
                        if (text.back().isHighSurrogate())
                            text.chop(1);
                    }
                    worksheet_write_string(sheet, row, col, text.toUtf8().constData(), nullptr);
                }
            }
        }
        if (progress && (r + 1) % kProgressStep == 0 && !progress(r + 1, table.rowCount))
            cancelled = true;
    }
    if (cancelled) {
        lxw_workbook_free(book);
        QFile::remove(part);
        result.cancelled = true;
        return result;
    }

    if (table.hasTotals() && table.rowCount > 0) {
        if (!table.columns.first().total)
            worksheet_write_string(sheet, row, 0, table.totalCaption.toUtf8().constData(), formats.caption());
        for (int c = 0; c < columns; ++c) {
            if (!table.columns.at(c).total)
                continue;
            const QString name = columnName(c);
            const QString formula = QStringLiteral("=SUM(%1%2:%1%3)").arg(name).arg(firstData + 1).arg(row);
            worksheet_write_formula_num(sheet, row, static_cast<lxw_col_t>(c), formula.toUtf8().constData(),
                                        totalFormats.at(c), sums.at(c));
        }
    }

    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        QFile::remove(part);
        result.error = QString::fromUtf8(lxw_strerror(closed));
        return result;
    }
    // rename() replaces an earlier file in one step.
    if (std::rename(partName.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        QFile::remove(part);
        result.error = QStringLiteral("无法写入文件“%1”").arg(path);
        return result;
    }
    result.ok = true;
    return result;
}
