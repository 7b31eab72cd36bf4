#include "ReportProject.h"

#include "ReportFormat.h"
#include "sheet/SourceFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const QString kFormatName = QStringLiteral("lanshu-report");

// More lines than any page holds.
constexpr int kMaxLines = 1000;

// Whether d is a whole number from minimum to maximum (and so can be made an int when they are ints).
bool isWhole(double d, double minimum, double maximum)
{
    return d >= minimum && d <= maximum && d == std::floor(d);
}

// Line and column (both from 1) of a byte offset into UTF-8 text.
QString positionText(const QByteArray& text, int offset)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < offset && i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if ((uchar(c) & 0xc0) != 0x80) {
            ++column;
        }
    }
    return QStringLiteral("第 %1 行第 %2 列").arg(line).arg(column);
}

QString jsonErrorText(QJsonParseError::ParseError error)
{
    switch (error) {
    case QJsonParseError::UnterminatedObject:
        return QStringLiteral("对象缺少结尾的 “}”");
    case QJsonParseError::MissingNameSeparator:
        return QStringLiteral("名称后缺少 “:”");
    case QJsonParseError::UnterminatedArray:
        return QStringLiteral("数组缺少结尾的 “]”");
    case QJsonParseError::MissingValueSeparator:
        return QStringLiteral("缺少 “,”");
    case QJsonParseError::IllegalValue:
        return QStringLiteral("无法识别的值");
    case QJsonParseError::TerminationByNumber:
    case QJsonParseError::IllegalNumber:
        return QStringLiteral("数字写法有误");
    case QJsonParseError::IllegalEscapeSequence:
    case QJsonParseError::IllegalUTF8String:
    case QJsonParseError::UnterminatedString:
        return QStringLiteral("文本写法有误");
    default:
        return QStringLiteral("语法错误");
    }
}

// Reads the members of one report, collecting the first fault in *fault.
class ReportReader
{
public:
    explicit ReportReader(QString* fault) : m_fault(fault) {}

    bool failed() const { return !m_fault->isEmpty(); }
    void fail(const QString& text)
    {
        if (m_fault->isEmpty())
            *m_fault = text;
    }

    QString text(const QJsonObject& o, const char* key, const QString& where, bool required,
                 const QString& fallback = {})
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            if (required)
                fail(QStringLiteral("%1缺少 “%2”").arg(where, QLatin1String(key)));
            return fallback;
        }
        if (!v.isString())
            fail(QStringLiteral("%1的 “%2” 应为文本").arg(where, QLatin1String(key)));
        return v.toString();
    }

    double number(const QJsonObject& o, const char* key, const QString& where, double fallback,
                  double minimum, bool minimumIncluded = false)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isDouble()) {
            fail(QStringLiteral("%1的 “%2” 应为数字").arg(where, QLatin1String(key)));
            return fallback;
        }
        const double d = v.toDouble();
        if (d < minimum || (!minimumIncluded && d == minimum)) {
            fail(minimumIncluded
                     ? QStringLiteral("%1的 “%2” 不能小于 %3").arg(where, QLatin1String(key)).arg(minimum)
                     : QStringLiteral("%1的 “%2” 必须大于 %3").arg(where, QLatin1String(key)).arg(minimum));
            return fallback;
        }
        return d;
    }

    QColor color(const QJsonObject& o, const char* key, const QString& where, const QColor& fallback)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (v.isString() && v.toString().isEmpty())
            return {};
        const QColor c = QColor::fromString(v.toString());
        if (!v.isString() || !c.isValid())
            fail(QStringLiteral("%1的 “%2” 不是颜色（应写作 #rrggbb）").arg(where, QLatin1String(key)));
        return c;
    }

    QJsonObject object(const QJsonObject& o, const char* key, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isUndefined() && !v.isObject())
            fail(QStringLiteral("%1的 “%2” 应为对象").arg(where, QLatin1String(key)));
        return v.toObject();
    }

    bool flag(const QJsonObject& o, const char* key, const QString& where, bool fallback)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            fail(QStringLiteral("%1的 “%2” 应为 true 或 false").arg(where, QLatin1String(key)));
        return v.toBool();
    }

    QJsonArray array(const QJsonObject& o, const char* key, const QString& where)
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (!v.isUndefined() && !v.isArray())
            fail(QStringLiteral("%1的 “%2” 应为列表").arg(where, QLatin1String(key)));
        return v.toArray();
    }

    QList<ReportTextLine> lines(const QJsonObject& o, const char* key, const QString& where);
    ReportNumberFormat numberFormat(const QJsonObject& c, const QString& where);
    QList<ReportValueMap> valueMap(const QJsonObject& c, const QString& where);
    QList<ReportCondition> conditions(const QJsonObject& o, const QString& where);
    ReportDefinition read(const QJsonObject& o, int index);

private:
    QString* m_fault;
};

QList<ReportTextLine> ReportReader::lines(const QJsonObject& o, const char* key, const QString& where)
{
    QList<ReportTextLine> out;
    const QJsonArray list = array(o, key, where);
    for (int i = 0; i < list.size(); ++i) {
        const QString lineWhere = where + QStringLiteral("的第 %1 行").arg(i + 1);
        ReportTextLine line;
        if (list.at(i).isString()) {
            line.text = list.at(i).toString();
        } else if (list.at(i).isObject()) {
            const QJsonObject l = list.at(i).toObject();
            line.text = text(l, "text", lineWhere, true);
            line.size = number(l, "size", lineWhere, 0, 0);
            line.bold = flag(l, "bold", lineWhere, false);
            line.color = color(l, "color", lineWhere, {});
        } else {
            fail(QStringLiteral("%1应为文本或对象").arg(lineWhere));
            break;
        }
        out << line;
    }
    return out;
}

ReportNumberFormat ReportReader::numberFormat(const QJsonObject& c, const QString& where)
{
    ReportNumberFormat f;
    if (!c.contains(QLatin1String("number")))
        return f;
    const QJsonObject o = object(c, "number", where);
    const QString numberWhere = where + QStringLiteral("的数字格式");
    f.enabled = true;
    f.grouping = flag(o, "grouping", numberWhere, false);
    const double decimals = number(o, "decimals", numberWhere, -1, 0, true);
    // Checked before it is made an int: a huge number has no int.
    const bool wholeDecimals = decimals == -1 || isWhole(decimals, 0, 10);
    if (!wholeDecimals)
        fail(QStringLiteral("%1的 “decimals” 应为 0 到 10 的整数").arg(numberWhere));
    f.decimals = wholeDecimals ? int(decimals) : -1;
    f.prefix = text(o, "prefix", numberWhere, false);
    f.suffix = text(o, "suffix", numberWhere, false);
    f.hasOtherwise = o.contains(QLatin1String("otherwise"));
    f.otherwise = text(o, "otherwise", numberWhere, false);
    return f;
}

QList<ReportValueMap> ReportReader::valueMap(const QJsonObject& c, const QString& where)
{
    QList<ReportValueMap> out;
    const QJsonObject map = object(c, "map", where);
    for (auto it = map.begin(); it != map.end(); ++it) {
        if (!it.value().isString()) {
            fail(QStringLiteral("%1的 “map” 中 “%2” 的值应为文本").arg(where, it.key()));
            break;
        }
        ReportValueMap m;
        m.from = it.key().trimmed();
        m.to = it.value().toString();
        if (const auto n = reportformat::readNumber(m.from)) {
            m.numeric = true;
            m.number = n->value();
        }
        out << m;
    }
    return out;
}

QList<ReportCondition> ReportReader::conditions(const QJsonObject& o, const QString& where)
{
    static const QList<std::pair<QString, ReportCondition::Test>> kTests = {
        {QStringLiteral("empty"), ReportCondition::Empty},
        {QStringLiteral("equals"), ReportCondition::Equals},
        {QStringLiteral("contains"), ReportCondition::Contains},
        {QStringLiteral("lessThan"), ReportCondition::LessThan},
        {QStringLiteral("greaterThan"), ReportCondition::GreaterThan},
        {QStringLiteral("before"), ReportCondition::Before},
        {QStringLiteral("after"), ReportCondition::After},
    };
    QList<ReportCondition> out;
    const QJsonArray list = array(o, "omit", where);
    for (int i = 0; i < list.size() && !failed(); ++i) {
        const QString ruleWhere = where + QStringLiteral("的第 %1 条略去条件").arg(i + 1);
        if (!list.at(i).isObject()) {
            fail(QStringLiteral("%1应为对象").arg(ruleWhere));
            break;
        }
        const QJsonObject r = list.at(i).toObject();
        ReportCondition c;
        c.field = text(r, "field", ruleWhere, true);
        const QString test = text(r, "test", ruleWhere, true);
        auto known =
            std::find_if(kTests.begin(), kTests.end(), [&](const auto& t) { return t.first == test; });
        if (known == kTests.end()) {
            QStringList names;
            for (const auto& t : kTests)
                names << t.first;
            fail(QStringLiteral("%1的 “test” “%2” 不受支持（可用 %3）")
                     .arg(ruleWhere, test, names.join(QStringLiteral("、"))));
            break;
        }
        c.test = known->second;
        c.value = text(r, "value", ruleWhere, c.test != ReportCondition::Empty);
        if ((c.test == ReportCondition::LessThan || c.test == ReportCondition::GreaterThan) &&
            !reportformat::readNumber(c.value) && !failed())
            fail(QStringLiteral("%1的 “value” “%2” 不是数字").arg(ruleWhere, c.value));
        if ((c.test == ReportCondition::Before || c.test == ReportCondition::After) &&
            c.value != QLatin1String("{date}") && reportformat::isoDay(c.value) < 0 && !failed())
            fail(QStringLiteral("%1的 “value” “%2” 不是日期（应写作 yyyy-MM-dd 或 {date}）")
                     .arg(ruleWhere, c.value));
        out << c;
    }
    return out;
}

ReportDefinition ReportReader::read(const QJsonObject& o, int index)
{
    ReportDefinition r;
    QString where = QStringLiteral("第 %1 个报表").arg(index + 1);
    r.name = text(o, "name", where, true);
    if (!r.name.isEmpty())
        where = QStringLiteral("报表 “%1” ").arg(r.name);
    else
        fail(QStringLiteral("%1缺少名称").arg(where));
    r.dataName = text(o, "data", where, true);

    const QJsonObject page = object(o, "page", where);
    const QString pageWhere = where + QStringLiteral("的页面设置");
    const QString size = text(page, "size", pageWhere, false, QStringLiteral("A4"));
    if (size.compare(QLatin1String("A4"), Qt::CaseInsensitive) == 0)
        r.pageSize = QPageSize::A4;
    else if (size.compare(QLatin1String("Letter"), Qt::CaseInsensitive) == 0)
        r.pageSize = QPageSize::Letter;
    else
        fail(QStringLiteral("%1的纸张 “%2” 不受支持（可用 A4 或 Letter）").arg(pageWhere, size));
    const QString orientation = text(page, "orientation", pageWhere, false, QStringLiteral("portrait"));
    if (orientation == QLatin1String("landscape"))
        r.orientation = QPageLayout::Landscape;
    else if (orientation != QLatin1String("portrait"))
        fail(QStringLiteral("%1的方向 “%2” 不受支持（可用 portrait 或 landscape）")
                 .arg(pageWhere, orientation));
    const QJsonObject margins = object(page, "margins", pageWhere);
    const QString marginWhere = pageWhere + QStringLiteral("的边距");
    r.margins = QMarginsF(number(margins, "left", marginWhere, 15, 0, true),
                          number(margins, "top", marginWhere, 15, 0, true),
                          number(margins, "right", marginWhere, 15, 0, true),
                          number(margins, "bottom", marginWhere, 15, 0, true));

    const QJsonObject fonts = object(o, "fonts", where);
    const QString fontWhere = where + QStringLiteral("的字体");
    const QJsonValue families = fonts.value(QLatin1String("families"));
    if (families.isArray()) {
        for (const QJsonValue f : families.toArray())
            if (f.isString() && !f.toString().trimmed().isEmpty())
                r.fontFamilies << f.toString().trimmed();
    } else if (!families.isUndefined()) {
        fail(QStringLiteral("%1的 “families” 应为文本列表").arg(fontWhere));
    }
    r.titleSize = number(fonts, "title", fontWhere, r.titleSize, 0);
    r.subtitleSize = number(fonts, "subtitle", fontWhere, r.subtitleSize, 0);
    r.headingSize = number(fonts, "heading", fontWhere, r.headingSize, 0);
    r.detailSize = number(fonts, "detail", fontWhere, r.detailSize, 0);
    r.footerSize = number(fonts, "footer", fontWhere, r.footerSize, 0);

    const QJsonObject title = object(o, "title", where);
    r.title = text(title, "text", where + QStringLiteral("的标题"), false);
    r.subtitle = text(title, "subtitle", where + QStringLiteral("的标题"), false);
    const QString titleAlign =
        text(title, "align", where + QStringLiteral("的标题"), false, QStringLiteral("center"));
    if (titleAlign == QLatin1String("left"))
        r.titleAlign = Qt::AlignLeft;
    else if (titleAlign != QLatin1String("center"))
        fail(QStringLiteral("%1的标题对齐 “%2” 不受支持（可用 left 或 center）").arg(where, titleAlign));

    const QJsonObject header = object(o, "header", where);
    r.headerLeft = lines(header, "left", where + QStringLiteral("的页眉左侧"));
    r.headerRight = lines(header, "right", where + QStringLiteral("的页眉右侧"));
    r.omit = conditions(o, where);

    const QJsonObject footer = object(o, "footer", where);
    r.footerLeft = text(footer, "left", where + QStringLiteral("的页脚"), false);
    r.footerRight = text(footer, "right", where + QStringLiteral("的页脚"), false);
    r.dateFormat = text(o, "dateFormat", where, false, r.dateFormat);

    const QJsonObject colors = object(o, "colors", where);
    const QString colorWhere = where + QStringLiteral("的颜色");
    r.headingBackground = color(colors, "heading", colorWhere, r.headingBackground);
    r.shading = color(colors, "shading", colorWhere, r.shading);
    r.rule = color(colors, "rule", colorWhere, r.rule);

    const QJsonValue columns = o.value(QLatin1String("columns"));
    if (!columns.isArray() || columns.toArray().isEmpty()) {
        fail(QStringLiteral("%1没有列（“columns” 应为非空列表）").arg(where));
        return r;
    }
    const QJsonArray list = columns.toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QString columnWhere = where + QStringLiteral("的第 %1 列").arg(i + 1);
        if (!list.at(i).isObject()) {
            fail(QStringLiteral("%1应为对象").arg(columnWhere));
            break;
        }
        const QJsonObject c = list.at(i).toObject();
        ReportColumn column;
        column.field = text(c, "field", columnWhere, true);
        column.heading = text(c, "heading", columnWhere, false);
        if (!c.contains(QLatin1String("width")))
            fail(QStringLiteral("%1缺少 “width”").arg(columnWhere));
        column.width = number(c, "width", columnWhere, 1, 0);
        const QString align = text(c, "align", columnWhere, false, QStringLiteral("left"));
        if (align == QLatin1String("right"))
            column.align = Qt::AlignRight;
        else if (align == QLatin1String("center"))
            column.align = Qt::AlignHCenter;
        else if (align != QLatin1String("left"))
            fail(QStringLiteral("%1的对齐 “%2” 不受支持（可用 left、center 或 right）")
                     .arg(columnWhere, align));
        const QString overflow = text(c, "overflow", columnWhere, false, QStringLiteral("elide"));
        if (overflow == QLatin1String("wrap"))
            column.wrap = true;
        else if (overflow != QLatin1String("elide"))
            fail(QStringLiteral("%1的 “overflow” “%2” 不受支持（可用 elide 或 wrap）")
                     .arg(columnWhere, overflow));
        const double maxLines = number(c, "maxLines", columnWhere, column.maxLines, 1, true);
        if (maxLines > kMaxLines)
            fail(QStringLiteral("%1的 “maxLines” 不能大于 %2").arg(columnWhere).arg(kMaxLines));
        column.maxLines = int(std::min(maxLines, double(kMaxLines)));
        column.number = numberFormat(c, columnWhere);
        column.map = valueMap(c, columnWhere);
        r.columns << column;
    }

    const QString follow = text(o, "columnsFollow", where, false);
    if (follow == QLatin1String("list"))
        r.columnsFollowList = true;
    else if (!follow.isEmpty())
        fail(QStringLiteral("%1的 “columnsFollow” “%2” 不受支持（可用 list）").arg(where, follow));

    // The page must leave room inside its margins.
    QSizeF paper = QPageSize(r.pageSize).size(QPageSize::Millimeter);
    if (r.orientation == QPageLayout::Landscape)
        paper.transpose();
    if (r.margins.left() + r.margins.right() >= paper.width() - 10 ||
        r.margins.top() + r.margins.bottom() >= paper.height() - 20)
        fail(QStringLiteral("%1的页面（%2 × %3 毫米）小于其边距")
                 .arg(where)
                 .arg(paper.width())
                 .arg(paper.height()));
    return r;
}
} // namespace

QString ReportProject::faultText(const QString& what) const
{
    return QStringLiteral("报表项目文件 “%1” 有误：%2").arg(m_path, what);
}

QString ReportProject::open(const QString& path)
{
    close();
    m_path = QFileInfo(path).absoluteFilePath();
    if (!QFileInfo::exists(m_path))
        return QStringLiteral("报表项目文件不存在：%1").arg(QDir::toNativeSeparators(m_path));
    // A project is a few kilobytes of text. It is read like any file from outside: a link to a device or
    // a pipe is refused before it is opened, and no more than the limit is ever read.
    QFile file;
    const Result opened =
        sheet::openSourceFile(m_path, kMaxFileSize, file, QStringLiteral("岚枢报表项目文件"));
    const Expected<QByteArray> text = opened.ok() ? sheet::readSourceFile(file, kMaxFileSize) : opened;
    if (!text.ok()) {
        m_path = QDir::toNativeSeparators(m_path);
        return faultText(text.error());
    }
    return parse(text.value(), path);
}

void ReportProject::close()
{
    m_open = false;
    m_reports.clear();
    m_default = -1;
}

QString ReportProject::parse(const QByteArray& text, const QString& path)
{
    close();
    m_path = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        // Text that does not even start like ours is not taken for a damaged project.
        if (!text.trimmed().startsWith('{'))
            return faultText(QStringLiteral("不是岚枢报表项目文件"));
        return faultText(
            QStringLiteral("%1：%2").arg(positionText(text, error.offset), jsonErrorText(error.error)));
    }
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QLatin1String("format")).toString() != kFormatName)
        return faultText(QStringLiteral("不是岚枢报表项目文件"));
    const QJsonValue version = root.value(QLatin1String("version"));
    if (!version.isDouble() || !isWhole(version.toDouble(), 1, std::numeric_limits<int>::max()))
        return faultText(QStringLiteral("缺少有效的版本号 “version”"));
    if (version.toInt() > kVersion)
        return faultText(QStringLiteral("版本 %1 比本程序支持的版本 %2 新，请升级程序")
                             .arg(version.toInt())
                             .arg(kVersion));

    const QJsonArray reports = root.value(QLatin1String("reports")).toArray();
    if (reports.isEmpty())
        return faultText(QStringLiteral("没有报表（“reports” 应为非空列表）"));
    QString fault;
    ReportReader reader(&fault);
    QList<ReportDefinition> read;
    for (int i = 0; i < reports.size() && !reader.failed(); ++i) {
        if (!reports.at(i).isObject()) {
            reader.fail(QStringLiteral("第 %1 个报表应为对象").arg(i + 1));
            break;
        }
        read << reader.read(reports.at(i).toObject(), i);
        for (int j = 0; j + 1 < read.size(); ++j)
            if (read.at(j).name == read.last().name)
                reader.fail(QStringLiteral("报表名称 “%1” 重复").arg(read.last().name));
    }
    if (!fault.isEmpty())
        return faultText(fault);

    m_reports = read;
    const QString defaultName = root.value(QLatin1String("default")).toString();
    m_default = defaultName.isEmpty() ? 0 : -1;
    for (int i = 0; i < m_reports.size() && m_default < 0; ++i)
        if (m_reports.at(i).name == defaultName)
            m_default = i;
    if (m_default < 0) {
        m_reports.clear();
        return faultText(QStringLiteral("默认报表 “%1” 不存在").arg(defaultName));
    }
    m_open = true;
    return {};
}

const ReportDefinition* ReportProject::defaultReport() const
{
    return m_open ? &m_reports.at(m_default) : nullptr;
}

const ReportDefinition* ReportProject::report(const QString& name) const
{
    for (const ReportDefinition& r : m_reports)
        if (r.name == name)
            return &r;
    return nullptr;
}
