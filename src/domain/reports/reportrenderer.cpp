#include "domain/reports/reportrenderer.h"

#include "domain/reports/reportchartpainter.h"
#include "domain/reports/reportdocument.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QTextLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

namespace {

constexpr double kTwipsPerPoint = 20.0;
constexpr double kMarginMm = 15.0;

const QFont &reportFont(double points, bool bold = false)
{
    // A handful of sizes, made once: a long report sets a font for every cell.
    static QHash<int, QFont> fonts;
    const int key = static_cast<int>(points * 4) * 2 + (bold ? 1 : 0);
    auto it = fonts.find(key);
    if (it == fonts.end()) {
        QFont f(QStringLiteral("WenQuanYi Micro Hei"));
        f.setStyleHint(QFont::SansSerif);
        // The painter works in twips, so the size is given in twips too.
        f.setPixelSize(static_cast<int>(points * kTwipsPerPoint));
        f.setBold(bold);
        it = fonts.insert(key, f);
    }
    return *it;
}

Qt::Alignment textAlignment(const ReportControl &c)
{
    switch (c.alignment) {
    case ReportControl::AlignRight:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ReportControl::AlignCenter:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// Texts of one font laid out once: report cells repeat (dates, airlines,
// amounts), and laying a text out costs more than drawing its glyphs. A text
// of characters the font has, in scripts that need no shaping, is set glyph
// by glyph from the font's own advances; any other goes through a full layout.
class LaidOutTexts
{
public:
    struct Text
    {
        QList<QGlyphRun> runs;
        double width = 0;
        double ascent = 0;
        // Set glyph by glyph in the cache's own font, in whole twips from the text's origin.
        bool plain = false;
    };

    static LaidOutTexts &of(const QFont &font)
    {
        // One cache per font: a page switches fonts between its header, rows and totals.
        static std::vector<std::unique_ptr<LaidOutTexts>> byFont;
        auto it = std::find_if(byFont.begin(), byFont.end(), [&](const auto &texts) { return texts->m_font == font; });
        if (it == byFont.end())
            it = byFont.insert(byFont.end(), nullptr);
        if (!*it || (*it)->m_texts.size() > 50000)
            it->reset(new LaidOutTexts(font));
        return **it;
    }
    // The text as drawn in at most `room` (cut with an ellipsis when longer).
    const Text &fitted(const QString &text, double room)
    {
        const Text &whole = laidOut(text);
        if (whole.width <= room)
            return whole;
        return laidOut(m_metrics.elidedText(text, Qt::ElideRight, room));
    }
    double ascent() const { return m_metrics.ascent(); }
    double descent() const { return m_metrics.descent(); }

private:
    struct Glyph
    {
        quint32 index = 0;
        double advance = 0;
    };

    explicit LaidOutTexts(const QFont &font) : m_font(font), m_metrics(font), m_raw(QRawFont::fromFont(font)) {}

    const Text &laidOut(const QString &text)
    {
        auto it = m_texts.find(text);
        if (it == m_texts.end())
            it = m_texts.insert(text, setGlyphByGlyph(text).value_or(shaped(text)));
        return *it;
    }

    std::optional<Text> setGlyphByGlyph(const QString &text)
    {
        if (!m_raw.isValid())
            return std::nullopt;
        QList<quint32> indexes;
        QList<QPointF> positions;
        indexes.reserve(text.size());
        positions.reserve(text.size());
        const double ascent = m_raw.ascent();
        double x = 0;
        for (QChar c : text) {
            const Glyph *glyph = glyphOf(c);
            if (!glyph)
                return std::nullopt;
            indexes << glyph->index;
            // Whole twips: a PDF writes each glyph's position, and a whole number is a short one.
            positions << QPointF(std::round(x), std::round(ascent));
            x += glyph->advance;
        }
        Text laid;
        laid.width = x;
        laid.ascent = ascent;
        laid.plain = true;
        if (!indexes.isEmpty()) {
            QGlyphRun run;
            run.setRawFont(m_raw);
            run.setGlyphIndexes(indexes);
            run.setPositions(positions);
            laid.runs << run;
        }
        return laid;
    }

    // The font's glyph for a character set on its own, or null when the
    // character needs shaping or another font.
    const Glyph *glyphOf(QChar c)
    {
        auto it = m_glyphs.find(c.unicode());
        if (it == m_glyphs.end()) {
            std::optional<Glyph> glyph;
            const QChar::Script script = c.script();
            const bool plain = !c.isSurrogate() && c.category() != QChar::Mark_NonSpacing
                               && (script == QChar::Script_Common || script == QChar::Script_Latin
                                   || script == QChar::Script_Han || script == QChar::Script_Bopomofo);
            quint32 index = 0;
            int count = 1;
            if (plain && m_raw.glyphIndexesForChars(&c, 1, &index, &count) && count == 1 && index != 0) {
                QPointF advance;
                m_raw.advancesForGlyphIndexes(&index, &advance, 1);
                glyph = Glyph{index, advance.x()};
            }
            it = m_glyphs.insert(c.unicode(), glyph);
        }
        return it->has_value() ? &**it : nullptr;
    }

    Text shaped(const QString &text) const
    {
        QTextLayout layout(text, m_font);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        Text laid;
        laid.runs = layout.glyphRuns();
        laid.width = line.isValid() ? line.naturalTextWidth() : 0;
        laid.ascent = line.isValid() ? line.ascent() : 0;
        return laid;
    }

    QFont m_font;
    QFontMetricsF m_metrics;
    QRawFont m_raw;
    QHash<char16_t, std::optional<Glyph>> m_glyphs;
    QHash<QString, Text> m_texts;
};

} // namespace

// A page's rules and the glyphs of its plain texts, gathered and drawn in one
// call per font and one for the rules when the page is done: a PDF writes
// every call with its own set-up, and a page has a few hundred cells and
// rules but only two or three fonts and one pen.
class PageBatch
{
public:
    void add(const QGlyphRun &run, QPointF origin)
    {
        auto it = std::find_if(m_runs.begin(), m_runs.end(),
                               [&](const Gathered &g) { return g.font == run.rawFont(); });
        if (it == m_runs.end())
            it = m_runs.insert(m_runs.end(), Gathered{run.rawFont(), {}, {}});
        it->indexes += run.glyphIndexes();
        for (const QPointF &at : run.positions())
            it->positions << at + origin;
    }
    void addLine(const QLineF &line) { m_lines << line; }
    void draw(QPainter &painter)
    {
        painter.drawLines(m_lines);
        m_lines.clear();
        for (const Gathered &g : m_runs) {
            QGlyphRun run;
            run.setRawFont(g.font);
            run.setGlyphIndexes(g.indexes);
            run.setPositions(g.positions);
            painter.drawGlyphRun(QPointF(), run);
        }
        m_runs.clear();
    }

private:
    struct Gathered
    {
        QRawFont font;
        QList<quint32> indexes;
        QList<QPointF> positions;
    };
    std::vector<Gathered> m_runs;
    QList<QLineF> m_lines;
};

namespace {

// One line in a box, 10 twips in from each side, cut with an ellipsis when too long.
void drawText(QPainter &painter, const QRectF &rect, const QString &text, Qt::Alignment align, PageBatch &batch)
{
    if (text.isEmpty())
        return;
    LaidOutTexts &texts = LaidOutTexts::of(painter.font());
    const LaidOutTexts::Text &shown = texts.fitted(text, std::max(0.0, rect.width() - 20));
    double x = rect.left() + 10;
    if (align & Qt::AlignRight)
        x = rect.right() - 10 - shown.width;
    else if (align & Qt::AlignHCenter)
        x = rect.left() + (rect.width() - shown.width) / 2;
    const double baseline = rect.top() + (rect.height() - texts.ascent() - texts.descent()) / 2 + texts.ascent();
    const QPointF origin(std::round(x), std::round(baseline - shown.ascent));
    for (const QGlyphRun &run : shown.runs) {
        if (shown.plain)
            batch.add(run, origin);
        else
            painter.drawGlyphRun(origin, run);
    }
}

} // namespace

ReportRenderer::ReportRenderer(const ReportDocument &document, const std::optional<QPageLayout> &chosen,
                               bool withChart)
    : m_doc(document)
{
    if (chosen && chosen->isValid()) {
        m_layout = *chosen;
    } else {
        const QMarginsF margins(kMarginMm, kMarginMm, kMarginMm, kMarginMm);
        m_layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins, QPageLayout::Millimeter);
        const double portraitWidth = m_layout.paintRect(QPageLayout::Inch).width() * 1440.0;
        if (m_doc.contentWidth() > portraitWidth)
            m_layout.setOrientation(QPageLayout::Landscape);
    }
    m_printableHeight = m_layout.paintRect(QPageLayout::Inch).height() * 1440.0;

    const double body = m_printableHeight - m_doc.sectionHeight(2) - m_doc.sectionHeight(4);
    m_rowsPerPage = std::max(1, static_cast<int>(std::floor(body / m_doc.sectionHeight(3))));
    // A document still reading its rows gets the pages of the rows it has;
    // the totals and the chart come with the last row.
    m_complete = m_doc.isComplete();
    m_rows = m_doc.rowsRead();
    m_chart = m_complete && withChart ? m_doc.chart() : nullptr;
    m_pages = std::max(1, (m_rows + m_rowsPerPage - 1) / m_rowsPerPage);
    // The totals go under the last row; when they do not fit there they get a page of their own.
    const int lastRows = m_rows - (m_pages - 1) * m_rowsPerPage;
    if (m_complete && m_rows > 0 && lastRows * m_doc.sectionHeight(3) + m_doc.sectionHeight(5) > body)
        ++m_pages;
    // The chart has the last page to itself.
    if (m_chart)
        ++m_pages;
}

QPageLayout ReportRenderer::pageLayout() const
{
    return m_layout;
}

void ReportRenderer::render(QPagedPaintDevice *device, int first, int last) const
{
    device->setPageLayout(m_layout);
    first = std::clamp(first, 1, m_pages);
    last = last < 0 ? m_pages : std::clamp(last, first, m_pages);
    QPainter painter(device);
    const double scale = device->logicalDpiX() / 1440.0;
    for (int page = first - 1; page < last; ++page) {
        if (page > first - 1)
            device->newPage();
        painter.save();
        painter.scale(scale, scale);
        paintPage(painter, page);
        painter.restore();
    }
}

void ReportRenderer::paintPage(QPainter &painter, int page) const
{
    painter.setPen(QPen(Qt::black, 15));
    if (m_chart && page == m_pages - 1) {
        const double width = m_layout.paintRect(QPageLayout::Inch).width() * 1440.0;
        const double height = m_printableHeight - m_doc.sectionHeight(4);
        ReportChartPainter::paint(painter, *m_chart, m_doc.title().trimmed() + QStringLiteral(" 图表"),
                                  QRectF(0, 0, width, height));
        paintPageFooter(painter, page, height);
        return;
    }
    PageBatch batch;
    double top = 0;
    paintSection(painter, 2, top, -1, batch);
    top += m_doc.sectionHeight(2);

    const int first = page * m_rowsPerPage;
    const int last = std::min(m_rows, first + m_rowsPerPage);
    for (int row = first; row < last; ++row) {
        paintSection(painter, 3, top, row, batch);
        top += m_doc.sectionHeight(3);
    }
    const bool totalsHere = m_complete && page == m_pages - (m_chart ? 2 : 1);
    if (totalsHere && m_rows > 0)
        paintSection(painter, 5, top, -1, batch);
    batch.draw(painter);
    paintPageFooter(painter, page, m_printableHeight - m_doc.sectionHeight(4));
}

void ReportRenderer::paintSection(QPainter &painter, int section, double top, int row, PageBatch &batch) const
{
    int box = 0;
    for (const ReportControl &c : m_doc.section(section)) {
        const QRectF rect(c.left, top + c.top, c.width, c.height);
        switch (c.kind) {
        case ReportControl::Kind::Line:
            batch.addLine(QLineF(c.left, top + c.top, c.left + c.width, top + c.top + c.height));
            break;
        case ReportControl::Kind::Label: {
            const bool title = c.name.compare(QLatin1String("labbt"), Qt::CaseInsensitive) == 0;
            painter.setFont(title ? reportFont(16, true) : reportFont(section == 2 ? 9.5 : 9, section == 2));
            drawText(painter, rect, m_doc.captionOf(c), textAlignment(c), batch);
            break;
        }
        case ReportControl::Kind::TextBox:
            if (painter.font() != reportFont(9))
                painter.setFont(reportFont(9));
            if (row >= 0)
                drawText(painter, rect, m_doc.cell(row, box), textAlignment(c), batch);
            ++box;
            break;
        case ReportControl::Kind::Function:
            painter.setFont(reportFont(9, true));
            drawText(painter, rect, m_doc.sumText(c.name), textAlignment(c), batch);
            break;
        }
    }
}

void ReportRenderer::paintPageFooter(QPainter &painter, int page, double top) const
{
    painter.setFont(reportFont(9));
    const double width = m_layout.paintRect(QPageLayout::Inch).width() * 1440.0;
    painter.drawText(QRectF(0, top, width, m_doc.sectionHeight(4)), Qt::AlignCenter,
                     QStringLiteral("第 %1 页 共 %2 页").arg(page + 1).arg(m_pages));
}
