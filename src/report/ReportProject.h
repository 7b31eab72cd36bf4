#pragma once

#include <QColor>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

// One column of the detail band.
struct ReportColumn
{
    QString field;    // field of the data connection
    QString heading;  // text of the column heading band
    double width = 0; // millimetres; the columns are scaled together to fill the printable width
    Qt::Alignment align = Qt::AlignLeft;
    bool wrap = false; // long values wrap (up to maxLines lines), else they are cut short with "…"
    int maxLines = 3;
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

    QString title;    // first page only; {count} and {date} are replaced
    QString subtitle; // under the title
    QList<ReportColumn> columns;
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
    static constexpr int kVersion = 1;
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
