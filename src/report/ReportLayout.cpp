#include "ReportLayout.h"

#include "ReportData.h"
#include "TextMeasure.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {
// Spaces inside a cell and between bands, in layout units (10 units make a point).
constexpr double kCellPadX = 40;
constexpr double kCellPadY = 22;
constexpr double kHeadingPadY = 40;
constexpr double kTitleGap = 90;
constexpr double kFooterGap = 60;
constexpr double kHeaderLineGap = 14;
constexpr double kHeaderRuleGap = 70;
constexpr double kHeaderRule = 14;
constexpr double kHeaderColumnGap = 240;
constexpr double kRuleWidth = 8;
constexpr double kThinRule = 3;
constexpr int kProgressStep = 4096;

QFont reportFont(const ReportDefinition& report, double points, bool bold)
{
    QFont font;
    font.setFamilies(report.fontFamilies);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(std::max(1, int(std::lround(points * 10))));
    font.setBold(bold);
    // Unhinted outlines measure alike at every size, so the page looks the same everywhere.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

// One line per value: line breaks, tabs and other control characters become blanks.
QString oneLine(QString text)
{
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    return text;
}
} // namespace

ReportLayout::ReportLayout(const ReportDefinition& report, const ReportDataSource& data,
                           const QDate& printDate)
    : ReportLayout(report, data, ReportContext{printDate, {}, {}, {}})
{
}

ReportLayout::ReportLayout(const ReportDefinition& report, const ReportDataSource& data,
                           ReportContext context)
    : m_report(report), m_data(data), m_context(std::move(context)), m_date(m_context.printDate)
{
    if (m_report.columnsFollowList && m_context.listColumns) {
        QList<ReportColumn> shown = m_context.listColumns(m_report.columns);
        if (!shown.isEmpty())
            m_report.columns = std::move(shown);
    }
    QSizeF paper = QPageSize(report.pageSize).size(QPageSize::Point) * 10;
    if (report.orientation == QPageLayout::Landscape)
        paper.transpose();
    m_paper = QRectF(QPointF(0, 0), paper);
    const QMarginsF& mm = report.margins;
    m_content = m_paper.adjusted(mm.left() * kUnitsPerMm, mm.top() * kUnitsPerMm, -mm.right() * kUnitsPerMm,
                                 -mm.bottom() * kUnitsPerMm);
    m_titleFont = reportFont(report, report.titleSize, true);
    m_subtitleFont = reportFont(report, report.subtitleSize, false);
    m_headingFont = reportFont(report, report.headingSize, true);
    m_detailFont = reportFont(report, report.detailSize, false);
    m_footerFont = reportFont(report, report.footerSize, false);
    m_detail = std::make_unique<TextMeasure>(m_detailFont);
    m_heading = std::make_unique<TextMeasure>(m_headingFont);
    m_pageStart = {0, 0};
}

ReportLayout::~ReportLayout() = default;

QPageLayout ReportLayout::pageLayout() const
{
    return QPageLayout(QPageSize(m_report.pageSize), m_report.orientation, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

QString ReportLayout::fillIn(const QString& text, int page, int* formFields, int* filledFields) const
{
    QString out;
    out.reserve(text.size() + 16);
    int forms = 0;
    int filled = 0;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('{'), at);
        const qsizetype close = open < 0 ? -1 : text.indexOf(QLatin1Char('}'), open + 1);
        if (close < 0) {
            out += QStringView(text).mid(at);
            break;
        }
        out += QStringView(text).mid(at, open - at);
        const QString name = text.mid(open + 1, close - open - 1);
        if (name == QLatin1String("page")) {
            out += QString::number(page + 1);
        } else if (name == QLatin1String("pages")) {
            out += QString::number(pageCount());
        } else if (name == QLatin1String("count")) {
            out += QString::number(m_rows);
        } else if (name == QLatin1String("date")) {
            out += m_date.toString(m_report.dateFormat);
        } else if (const auto value = m_context.values.constFind(name); value != m_context.values.cend()) {
            const QString v = oneLine(*value).trimmed();
            ++forms;
            if (!v.isEmpty())
                ++filled;
            out += v;
        } else {
            out += QStringView(text).mid(open, close - open + 1); // not ours: left as written
        }
        at = close + 1;
    }
    if (formFields)
        *formFields = forms;
    if (filledFields)
        *filledFields = filled;
    return out;
}

QString ReportLayout::headerLine(const QString& text) const
{
    int forms = 0;
    int filled = 0;
    const QString line = fillIn(text, 0, &forms, &filled);
    return (forms > 0 && filled == 0) || line.trimmed().isEmpty() ? QString() : line;
}

bool ReportLayout::usesFormFields() const
{
    QStringList texts = {m_report.title, m_report.subtitle, m_report.footerLeft, m_report.footerRight};
    for (const QList<ReportTextLine>* lines : {&m_report.headerLeft, &m_report.headerRight})
        for (const ReportTextLine& l : *lines)
            texts << l.text;
    for (const QString& text : texts) {
        int forms = 0;
        fillIn(text, 0, &forms);
        if (forms > 0)
            return true;
    }
    return false;
}

void ReportLayout::layOutHeader()
{
    auto lay = [this](const QList<ReportTextLine>& lines, std::vector<HeaderLine>& out) {
        out.clear();
        for (const ReportTextLine& l : lines) {
            HeaderLine h;
            h.text = headerLine(l.text);
            if (h.text.isNull())
                continue;
            h.font = reportFont(m_report, l.size > 0 ? l.size : m_report.subtitleSize, l.bold);
            h.color = l.color.isValid() ? l.color : QColor(0x33, 0x3a, 0x45);
            h.height = QFontMetricsF(h.font).height();
            out.push_back(std::move(h));
        }
    };
    lay(m_report.headerLeft, m_headerLeft);
    lay(m_report.headerRight, m_headerRight);
    auto height = [](const std::vector<HeaderLine>& lines) {
        double h = 0;
        for (const HeaderLine& l : lines)
            h += l.height + (h > 0 ? kHeaderLineGap : 0);
        return h;
    };
    const double block = std::max(height(m_headerLeft), height(m_headerRight));
    m_headerBand = block > 0 ? block + kHeaderRuleGap + kHeaderRule + kHeaderRuleGap : 0;
}

QString ReportLayout::prepare(const ReportProgress& progress, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    m_pageStart = {0, 0};
    m_rows = 0;
    m_omitted = 0;
    m_rowOf.clear();

    // Columns: their fields, then widths scaled together to fill the printable width.
    const QStringList fields = m_data.fieldNames();
    m_columns.clear();
    double total = 0;
    for (int i = 0; i < m_report.columns.size(); ++i) {
        const ReportColumn& c = m_report.columns.at(i);
        const int field = fields.indexOf(c.field);
        if (field < 0)
            return QStringLiteral(
                       "报表 “%1” 的第 %2 列引用了数据连接 “%3” 中不存在的字段 “%4”（可用字段：%5）")
                .arg(m_report.name)
                .arg(i + 1)
                .arg(m_data.name(), c.field, fields.join(QStringLiteral("、")));
        m_columns.push_back({field, 0, c.width});
        total += c.width;
    }
    double left = m_content.left();
    for (Column& c : m_columns) {
        c.width = c.width / total * m_content.width();
        c.left = left;
        left += c.width;
    }
    for (size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].width <= 2 * kCellPadX + 20)
            return QStringLiteral("报表 “%1” 的第 %2 列太窄，放不下任何文字").arg(m_report.name).arg(i + 1);

    // The fields the rules that leave rows out look at.
    std::vector<int> omitField;
    for (int i = 0; i < m_report.omit.size(); ++i) {
        const int field = fields.indexOf(m_report.omit.at(i).field);
        if (field < 0)
            return QStringLiteral(
                       "报表 “%1” 的第 %2 条略去条件引用了数据连接 “%3” 中不存在的字段 “%4”（可用字段：%5）")
                .arg(m_report.name)
                .arg(i + 1)
                .arg(m_data.name(), m_report.omit.at(i).field, fields.join(QStringLiteral("、")));
        omitField.push_back(field);
    }

    // Bands.
    layOutHeader();
    const QFontMetricsF title(m_titleFont), subtitle(m_subtitleFont), heading(m_headingFont),
        detail(m_detailFont), footer(m_footerFont);
    m_detailLine = detail.height();
    m_titleBand = 0;
    if (!m_report.title.isEmpty())
        m_titleBand += title.height();
    if (!m_report.subtitle.isEmpty())
        m_titleBand += subtitle.height() + 20;
    if (m_titleBand > 0)
        m_titleBand += kTitleGap;
    m_headingBand = heading.height() + 2 * kHeadingPadY;
    m_footerBand =
        (m_report.footerLeft.isEmpty() && m_report.footerRight.isEmpty()) ? 0 : kFooterGap + footer.height();

    const double bodyHeight = m_content.height() - m_headingBand - m_footerBand;
    int tallest = 1;
    for (const ReportColumn& c : m_report.columns)
        if (c.wrap)
            tallest = std::max(tallest, c.maxLines);
    if (bodyHeight - m_headerBand - m_titleBand < tallest * m_detailLine + 2 * kCellPadY)
        return QStringLiteral("报表 “%1” 的页面太小，放不下标题、列标题、页脚和一行明细").arg(m_report.name);

    // Pages: the rows that fit below the bands, the header and title on the first page only.
    // Rows that a rule leaves out are passed over.
    const int dataRows = m_data.rowCount();
    const qint64 printDay = m_date.isValid() ? m_date.toJulianDay() : -1;
    std::vector<int> starts{0};
    double room = bodyHeight - m_headerBand - m_titleBand;
    bool anyWrap = tallest > 1;
    const double plainRow = m_detailLine + 2 * kCellPadY;
    int row = 0; // printed rows so far
    for (int source = 0; source < dataRows; ++source) {
        if (progress && source % kProgressStep == 0 && !progress(source, dataRows)) {
            if (cancelled)
                *cancelled = true;
            m_rows = 0;
            m_rowOf.clear();
            return {};
        }
        if (!omitField.empty()) {
            bool omitted = false;
            for (size_t i = 0; i < omitField.size() && !omitted; ++i)
                omitted = reportformat::meets(m_report.omit.at(int(i)), m_data.value(source, omitField[i]),
                                              printDay, m_context.readDay);
            if (omitted)
                continue;
            m_rowOf.push_back(source);
        }
        const double h = anyWrap ? rowHeight(row) : plainRow;
        if (h > room + 1e-6) {
            starts.push_back(row);
            room = bodyHeight;
        }
        room -= h;
        ++row;
    }
    m_rows = row;
    m_omitted = dataRows - row;
    starts.push_back(m_rows);
    m_pageStart = std::move(starts);
    if (progress)
        progress(dataRows, dataRows);
    return {};
}

QString ReportLayout::cellText(int row, int column) const
{
    return oneLine(reportformat::cellText(m_data.value(dataRow(row), m_columns[size_t(column)].field),
                                          m_report.columns.at(column)));
}

QStringList ReportLayout::cellLines(const QString& text, int column) const
{
    const ReportColumn& c = m_report.columns.at(column);
    const double width = m_columns[size_t(column)].width - 2 * kCellPadX;
    return m_detail->wrapped(text, width, c.wrap ? c.maxLines : 1);
}

int ReportLayout::rowLines(int row) const
{
    int lines = 1;
    for (int i = 0; i < m_report.columns.size(); ++i)
        if (m_report.columns.at(i).wrap)
            lines = std::max(lines, int(cellLines(cellText(row, i), i).size()));
    return lines;
}

double ReportLayout::rowHeight(int row) const
{
    return rowLines(row) * m_detailLine + 2 * kCellPadY;
}

void ReportLayout::drawCell(QPainter& painter, const QRectF& rect, int column, const QStringList& lines,
                            const TextMeasure& measure) const
{
    const QFontMetricsF& fm = measure.metrics();
    const double lineHeight = fm.height();
    const Qt::Alignment align = m_report.columns.at(column).align;
    const double left = rect.left() + kCellPadX;
    const double room = rect.width() - 2 * kCellPadX;
    // A single line sits in the middle of the cell; more start at its top.
    double top = lines.size() == 1 ? rect.center().y() - lineHeight / 2 : rect.top() + kCellPadY;
    for (const QString& text : lines) {
        double x = left;
        if (align & (Qt::AlignRight | Qt::AlignHCenter)) {
            const double free = room - measure.width(text);
            x += (align & Qt::AlignRight) ? free : free / 2;
        }
        measure.draw(painter, QPointF(x, top + fm.ascent()), text);
        top += lineHeight;
    }
}

void ReportLayout::paintPage(QPainter& painter, int page) const
{
    if (page < 0 || page >= pageCount())
        return;
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.fillRect(m_paper, Qt::white);
    painter.setPen(Qt::black);
    double y = m_content.top();

    // Header block and its rule, first page only: lines at the left, lines at the right.
    if (page == 0 && m_headerBand > 0) {
        double rightWidth = 0;
        for (const HeaderLine& l : m_headerRight)
            rightWidth = std::max(rightWidth, QFontMetricsF(l.font).horizontalAdvance(l.text));
        rightWidth = std::min(rightWidth, m_content.width() / 2);
        const double leftWidth = m_content.width() - (rightWidth > 0 ? rightWidth + kHeaderColumnGap : 0);
        auto paintLines = [&](const std::vector<HeaderLine>& lines, double width, Qt::Alignment align) {
            double top = y;
            for (const HeaderLine& l : lines) {
                painter.setFont(l.font);
                painter.setPen(l.color);
                const QFontMetricsF fm(l.font);
                const QRectF rect(align == Qt::AlignRight ? m_content.right() - width : m_content.left(), top,
                                  width, l.height);
                painter.drawText(rect, align | Qt::AlignVCenter,
                                 fm.elidedText(l.text, Qt::ElideRight, width));
                top += l.height + kHeaderLineGap;
            }
        };
        paintLines(m_headerLeft, leftWidth, Qt::AlignLeft);
        paintLines(m_headerRight, rightWidth, Qt::AlignRight);
        const double ruleY = y + m_headerBand - kHeaderRuleGap - kHeaderRule / 2;
        painter.setPen(QPen(m_report.rule.isValid() ? m_report.rule : QColor(Qt::black), kHeaderRule));
        painter.drawLine(QPointF(m_content.left(), ruleY), QPointF(m_content.right(), ruleY));
        painter.setPen(Qt::black);
        y += m_headerBand;
    }

    // Title band, first page only.
    if (page == 0 && m_titleBand > 0) {
        const double bandTop = y;
        const Qt::Alignment align = m_report.titleAlign | Qt::AlignVCenter;
        if (!m_report.title.isEmpty()) {
            painter.setFont(m_titleFont);
            const double h = QFontMetricsF(m_titleFont).height();
            painter.drawText(QRectF(m_content.left(), y, m_content.width(), h), align,
                             fillIn(m_report.title, page));
            y += h;
        }
        if (!m_report.subtitle.isEmpty()) {
            painter.setFont(m_subtitleFont);
            painter.setPen(QColor(0x55, 0x5f, 0x6d));
            const double h = QFontMetricsF(m_subtitleFont).height();
            painter.drawText(QRectF(m_content.left(), y + 20, m_content.width(), h), align,
                             fillIn(m_report.subtitle, page));
            painter.setPen(Qt::black);
        }
        y = bandTop + m_titleBand;
    }

    // Column heading band, on every page.
    const double tableLeft = m_content.left();
    const double tableWidth = m_content.width();
    const QRectF headingRect(tableLeft, y, tableWidth, m_headingBand);
    if (m_report.headingBackground.isValid())
        painter.fillRect(headingRect, m_report.headingBackground);
    painter.setFont(m_headingFont);
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const QRectF cell(m_columns[i].left, y, m_columns[i].width, m_headingBand);
        const QString text =
            m_heading->elided(m_report.columns.at(int(i)).heading, cell.width() - 2 * kCellPadX);
        drawCell(painter, cell, int(i), {text}, *m_heading);
    }
    y += m_headingBand;
    painter.setPen(QPen(m_report.rule.isValid() ? m_report.rule : QColor(Qt::black), kRuleWidth));
    painter.drawLine(QPointF(tableLeft, y), QPointF(tableLeft + tableWidth, y));
    painter.setPen(Qt::black);

    // Detail rows, every second one shaded.
    painter.setFont(m_detailFont);
    for (int row = firstRow(page); row < endRow(page); ++row) {
        QList<QStringList> cells;
        int lines = 1;
        for (int i = 0; i < int(m_columns.size()); ++i) {
            cells << cellLines(cellText(row, i), i);
            lines = std::max(lines, int(cells.last().size()));
        }
        const double h = lines * m_detailLine + 2 * kCellPadY;
        if (row % 2 == 1 && m_report.shading.isValid())
            painter.fillRect(QRectF(tableLeft, y, tableWidth, h), m_report.shading);
        for (int i = 0; i < int(m_columns.size()); ++i)
            drawCell(painter, QRectF(m_columns[size_t(i)].left, y, m_columns[size_t(i)].width, h), i,
                     cells.at(i), *m_detail);
        y += h;
    }
    if (endRow(page) > firstRow(page)) {
        painter.setPen(QPen(m_report.rule.isValid() ? m_report.rule : QColor(Qt::black), kThinRule));
        painter.drawLine(QPointF(tableLeft, y), QPointF(tableLeft + tableWidth, y));
    }

    // Page footer at the foot of the printable area.
    if (m_footerBand > 0) {
        const double top = m_content.bottom() - m_footerBand + kFooterGap / 2;
        painter.setPen(QPen(m_report.rule.isValid() ? m_report.rule : QColor(Qt::black), kThinRule));
        painter.drawLine(QPointF(tableLeft, top), QPointF(tableLeft + tableWidth, top));
        painter.setPen(QColor(0x33, 0x33, 0x33));
        painter.setFont(m_footerFont);
        const QRectF band(tableLeft, m_content.bottom() - QFontMetricsF(m_footerFont).height(), tableWidth,
                          QFontMetricsF(m_footerFont).height());
        painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, fillIn(m_report.footerLeft, page));
        painter.drawText(band, Qt::AlignRight | Qt::AlignVCenter, fillIn(m_report.footerRight, page));
    }
    painter.restore();
}

void ReportLayout::paintOnDevice(QPainter& painter, const QPagedPaintDevice& device, int page) const
{
    painter.save();
    painter.scale(device.logicalDpiX() / kUnitsPerInch, device.logicalDpiY() / kUnitsPerInch);
    paintPage(painter, page);
    painter.restore();
}
