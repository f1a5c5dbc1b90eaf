#pragma once

#include <QString>
#include <QVector>


// One named control of the banded report template. Positions and sizes are
// in twips (1/1440 inch).
struct ReportControl
{
    enum class Kind { Label, TextBox, Line, Function };
    enum Alignment { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };

    QString name;
    Kind kind = Kind::Label;
    int section = 0; // 1 report header, 2 page header, 3 detail, 4 page footer, 5 report footer
    QString caption;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool visible = false;
    int alignment = AlignLeft;
    QString dataField;
    QString format; // number format of a text box ("#####0.00", "#####0.00%"), empty for none
};

// The program's banded report: five sections and a fixed stock of named
// controls (labbt, labname, label1..label30, label200, text1..text30,
// function1..function30, line1..line98). A layout generator sets the
// controls' properties on a template of its own and turns it, with the data,
// into a ReportDocument that the renderer draws.
class ReportTemplate
{
public:
    static constexpr int kSlots = 30;

    ReportTemplate();

    // Every control back to its design values (hidden slots, title at 0 ...).
    void resetToDesign();

    // Control by name, without regard to case; nullptr when there is none.
    ReportControl *control(const QString &name);
    const ReportControl *control(const QString &name) const;
    const QVector<ReportControl> &controls() const { return m_controls; }

    // Height of a section in twips.
    double sectionHeight(int section) const;

    // A plain-text listing of the visible controls, for checking a layout.
    QString dump() const;

private:
    void add(const ReportControl &c);
    QVector<ReportControl> m_controls;
};
