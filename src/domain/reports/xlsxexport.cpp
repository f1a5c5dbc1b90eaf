#include "domain/reports/xlsxexport.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringEncoder>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <dlfcn.h>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

// libxlsxwriter 1.1.4 packs the book at zlib's default level, fixed in the
// library, and that compression was the largest part of an export. It opens each
// part of the zip through this one minizip call; the program's own definition
// is the one the library reaches, and it hands the call on to minizip's with
// the fastest level instead: a sheet packs in under half the time, the file
// a quarter larger. The types are minizip's (zipFile, zip_fileinfo, uInt, uLong).
extern "C" int zipOpenNewFileInZip4_64(void *file, const char *filename, const void *fileInfo,
                                       const void *extraLocal, unsigned sizeExtraLocal, const void *extraGlobal,
                                       unsigned sizeExtraGlobal, const char *comment, int method, int level, int raw,
                                       int windowBits, int memLevel, int strategy, const char *password,
                                       unsigned long crcForCrypting, unsigned long versionMadeBy,
                                       unsigned long flagBase, int zip64)
{
    constexpr int kDeflated = 8, kDefaultLevel = -1, kFastestLevel = 1; // zlib's Z_DEFLATED, levels
    using Open = decltype(&zipOpenNewFileInZip4_64);
    static const auto minizip = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!minizip)
        return -104; // ZIP_INTERNALERROR: the export fails with the library's message
    if (method == kDeflated && level == kDefaultLevel)
        level = kFastestLevel;
    return minizip(file, filename, fileInfo, extraLocal, sizeExtraLocal, extraGlobal, sizeExtraGlobal, comment, method,
                   level, raw, windowBits, memLevel, strategy, password, crcForCrypting, versionMadeBy, flagBase, zip64);
}

namespace {

constexpr int kProgressStep = 2000;
constexpr int kCellCharacters = 32767; // the most a spreadsheet cell holds
// Column widths in characters of Excel's default font: the longest cell and
// a little room, never so narrow that a caption vanishes nor so wide that a
// remark pushes every other column off the screen.
constexpr double kMinWidth = 6, kMaxWidth = 60, kWidthPadding = 2;
constexpr int kGeneralDigits = 11; // what a "General" cell shows of a long fraction
// Packing the book after the rows takes about 0.7 of the time of writing them;
// the bar gives it that share, and is told about it this often.
constexpr double kPackingShare = 0.7;
constexpr std::chrono::milliseconds kPackingTell(50);

// What a thread of this process has read so far by the kernel's count; -1 where it keeps none.
qint64 bytesReadBy(pid_t thread)
{
    char name[64];
    std::snprintf(name, sizeof name, "/proc/self/task/%d/io", static_cast<int>(thread));
    FILE *io = thread > 0 ? std::fopen(name, "re") : nullptr;
    long long bytes = -1;
    if (io && std::fscanf(io, "rchar: %lld", &bytes) != 1)
        bytes = -1;
    if (io)
        std::fclose(io);
    return bytes;
}

// Width of a text in characters, a Chinese (wide) character counted as two; the longest line.
int textWidth(QStringView text)
{
    int widest = 0, line = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n') {
            line = 0;
            continue;
        }
        const bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
                          || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F)
                          || (u >= 0xFF00 && u <= 0xFF60) || (u >= 0xFFE0 && u <= 0xFFE6) || c.isHighSurrogate();
        line += c.isLowSurrogate() ? 0 : wide ? 2 : 1;
        widest = std::max(widest, line);
    }
    return widest;
}

// Decimal places a report format shows ("#####0.00" 2, "#####0.00%" 4 of the
// value, which shows as a percentage); -1 for none given.
int decimalsOf(const QString &reportFormat)
{
    if (reportFormat.isEmpty())
        return -1;
    const qsizetype point = reportFormat.indexOf(QLatin1Char('.'));
    int places = 0;
    for (qsizetype i = point + 1; point >= 0 && i < reportFormat.size() && reportFormat.at(i) == QLatin1Char('0'); ++i)
        ++places;
    return places + (reportFormat.contains(QLatin1Char('%')) ? 2 : 0);
}

// Digits of a whole number below 1e18.
int digitsOf(double whole)
{
    int digits = 1;
    for (double bound = 10; whole >= bound && digits < 18; bound *= 10)
        ++digits;
    return digits;
}

// How a column's numbers are held and how wide they show: rounded to the
// places of the report's format, and as long as the text a spreadsheet shows.
class NumberColumn
{
public:
    explicit NumberColumn(const QString &reportFormat)
        : m_decimals(decimalsOf(reportFormat)), m_percent(reportFormat.contains(QLatin1Char('%'))),
          m_scale(m_decimals < 0 ? 1 : std::pow(10.0, m_decimals))
    {
    }

    double rounded(double value) const { return m_decimals < 0 ? value : std::round(value * m_scale) / m_scale; }

    // A column as wide as `width` made as wide as the number shows, if wider.
    int widened(int width, double number) const
    {
        if (m_decimals < 0) {
            if (width >= kGeneralDigits)
                return width;
            // Whole numbers as the file's text has them, without formatting them.
            if (number == std::floor(number) && std::fabs(number) < 1e15)
                return std::max(width, (number < 0) + digitsOf(std::fabs(number)));
            return std::max(width, std::min<int>(static_cast<int>(ExportValue::text(number).size()), kGeneralDigits));
        }
        // A sign, the whole digits (one more for rounding up) and the places: formatted only when it may be wider.
        const double shown = std::fabs(m_percent ? number * 100 : number);
        const int places = m_percent ? m_decimals - 2 : m_decimals;
        if (shown < 1e15 && 1 + digitsOf(shown + 1) + (places > 0 ? places + 1 : 0) + m_percent <= width)
            return width;
        return std::max(width, static_cast<int>(QString::number(m_percent ? number * 100 : number, 'f', places).size())
                                   + m_percent);
    }

private:
    int m_decimals;
    bool m_percent;
    double m_scale;
};

// The cells of the rows on their way to the library: read and converted on the
// caller's thread, written on a second one, so that the library's formatting
// and its temporary file's writes go on beside the reading. They travel in
// batches, and at most two wait: memory stays the same whatever the row count.
class CellPipe
{
public:
    explicit CellPipe(lxw_worksheet *sheet) : m_sheet(sheet), m_writer([this] { drain(); }) {}
    ~CellPipe() { finish(); }

    void number(lxw_row_t row, int column, double value, lxw_format *format)
    {
        m_filling.cells.push_back({row, static_cast<lxw_col_t>(column), format, value, -1});
    }
    void text(lxw_row_t row, int column, QStringView text)
    {
        std::string &bytes = m_filling.text;
        const auto at = static_cast<qsizetype>(bytes.size());
        bytes.resize(at + m_toUtf8.requiredSpace(text.size()) + 1);
        char *end = m_toUtf8.appendToBuffer(bytes.data() + at, text);
        *end++ = '\0';
        bytes.resize(end - bytes.data());
        m_filling.cells.push_back({row, static_cast<lxw_col_t>(column), nullptr, 0, at});
    }
    // A row is whole: a full batch goes to the writer, after waiting while two are not yet written.
    void endRow()
    {
        if (m_filling.cells.size() < kBatchCells)
            return;
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ready.size() < 2; });
        m_ready.push_back(std::move(m_filling));
        m_filling = {};
        if (!m_spare.empty()) {
            m_filling = std::move(m_spare.back());
            m_spare.pop_back();
        }
        m_changed.notify_all();
    }
    // Every cell written; the sheet is the caller's again.
    void finish()
    {
        if (!m_writer.joinable())
            return;
        {
            const std::lock_guard lock(m_mutex);
            m_ready.push_back(std::move(m_filling));
            m_closing = true;
        }
        m_changed.notify_all();
        m_writer.join();
    }

private:
    static constexpr size_t kBatchCells = 16384;
    struct Cell
    {
        lxw_row_t row;
        lxw_col_t column;
        lxw_format *format;
        double number;
        qsizetype text; // where the cell's UTF-8 starts in the batch's text, -1 for a number
    };
    struct Batch
    {
        std::vector<Cell> cells;
        std::string text;
    };

    void drain()
    {
        for (;;) {
            Batch batch;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return !m_ready.empty() || m_closing; });
                if (m_ready.empty())
                    return;
                batch = std::move(m_ready.front());
                m_ready.pop_front();
            }
            for (const Cell &c : batch.cells) {
                if (c.text < 0)
                    worksheet_write_number(m_sheet, c.row, c.column, c.number, c.format);
                else
                    worksheet_write_string(m_sheet, c.row, c.column, batch.text.data() + c.text, nullptr);
            }
            batch.cells.clear();
            batch.text.clear();
            const std::lock_guard lock(m_mutex);
            m_spare.push_back(std::move(batch));
            m_changed.notify_all();
        }
    }

    lxw_worksheet *m_sheet;
    QStringEncoder m_toUtf8{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
    Batch m_filling;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_ready;
    std::vector<Batch> m_spare;
    bool m_closing = false;
    std::thread m_writer; // last: it starts once everything above is there
};

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
    QVector<NumberColumn> numbers;
    QVector<int> widths(columns);
    for (int c = 0; c < columns; ++c) {
        const ExportColumn &col = table.columns.at(c);
        const QString code = spreadsheetFormat(col.numberFormat);
        cellFormats[c] = formats.number(code);
        totalFormats[c] = formats.number(code, true);
        numbers.append(NumberColumn(col.numberFormat));
        widths[c] = textWidth(col.caption);
    }
    lxw_format *dateFormat = formats.number(QStringLiteral("yyyy-mm-dd"));
    lxw_format *timeFormat = formats.number(QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    // Text goes to the library as UTF-8 through one buffer, not a new array a cell.
    QStringEncoder toUtf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    QByteArray utf8;
    const auto encoded = [&](QStringView text) {
        utf8.resize(toUtf8.requiredSpace(text.size()) + 1);
        *toUtf8.appendToBuffer(utf8.data(), text) = '\0';
        return utf8.constData();
    };

    lxw_row_t row = 0;
    if (!table.title.trimmed().isEmpty())
        worksheet_write_string(sheet, row++, 0, encoded(table.title.trimmed()), formats.title());
    if (!table.subtitle.isEmpty())
        worksheet_write_string(sheet, row++, 0, encoded(table.subtitle), nullptr);
    for (int c = 0; c < columns; ++c)
        worksheet_write_string(sheet, row, static_cast<lxw_col_t>(c), encoded(table.columns.at(c).caption),
                               formats.caption());
    ++row;
    worksheet_freeze_panes(sheet, row, 0);

    // Widths are measured as the cells are written, and set before the book closes.
    CellPipe pipe(sheet);
    const auto writeDate = [&](lxw_row_t r, int c, const ExportValue::DateParts &d) {
        lxw_datetime dt{d.year, d.month, d.day, d.hour, d.minute, static_cast<double>(d.second)};
        pipe.number(r, c, lxw_datetime_to_excel_datetime(&dt), d.hasTime ? timeFormat : dateFormat);
        widths[c] = std::max(widths.at(c), d.hasTime ? 19 : 10);
    };
    const auto writeText = [&](lxw_row_t r, int c, QStringView text) {
        // A longer text is cut to what a cell holds; the library would drop it whole.
        if (text.size() > kCellCharacters) {
            text.truncate(kCellCharacters);
            if (text.back().isHighSurrogate())
                text.chop(1);
        }
        pipe.text(r, c, text);
        // A character shows at most two wide: a text that short leaves the width as it is.
        if (2 * text.size() > widths.at(c) && widths.at(c) < kMaxWidth)
            widths[c] = std::max(widths.at(c), textWidth(text));
    };

    const lxw_row_t firstData = row;
    const int total = table.rowCount + static_cast<int>(table.rowCount * kPackingShare);
    QVector<double> sums(columns, 0.0);
    bool cancelled = false;
    for (int r = 0; r < table.rowCount && !cancelled; ++r, ++row) {
        for (int c = 0; c < columns; ++c) {
            const QVariant value = table.cell(r, c);
            ExportValue::DateParts date;
            switch (value.typeId()) {
            case QMetaType::UnknownType:
                break;
            case QMetaType::QString: {
                const auto *text = static_cast<const QString *>(value.constData());
                if (ExportValue::dateParts(*text, date))
                    writeDate(row, c, date);
                else if (!text->isEmpty())
                    writeText(row, c, *text);
                break;
            }
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                // The parts as the value has them: a spreadsheet's dates know no time zone.
                const bool hasTime = value.typeId() == QMetaType::QDateTime;
                const QDate d = hasTime ? value.toDateTime().date() : value.toDate();
                const QTime t = hasTime ? value.toDateTime().time() : QTime(0, 0);
                writeDate(row, c, {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second(), hasTime});
                break;
            }
            default:
                if (ExportValue::isNumber(value)) {
                    // Held as the report shows it: 85.00000000000001 in a two-decimal column is 85.
                    const double number = numbers.at(c).rounded(value.toDouble());
                    sums[c] += number;
                    pipe.number(row, c, number, cellFormats.at(c));
                    widths[c] = numbers.at(c).widened(widths.at(c), number);
                } else if (const QString text = value.toString(); !text.isEmpty()) {
                    writeText(row, c, text);
                }
            }
        }
        pipe.endRow();
        if (progress && (r + 1) % kProgressStep == 0 && !progress(r + 1, total))
            cancelled = true;
    }
    pipe.finish();
    if (cancelled) {
        lxw_workbook_free(book);
        QFile::remove(part);
        result.cancelled = true;
        return result;
    }

    if (table.hasTotals() && table.rowCount > 0) {
        if (!table.columns.first().total)
            worksheet_write_string(sheet, row, 0, encoded(table.totalCaption), formats.caption());
        for (int c = 0; c < columns; ++c) {
            if (!table.columns.at(c).total)
                continue;
            const QString name = columnName(c);
            const QString formula = QStringLiteral("=SUM(%1%2:%1%3)").arg(name).arg(firstData + 1).arg(row);
            const double sum = numbers.at(c).rounded(sums.at(c));
            worksheet_write_formula_num(sheet, row, static_cast<lxw_col_t>(c), encoded(formula), totalFormats.at(c),
                                        sum);
            widths[c] = numbers.at(c).widened(widths.at(c), sum);
        }
    }
    for (int c = 0; c < columns; ++c)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                             std::clamp(widths.at(c) + kWidthPadding, kMinWidth, kMaxWidth), nullptr);

    // The library packs the book in one call that tells nothing: the sheet assembled
    // from its temporary file, then compressed into the zip. It runs on a thread of its
    // own while this one goes on telling the progress, reckoned from what that thread
    // has read: the sheet about twice over. Cancelled then, the file is let finish and removed.
    const double sheetBytes = sheet->optimize_tmpfile ? std::max<double>(ftello(sheet->optimize_tmpfile), 1) : 1;
    std::atomic<pid_t> packer{0};
    std::future<lxw_error> packing = std::async(std::launch::async, [book, &packer] {
        packer = gettid();
        return workbook_close(book);
    });
    for (bool telling = static_cast<bool>(progress); telling;) {
        const bool packed = packing.wait_for(kPackingTell) == std::future_status::ready;
        const double share = packed ? 1 : std::clamp(bytesReadBy(packer) / (2 * sheetBytes), 0.0, 1.0);
        cancelled = !progress(table.rowCount + static_cast<int>((total - table.rowCount) * share), total);
        telling = !packed && !cancelled;
    }
    const lxw_error closed = packing.get();
    if (cancelled) {
        QFile::remove(part);
        result.cancelled = true;
        return result;
    }
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
