#include "ValueCleaner.h"

#include <vector>

namespace valuecleaner {

namespace {

struct Token
{
    enum class Kind
    {
        Number,
        Word,
        Separator
    };
    Kind kind;
    int value = 0;  // Number
    int digits = 0; // Number
    QString word;   // Word, case-folded
    QChar separator;
};

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The text as numbers, words and separators; runs of blanks are one blank, Chinese 年 and 月 are "-".
bool isAscii(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 128)
            return false;
    return true;
}

// Full-width digits, letters and signs as their usual forms (only where there are any).
QString folded(const QString& text)
{
    return isAscii(text) ? text : text.normalized(QString::NormalizationForm_KC);
}

std::vector<Token> tokens(const QString& raw)
{
    const QString text = folded(raw);
    std::vector<Token> out;
    for (qsizetype i = 0; i < text.size();) {
        QChar c = text[i];
        if (isDigit(c)) {
            Token t{Token::Kind::Number, 0, 0, {}, {}};
            while (i < text.size() && isDigit(text[i])) {
                if (t.digits < 9)
                    t.value = t.value * 10 + (text[i].unicode() - u'0');
                ++t.digits;
                ++i;
            }
            out.push_back(t);
        } else if (c == u'年' || c == u'月') {
            out.push_back(Token{Token::Kind::Separator, 0, 0, {}, QChar(u'-')});
            ++i;
        } else if (c == u'日' || c == u'号') {
            out.push_back(Token{Token::Kind::Separator, 0, 0, {}, QChar(u' ')});
            ++i;
        } else if (c.isLetter()) {
            Token t{Token::Kind::Word, 0, 0, {}, {}};
            const bool ascii = c.unicode() < 128;
            while (i < text.size() && text[i].isLetter() && (text[i].unicode() < 128) == ascii &&
                   !(text[i] == u'年' || text[i] == u'月' || text[i] == u'日' || text[i] == u'号'))
                t.word.append(text[i++].toCaseFolded());
            out.push_back(t);
        } else {
            if (c.isSpace())
                c = QChar(u' ');
            if (!(c == u' ' && !out.empty() && out.back().kind == Token::Kind::Separator &&
                  out.back().separator == u' '))
                out.push_back(Token{Token::Kind::Separator, 0, 0, {}, c});
            ++i;
        }
    }
    return out;
}

int monthOf(const QString& word)
{
    static const char* const names[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
    static const char* const full[] = {"january", "february", "march",     "april",   "may",      "june",
                                       "july",    "august",   "september", "october", "november", "december"};
    for (int m = 0; m < 12; ++m)
        if (word == QLatin1String(names[m]) || word == QLatin1String(full[m]) ||
            (m == 8 && word == QLatin1String("sept")))
            return m + 1;
    return 0;
}

bool isWeekday(const QString& word)
{
    static const QStringList days = {
        QStringLiteral("mon"),       QStringLiteral("tue"),      QStringLiteral("tues"),
        QStringLiteral("wed"),       QStringLiteral("thu"),      QStringLiteral("thur"),
        QStringLiteral("thurs"),     QStringLiteral("fri"),      QStringLiteral("sat"),
        QStringLiteral("sun"),       QStringLiteral("monday"),   QStringLiteral("tuesday"),
        QStringLiteral("wednesday"), QStringLiteral("thursday"), QStringLiteral("friday"),
        QStringLiteral("saturday"),  QStringLiteral("sunday")};
    return days.contains(word) || word.startsWith(u"星期") || word.startsWith(u"周") ||
           word.startsWith(u"礼拜");
}

int fullYear(const Token& t)
{
    if (t.digits == 4)
        return t.value;
    return t.value < 70 ? 2000 + t.value : 1900 + t.value; // two digits
}

// What may follow the date: a time of day, AM/PM, a zone ("PST", "UTC+8", "Z", "+08:00"), a weekday.
bool restIsTime(const std::vector<Token>& t, size_t from)
{
    for (size_t i = from; i < t.size(); ++i) {
        switch (t[i].kind) {
        case Token::Kind::Number:
            if (t[i].digits > 4)
                return false;
            break;
        case Token::Kind::Word:
            if (t[i].word.size() > 5 && !isWeekday(t[i].word))
                return false;
            if (t[i].word.front().unicode() >= 128 && !isWeekday(t[i].word) &&
                !QStringList{QStringLiteral("上午"), QStringLiteral("下午"), QStringLiteral("时"),
                             QStringLiteral("分"), QStringLiteral("秒"), QStringLiteral("点")}
                     .contains(t[i].word))
                return false;
            break;
        case Token::Kind::Separator:
            if (!QStringLiteral(" :.+-(),").contains(t[i].separator))
                return false;
            break;
        }
    }
    return true;
}

// A date as written: year, month and day known, or (numbers only) first/second/year with the order open.
struct Parsed
{
    bool found = false;
    bool numeric = false; // first / second / year: month and day in either order
    int year = 0, month = 0, day = 0;
    int first = 0, second = 0;
};

Parsed parse(const QString& text)
{
    const std::vector<Token> all = tokens(text);
    size_t i = 0;
    // Leading blanks, a weekday and its comma.
    while (i < all.size() && (all[i].kind == Token::Kind::Separator ||
                              (all[i].kind == Token::Kind::Word && isWeekday(all[i].word))))
        ++i;
    const auto num = [&](size_t k, int minDigits, int maxDigits) {
        return k < all.size() && all[k].kind == Token::Kind::Number && all[k].digits >= minDigits &&
               all[k].digits <= maxDigits;
    };
    const auto sep = [&](size_t k) {
        return k < all.size() && all[k].kind == Token::Kind::Separator &&
               QStringLiteral("-/.").contains(all[k].separator);
    };
    Parsed p;
    // 2021-11-24, 2021/11/24, 2021.11.24, 2021年11月24日
    if (num(i, 4, 4) && sep(i + 1) && num(i + 2, 1, 2) && sep(i + 3) && num(i + 4, 1, 2) &&
        all[i + 1].separator == all[i + 3].separator && restIsTime(all, i + 5)) {
        p.found = true;
        p.year = all[i].value;
        p.month = all[i + 2].value;
        p.day = all[i + 4].value;
        return p;
    }
    // 11/24/2021, 24.11.2021, 11-24-21
    if (num(i, 1, 2) && sep(i + 1) && num(i + 2, 1, 2) && sep(i + 3) && num(i + 4, 2, 4) &&
        all[i + 4].digits != 3 && all[i + 1].separator == all[i + 3].separator && restIsTime(all, i + 5)) {
        p.found = p.numeric = true;
        p.first = all[i].value;
        p.second = all[i + 2].value;
        p.year = fullYear(all[i + 4]);
        return p;
    }
    // 20211124 alone
    if (num(i, 8, 8) && restIsTime(all, i + 1) && i + 1 == all.size()) {
        const int v = all[i].value;
        p.found = true;
        p.year = v / 10000;
        p.month = v / 100 % 100;
        p.day = v % 100;
        return p;
    }
    // The words: Dec 13 2021, Dec 13, 2021, December 13th, 2021, 13 Dec 2021, 13-Dec-2021
    std::vector<size_t> at; // the number and word tokens from i on, with where each stands
    for (size_t k = i; k < all.size(); ++k)
        if (all[k].kind != Token::Kind::Separator)
            at.push_back(k);
    const auto word = [&](size_t n) { return n < at.size() && all[at[n]].kind == Token::Kind::Word; };
    const auto number = [&](size_t n, int minDigits, int maxDigits) {
        return n < at.size() && num(at[n], minDigits, maxDigits);
    };
    const auto ordinal = [&](size_t n) { // "13th", "1st"
        return word(n) && QStringList{QStringLiteral("st"), QStringLiteral("nd"), QStringLiteral("rd"),
                                      QStringLiteral("th")}
                              .contains(all[at[n]].word);
    };
    if (word(0) && monthOf(all[at[0]].word) && number(1, 1, 2)) {
        const size_t y = ordinal(2) ? 3 : 2;
        if (number(y, 4, 4) && restIsTime(all, at[y] + 1)) {
            p.found = true;
            p.month = monthOf(all[at[0]].word);
            p.day = all[at[1]].value;
            p.year = all[at[y]].value;
            return p;
        }
    }
    if (number(0, 1, 2)) {
        const size_t m = ordinal(1) ? 2 : 1;
        if (word(m) && monthOf(all[at[m]].word) && number(m + 1, 2, 4) && all[at[m + 1]].digits != 3 &&
            restIsTime(all, at[m + 1] + 1)) {
            p.found = true;
            p.day = all[at[0]].value;
            p.month = monthOf(all[at[m]].word);
            p.year = fullYear(all[at[m + 1]]);
            return p;
        }
    }
    return p;
}

// "-", digits, then "." and digits: 1500, -5, 18.99.
bool isPlainNumber(QStringView text)
{
    qsizetype i = text.startsWith(u'-') ? 1 : 0;
    const qsizetype digitsFrom = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    if (i == digitsFrom)
        return false;
    if (i < text.size() && text[i] == u'.') {
        const qsizetype fraction = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i == fraction)
            return false;
    }
    return i == text.size();
}

// The same with thousands separated by "," in groups of three: 1,500, 1,234,567.89.
bool isGroupedNumber(QStringView text)
{
    const qsizetype point = text.indexOf(u'.');
    const QStringView whole = point < 0 ? text : text.left(point);
    const QStringList groups = whole.toString().split(u',');
    if (groups.size() < 2)
        return false;
    QString joined = groups.join(QString());
    if (point >= 0)
        joined += text.mid(point);
    const QString first = groups.front().startsWith(u'-') ? groups.front().mid(1) : groups.front();
    if (first.isEmpty() || first.size() > 3)
        return false;
    for (qsizetype g = 1; g < groups.size(); ++g)
        if (groups[g].size() != 3)
            return false;
    return isPlainNumber(joined);
}

} // namespace

QDate readDate(const QString& text, DayOrder order, bool* needsOrder)
{
    if (needsOrder)
        *needsOrder = false;
    const Parsed p = parse(text);
    if (!p.found)
        return {};
    if (!p.numeric)
        return QDate(p.year, p.month, p.day);
    const QDate monthFirst(p.year, p.first, p.second);
    const QDate dayFirst(p.year, p.second, p.first);
    if (monthFirst.isValid() != dayFirst.isValid() || p.first == p.second)
        return monthFirst.isValid() ? monthFirst : dayFirst; // only one reading is a date
    if (!monthFirst.isValid())
        return {};
    if (order == DayOrder::Unknown) {
        if (needsOrder)
            *needsOrder = true;
        return {};
    }
    return order == DayOrder::MonthFirst ? monthFirst : dayFirst;
}

DayOrder columnOrder(const QStringList& values, bool* mustAsk)
{
    bool dayFirst = false;
    bool monthFirst = false;
    bool open = false;
    const auto separator = [](QChar c) { return c == u'/' || c == u'-' || c == u'.'; };
    for (const QString& value : values) {
        // Only a date that starts with one or two digits and a separator can leave the order open.
        if (value.size() < 6 || !isDigit(value[0]) ||
            !(separator(value[1]) || (isDigit(value[1]) && separator(value[2]))))
            continue;
        const Parsed p = parse(value);
        if (!p.found || !p.numeric)
            continue;
        if (p.first > 12 && p.second <= 12)
            dayFirst = true;
        else if (p.second > 12 && p.first <= 12)
            monthFirst = true;
        else if (p.first != p.second && p.first <= 12 && p.second <= 12)
            open = true;
    }
    const DayOrder order = dayFirst == monthFirst ? DayOrder::Unknown
                           : dayFirst             ? DayOrder::DayFirst
                                                  : DayOrder::MonthFirst;
    if (mustAsk)
        *mustAsk = open && order == DayOrder::Unknown;
    return order;
}

Cleaned cleanDate(const QString& text, DayOrder order)
{
    if (text.isEmpty())
        return {};
    bool needsOrder = false;
    const QDate date = readDate(text, order, &needsOrder);
    if (date.isValid())
        return {date.toString(QStringLiteral("yyyy-MM-dd")), {}};
    return {text, needsOrder ? QStringLiteral("“%1”分不清月和日，按原样保存").arg(text)
                             : QStringLiteral("“%1”不是可识别的日期，按原样保存").arg(text)};
}

Cleaned cleanPrice(const QString& text)
{
    if (text.isEmpty())
        return {};
    static const QStringList codes = {QStringLiteral("usd"),    QStringLiteral("us"),   QStringLiteral("cny"),
                                      QStringLiteral("rmb"),    QStringLiteral("eur"),  QStringLiteral("gbp"),
                                      QStringLiteral("hkd"),    QStringLiteral("hk"),   QStringLiteral("jpy"),
                                      QStringLiteral("cad"),    QStringLiteral("aud"),  QStringLiteral("元"),
                                      QStringLiteral("人民币"), QStringLiteral("美元"), QStringLiteral("圆")};
    if (isPlainNumber(text))
        return {text, {}};
    QString rest = folded(text).toCaseFolded();
    for (const QString& code : codes)
        rest.remove(code);
    QString number;
    for (const QChar c : rest) {
        if (c.category() == QChar::Symbol_Currency || c.isSpace())
            continue;
        number.append(c);
    }
    if (!isPlainNumber(number) && !isGroupedNumber(number))
        return {text, QStringLiteral("“%1”不是数字，按原样保存").arg(text)};
    number.remove(u',');
    return {number, {}};
}

} // namespace valuecleaner
