#include "ReportFormat.h"

#include <QDate>
#include <algorithm>

namespace reportformat {

namespace {
QStringView trimmed(QStringView text)
{
    return text.trimmed(); // QChar::isSpace, the full-width blank included
}

// '0'..'9' for ASCII and full-width digits, else 0.
char16_t asciiDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u;
    if (u >= 0xff10 && u <= 0xff19)
        return char16_t(u'0' + (u - 0xff10));
    return 0;
}

bool isPoint(QChar c)
{
    return c == QLatin1Char('.') || c.unicode() == 0xff0e;
}

bool isComma(QChar c)
{
    return c == QLatin1Char(',') || c.unicode() == 0xff0c;
}

QString grouped(const QString& digits)
{
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += QLatin1Char(',');
        out += digits.at(i);
    }
    return out;
}

// Rounds the digits to the given number of decimals, half away from zero.
void round(Number& n, int decimals)
{
    if (n.fraction.size() <= decimals) {
        n.fraction += QString(decimals - n.fraction.size(), QLatin1Char('0'));
        return;
    }
    const bool up = n.fraction.at(decimals) >= QLatin1Char('5');
    QString digits = n.whole + n.fraction.left(decimals);
    if (up) {
        qsizetype i = digits.size() - 1;
        for (; i >= 0; --i) {
            if (digits.at(i) == QLatin1Char('9')) {
                digits[i] = QLatin1Char('0');
            } else {
                digits[i] = QChar(digits.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0)
            digits.prepend(QLatin1Char('1'));
    }
    n.whole = digits.left(digits.size() - decimals);
    n.fraction = digits.right(decimals);
}
} // namespace

double Number::value() const
{
    const double v = (fraction.isEmpty() ? whole : whole + QLatin1Char('.') + fraction).toDouble();
    return negative ? -v : v;
}

std::optional<Number> readNumber(QStringView text, QStringView prefix, QStringView suffix)
{
    text = trimmed(text);
    prefix = trimmed(prefix);
    suffix = trimmed(suffix);
    if (!prefix.isEmpty() && text.startsWith(prefix))
        text = trimmed(text.mid(prefix.size()));
    if (!suffix.isEmpty() && text.endsWith(suffix))
        text = trimmed(text.chopped(suffix.size()));

    Number n;
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        n.negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Whole part: digits, with commas only between groups of three.
    QString whole;
    int group = -1; // digits since the last comma; -1 before the first comma
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (const char16_t d = asciiDigit(c)) {
            whole += QChar(d);
            if (group >= 0)
                ++group;
        } else if (isComma(c)) {
            if (whole.isEmpty() || (group >= 0 && group != 3) || (group < 0 && whole.size() > 3))
                return std::nullopt;
            group = 0;
        } else {
            break;
        }
    }
    if (group >= 0 && group != 3)
        return std::nullopt;
    if (i < text.size() && isPoint(text[i])) {
        for (++i; i < text.size(); ++i) {
            const char16_t d = asciiDigit(text[i]);
            if (!d)
                break;
            n.fraction += QChar(d);
        }
    }
    if (i != text.size() || (whole.isEmpty() && n.fraction.isEmpty()))
        return std::nullopt;
    qsizetype zeros = 0;
    while (zeros + 1 < whole.size() && whole.at(zeros) == QLatin1Char('0'))
        ++zeros;
    n.whole = whole.isEmpty() ? QStringLiteral("0") : whole.mid(zeros);
    return n;
}

QString writeNumber(const Number& number, const ReportNumberFormat& format)
{
    Number n = number;
    if (format.decimals >= 0)
        round(n, format.decimals);
    const bool zero =
        n.whole == QLatin1String("0") &&
        std::all_of(n.fraction.cbegin(), n.fraction.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    QString out = format.prefix;
    if (n.negative && !zero)
        out += QLatin1Char('-');
    out += format.grouping ? grouped(n.whole) : n.whole;
    if (!n.fraction.isEmpty())
        out += QLatin1Char('.') + n.fraction;
    return out + format.suffix;
}

QString cellText(const QString& value, const ReportColumn& column)
{
    const ReportNumberFormat& format = column.number;
    if (column.map.isEmpty() && !format.enabled)
        return value;
    const QStringView text = trimmed(value);
    std::optional<Number> number;
    bool read = false;
    auto asNumber = [&]() -> const std::optional<Number>& {
        if (!read) {
            number = readNumber(text, format.prefix, format.suffix);
            read = true;
        }
        return number;
    };
    for (const ReportValueMap& m : column.map) {
        if (text == m.from)
            return m.to;
        if (m.numeric && asNumber() && asNumber()->value() == m.number)
            return m.to;
    }
    if (!format.enabled)
        return value;
    if (asNumber())
        return writeNumber(*asNumber(), format);
    return format.hasOtherwise ? format.otherwise : value;
}

qint64 isoDay(const QString& text)
{
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? date.toJulianDay() : -1;
}

bool meets(const ReportCondition& condition, const QString& value, qint64 printDay,
           const ReportDayReader& readDay)
{
    switch (condition.test) {
    case ReportCondition::Empty:
        return trimmed(value).isEmpty();
    case ReportCondition::Equals:
        return trimmed(value) == condition.value;
    case ReportCondition::Contains:
        return value.contains(condition.value, Qt::CaseInsensitive);
    case ReportCondition::LessThan:
    case ReportCondition::GreaterThan: {
        const std::optional<Number> n = readNumber(value);
        const std::optional<Number> limit = readNumber(condition.value);
        if (!n || !limit)
            return false;
        return condition.test == ReportCondition::LessThan ? n->value() < limit->value()
                                                           : n->value() > limit->value();
    }
    case ReportCondition::Before:
    case ReportCondition::After: {
        const qint64 day = readDay ? readDay(value) : isoDay(value);
        const qint64 limit = condition.value == QLatin1String("{date}") ? printDay : isoDay(condition.value);
        if (day < 0 || limit < 0)
            return false;
        return condition.test == ReportCondition::Before ? day < limit : day > limit;
    }
    }
    return false;
}

} // namespace reportformat
