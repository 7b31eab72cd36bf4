#pragma once

#include "ReportFormat.h"
#include "ReportProject.h"

#include <QDate>
#include <QFont>
#include <QHash>
#include <QPageLayout>
#include <QRectF>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPagedPaintDevice;
class ReportDataSource;
class TextMeasure;

// Told how far long work has come; returns false to cancel it.
using ReportProgress = std::function<bool(int done, int total)>;

// What a run of a report takes from the program around it besides the rows.
struct ReportContext
{
    QDate printDate;                // {date}, and the day the date conditions compare with
    QHash<QString, QString> values; // form fields: {name} in the report's texts
    ReportDayReader readDay;        // how date values are read; unset: yyyy-MM-dd
    // For a report whose columns follow the list: its columns as the list now shows them, made from the
    // report's own. Unset, or an empty answer: the report's own columns.
    std::function<QList<ReportColumn>(const QList<ReportColumn>& own)> listColumns;
};

// One report laid out over one data connection: paginated once, each page painted on demand,
// the same for the preview, the printer and PDF. Only the first row of every page is kept.
//
// Lengths are in layout units of 1/720 inch, on any device: the fonts are sized in those
// units, so that text measures the same on screen, printer and PDF.
class ReportLayout
{
public:
    static constexpr double kUnitsPerInch = 720;
    static constexpr double kUnitsPerMm = kUnitsPerInch / 25.4;

    ReportLayout(const ReportDefinition& report, const ReportDataSource& data, const QDate& printDate);
    ReportLayout(const ReportDefinition& report, const ReportDataSource& data, ReportContext context);
    ~ReportLayout();

    // Finds the columns' fields and breaks the rows into pages. Empty on success (or when
    // cancelled: *cancelled is then true), else what is wrong with the report.
    QString prepare(const ReportProgress& progress = {}, bool* cancelled = nullptr);

    const ReportDefinition& report() const { return m_report; }
    int pageCount() const { return int(m_pageStart.size()) - 1; }
    int rowCount() const { return m_rows; } // rows printed
    int omittedRows() const { return m_omitted; }
    const ReportContext& context() const { return m_context; }
    // The rows [first, last) on a page.
    int firstRow(int page) const { return m_pageStart.at(page); }
    int endRow(int page) const { return m_pageStart.at(page + 1); }
    // Paper size in layout units, and the page layout for a printer or PDF (no margins: the
    // report places everything itself).
    QSizeF paperSize() const { return m_paper.size(); }
    QPageLayout pageLayout() const;

    // Paints one page in layout units with the paper's top left corner at (0, 0).
    void paintPage(QPainter& painter, int page) const;
    // Paints one page on a printer or PDF page that the painter is open on.
    void paintOnDevice(QPainter& painter, const QPagedPaintDevice& device, int page) const;

    // Replaces {page}, {pages}, {count}, {date} and the form fields in a band's text; other
    // names in braces stay as written. *formFields counts the form fields met, *filledFields
    // those that were not empty.
    QString fillIn(const QString& text, int page, int* formFields = nullptr,
                   int* filledFields = nullptr) const;
    // Whether the report's texts name any of the context's form fields.
    bool usesFormFields() const;
    // A header line filled in, or a null text when it names form fields and all are empty.
    QString headerLine(const QString& text) const;

private:
    struct Column
    {
        int field = -1;
        double left = 0;
        double width = 0;
    };
    struct HeaderLine
    {
        QString text;
        QFont font;
        QColor color;
        double height = 0;
    };
    void layOutHeader();
    int dataRow(int row) const { return m_rowOf.empty() ? row : m_rowOf[size_t(row)]; }
    double rowHeight(int row) const;
    int rowLines(int row) const;
    QString cellText(int row, int column) const;
    QStringList cellLines(const QString& text, int column) const;
    void drawCell(QPainter& painter, const QRectF& rect, int column, const QStringList& lines,
                  const TextMeasure& measure) const;

    ReportDefinition m_report;
    const ReportDataSource& m_data;
    ReportContext m_context;
    QDate m_date;
    int m_rows = 0;
    int m_omitted = 0;
    std::vector<int> m_rowOf; // the data row of each printed row, when rows are left out
    QRectF m_paper;
    QRectF m_content;
    QFont m_titleFont, m_subtitleFont, m_headingFont, m_detailFont, m_footerFont;
    std::unique_ptr<TextMeasure> m_detail, m_heading;
    double m_detailLine = 0;
    double m_titleBand = 0;
    double m_headerBand = 0; // the header block with its rule, above the title
    std::vector<HeaderLine> m_headerLeft, m_headerRight;
    double m_headingBand = 0;
    double m_footerBand = 0;
    std::vector<Column> m_columns;
    std::vector<int> m_pageStart; // first row of each page, then the row count
};
