#include "domain/reports/reporttemplate.h"

#include <QHash>

namespace {

// Section heights at design.
constexpr double kPageHeaderHeight = 1360;
constexpr double kDetailHeight = 345;
constexpr double kPageFooterHeight = 420;
constexpr double kReportFooterHeight = 480;

} // namespace

ReportTemplate::ReportTemplate()
{
    resetToDesign();
}

void ReportTemplate::add(const ReportControl &c)
{
    m_controls.append(c);
}

void ReportTemplate::resetToDesign()
{
    m_controls.clear();
    using K = ReportControl::Kind;
    // Every control at its design place; labels add their caption and alignment.
    auto control = [](K kind, const QString &name, int section, double left, double top, double width, double height,
                      bool visible) {
        ReportControl c;
        c.name = name;
        c.kind = kind;
        c.section = section;
        c.left = left;
        c.top = top;
        c.width = width;
        c.height = height;
        c.visible = visible;
        return c;
    };
    auto label = [&control](const QString &name, int section, const QString &caption, double left, double top,
                            double width, double height, bool visible, int align = ReportControl::AlignLeft) {
        ReportControl c = control(K::Label, name, section, left, top, width, height, visible);
        c.caption = caption;
        c.alignment = align;
        return c;
    };
    auto line = [&control](const QString &name, int section, double left, double top, double width, double height,
                           bool visible) { return control(K::Line, name, section, left, top, width, height, visible); };

    // Page header: title, subtitle, run date, column captions and their rules.
    add(label(QStringLiteral("labbt"), 2, QStringLiteral("报表"), 0, 60, 8595, 375, true, ReportControl::AlignCenter));
    add(label(QStringLiteral("labname"), 2, QStringLiteral("NAME"), 45, 420, 8535, 345, false));
    add(label(QStringLiteral("label200"), 2, QStringLiteral("%D"), 0, 630, 1440, 240, true));
    for (int j = 1; j <= kSlots; ++j)
        add(label(QStringLiteral("label%1").arg(j), 2, QString(), 0, 960, 1060, 285, false, ReportControl::AlignCenter));
    add(line(QStringLiteral("line1"), 2, 0, 900, 0, 0, true));
    add(line(QStringLiteral("line2"), 2, 0, 1340, 0, 0, true));
    add(line(QStringLiteral("line35"), 2, 0, 900, 0, 440, true)); // left border
    for (int j = 1; j <= kSlots; ++j)
        add(line(QStringLiteral("line%1").arg(j + 35), 2, 0, 900, 0, 440, false));

    // Detail: one row per record.
    for (int j = 1; j <= kSlots; ++j)
        add(control(K::TextBox, QStringLiteral("text%1").arg(j), 3, 0, 30, 1060, 285, false));
    add(line(QStringLiteral("line3"), 3, 0, kDetailHeight, 0, 0, true));
    add(line(QStringLiteral("line4"), 3, 0, 0, 0, kDetailHeight, true)); // left border
    for (int j = 1; j <= kSlots; ++j)
        add(line(QStringLiteral("line%1").arg(j + 4), 3, 0, 0, 0, kDetailHeight, false));

    // Report footer: the totals.
    add(label(QStringLiteral("label_total"), 5, QStringLiteral("合  计"), 60, 90, 900, 330, true));
    for (int j = 1; j <= kSlots; ++j) {
        ReportControl sum = control(K::Function, QStringLiteral("function%1").arg(j), 5, 0, 90, 1060, 330, false);
        sum.alignment = ReportControl::AlignRight;
        add(sum);
    }
    add(line(QStringLiteral("line66"), 5, 0, 450, 0, 0, false));
    add(line(QStringLiteral("line67"), 5, 0, 0, 0, 450, true)); // left border
    for (int j = 1; j <= kSlots + 1; ++j)
        add(line(QStringLiteral("line%1").arg(j + 67), 5, 0, 0, 0, 450, false));
}

ReportControl *ReportTemplate::control(const QString &name)
{
    for (ReportControl &c : m_controls)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

const ReportControl *ReportTemplate::control(const QString &name) const
{
    return const_cast<ReportTemplate *>(this)->control(name);
}

double ReportTemplate::sectionHeight(int section) const
{
    switch (section) {
    case 2:
        return kPageHeaderHeight;
    case 3:
        return kDetailHeight;
    case 4:
        return kPageFooterHeight;
    case 5:
        return kReportFooterHeight;
    default:
        return 0;
    }
}

QString ReportTemplate::dump() const
{
    QString out;
    for (const ReportControl &c : m_controls) {
        if (!c.visible)
            continue;
        out += QStringLiteral("%1 s%2 left=%3 top=%4 width=%5 height=%6")
                   .arg(c.name)
                   .arg(c.section)
                   .arg(c.left)
                   .arg(c.top)
                   .arg(c.width)
                   .arg(c.height);
        if (!c.caption.isEmpty())
            out += QStringLiteral(" caption=\"%1\"").arg(c.caption);
        if (c.kind != ReportControl::Kind::Line)
            out += QStringLiteral(" align=%1").arg(c.alignment);
        if (!c.dataField.isEmpty())
            out += QStringLiteral(" field=%1").arg(c.dataField);
        if (!c.format.isEmpty())
            out += QStringLiteral(" format=%1").arg(c.format);
        out += QLatin1Char('\n');
    }
    return out;
}
