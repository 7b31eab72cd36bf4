#pragma once

#include "ReportProject.h"

#include <QDate>
#include <QFont>
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
    ~ReportLayout();

    // Finds the columns' fields and breaks the rows into pages. Empty on success (or when
    // cancelled: *cancelled is then true), else what is wrong with the report.
    QString prepare(const ReportProgress& progress = {}, bool* cancelled = nullptr);

    const ReportDefinition& report() const { return m_report; }
    int pageCount() const { return int(m_pageStart.size()) - 1; }
    int rowCount() const { return m_rows; }
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

    // Replaces {page}, {pages}, {count} and {date} in a band's text.
    QString fillIn(const QString& text, int page) const;

private:
    struct Column
    {
        int field = -1;
        double left = 0;
        double width = 0;
    };
    double rowHeight(int row) const;
    int rowLines(int row) const;
    QString cellText(int row, int column) const;
    QStringList cellLines(const QString& text, int column) const;
    void drawCell(QPainter& painter, const QRectF& rect, int column, const QStringList& lines,
                  const TextMeasure& measure) const;

    ReportDefinition m_report;
    const ReportDataSource& m_data;
    QDate m_date;
    int m_rows = 0;
    QRectF m_paper;
    QRectF m_content;
    QFont m_titleFont, m_subtitleFont, m_headingFont, m_detailFont, m_footerFont;
    std::unique_ptr<TextMeasure> m_detail, m_heading;
    double m_detailLine = 0;
    double m_titleBand = 0;
    double m_headingBand = 0;
    double m_footerBand = 0;
    std::vector<Column> m_columns;
    std::vector<int> m_pageStart; // first row of each page, then the row count
};
