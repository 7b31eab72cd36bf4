#pragma once

#include <QColor>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

// How a column writes values that read as numbers: "12000" as "12,000 元".
struct ReportNumberFormat
{
    bool enabled = false;  // values are read as numbers only when the column asks for it
    bool grouping = false; // thousands separated by ","
    int decimals = -1;     // that many decimals, rounded; -1: as many as the value has
    QString prefix;        // written before the number ("¥")
    QString suffix;        // written after it (" 元"); a value already written with it is still a number
    QString otherwise;     // written for values that are not numbers (an empty one included)
    bool hasOtherwise = false;
};

// One entry of a column's value mapping: a value printed as another text. A key that is a
// number also matches the values that read as the same number ("0" matches "0.00").
struct ReportValueMap
{
    QString from;
    QString to;
    bool numeric = false;
    double number = 0;
};

// A rule that leaves rows out of a report.
struct ReportCondition
{
    enum Test
    {
        Empty,       // the value is empty (blanks only)
        Equals,      // the value is the text given
        Contains,    // the value contains the text given
        LessThan,    // the value is a number below the one given
        GreaterThan, // the value is a number above the one given
        Before,      // the value is a date before the one given
        After        // the value is a date after the one given
    };
    QString field;
    Test test = Equals;
    QString value; // for Before and After "{date}" (the day of printing) or a date yyyy-MM-dd
};

// One line of the header block.
struct ReportTextLine
{
    QString text;
    double size = 0; // points; 0: the subtitle size
    bool bold = false;
    QColor color; // invalid: the header's own
};

// One column of the detail band.
struct ReportColumn
{
    QString field;    // field of the data connection
    QString heading;  // text of the column heading band
    double width = 0; // millimetres; the columns are scaled together to fill the printable width
    Qt::Alignment align = Qt::AlignLeft;
    bool wrap = false; // long values wrap (up to maxLines lines), else they are cut short with "…"
    int maxLines = 3;
    ReportNumberFormat number;
    QList<ReportValueMap> map;
};

// One report of a project: page, bands, columns and fonts.
struct ReportDefinition
{
    QString name;
    QString dataName; // the data connection it runs over
    QPageSize::PageSizeId pageSize = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{15, 15, 15, 15}; // millimetres

    QStringList fontFamilies; // the first one installed wins
    double titleSize = 16;    // points
    double subtitleSize = 9;
    double headingSize = 10;
    double detailSize = 9;
    double footerSize = 8;

    // First page only, above the title: lines at the left and at the right, with a rule under
    // them. A line whose form fields ({seller} ...) all come out empty is left out.
    QList<ReportTextLine> headerLeft;
    QList<ReportTextLine> headerRight;
    QString title;    // first page only; {count} and {date} are replaced
    QString subtitle; // under the title
    Qt::Alignment titleAlign = Qt::AlignHCenter;
    QList<ReportCondition> omit; // a row that meets any of these is left out
    QList<ReportColumn> columns;
    // The columns follow those the program's list shows ("columnsFollow": "list"; see
    // ReportContext::listColumns): the ones given here are the columns of a list as it first shows.
    bool columnsFollowList = false;
    QColor headingBackground{0xe4, 0xea, 0xf2};
    QColor shading{0xf4, 0xf6, 0xf9}; // every second detail row; invalid for none
    QColor rule{0x8a, 0x99, 0xad};    // lines under the heading band and above the footer
    QString footerLeft;               // {page}, {pages}, {date} and {count} are replaced
    QString footerRight;
    QString dateFormat = QStringLiteral("yyyy-MM-dd");
};

// A report project file: one or more reports, one of them the default. The file format is
// described in FORMAT.md beside this file.
class ReportProject
{
public:
    static constexpr int kVersion = 3;
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    // Reads and checks the project file. Empty on success, else a message naming the file and
    // what is wrong; the project then stays closed.
    QString open(const QString& path);
    void close();
    bool isOpen() const { return m_open; }
    QString filePath() const { return m_path; }

    // Parses a project held in memory; path only names it in messages.
    QString parse(const QByteArray& text, const QString& path);

    const QList<ReportDefinition>& reports() const { return m_reports; }
    const ReportDefinition* defaultReport() const;
    const ReportDefinition* report(const QString& name) const;

    // The message for a fault found in this project's file.
    QString faultText(const QString& what) const;

private:
    QString m_path;
    bool m_open = false;
    QList<ReportDefinition> m_reports;
    int m_default = -1;
};
