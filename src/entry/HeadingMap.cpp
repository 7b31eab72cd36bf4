#include "HeadingMap.h"

#include "db/DomainRecord.h"
#include "sheet/Cell.h"

#include <QHash>

#include <algorithm>

namespace headingmap {

namespace {

struct Known
{
    const char16_t* name; // as normalise() leaves it
    int field;
    int strength;
};

// Every heading the import knows. Strength orders two names for one field; 0 marks a name that is
// known but never mapped by itself.
constexpr Known kKnown[] = {
    {u"域名", kDomainField, 3},
    {u"域名名称", kDomainField, 3},
    {u"domain", kDomainField, 3},
    {u"domainname", kDomainField, 3},
    {u"domains", kDomainField, 3},
    {u"punycode", kDomainField, 2},
    {u"name", kDomainField, 1},
    {u"说明", 1, 2},
    {u"域名说明", 1, 2},
    {u"description", 1, 2},
    {u"注册商", 2, 2},
    {u"registrar", 2, 2},
    {u"管理地址", 3, 2},
    {u"域名管理地址", 3, 2},
    {u"域名管理网址", 3, 2},
    {u"管理网址", 3, 2},
    {u"url", 3, 1},
    {u"注册日期", kRegisteredField, 2},
    {u"注册时间", kRegisteredField, 2},
    {u"registrationdate", kRegisteredField, 2},
    {u"created", kRegisteredField, 2},
    {u"createddate", kRegisteredField, 2},
    {u"creationdate", kRegisteredField, 2},
    {u"ownershipdate", kRegisteredField, 1},
    {u"到期", kExpiresField, 2},
    {u"过期日期", kExpiresField, 2},
    {u"到期日期", kExpiresField, 2},
    {u"到期时间", kExpiresField, 2},
    {u"过期时间", kExpiresField, 2},
    {u"expirationdate", kExpiresField, 2},
    {u"expirydate", kExpiresField, 2},
    {u"expiry", kExpiresField, 2},
    {u"expires", kExpiresField, 2},
    {u"renewaldate", kExpiresField, 1},
    {u"备注", 6, 2},
    {u"note", 6, 2},
    {u"notes", 6, 2},
    {u"domainnote", 6, 2},
    {u"管理密码", 7, 2},
    {u"域名管理密码", 7, 2},
    {u"password", 7, 2},
    {u"报价", kPriceField, 2},
    {u"对外报价", kPriceField, 2},
    {u"price", kPriceField, 2},
    {u"bin", kPriceField, 2},
    {u"buynow", kPriceField, 2},
    {u"askingprice", kPriceField, 2},
    // The export's own number: known, never imported (the database gives the key).
    {u"编号", kNoField, 0},
    {u"id", kNoField, 0},
    // Ambiguous: could be a price paid, a valuation or a renewal fee.
    {u"amount", kNoField, 0},
    {u"value", kNoField, 0},
    {u"category", kNoField, 0},
    {u"分类", kNoField, 0},
    // Personal or secret: never taken into the portfolio unless the user asks for it.
    {u"registrant", kNoField, 0},
    {u"email", kNoField, 0},
    {u"phone", kNoField, 0},
    {u"authcode", kNoField, 0},
    {u"eppcode", kNoField, 0},
    {u"transfercode", kNoField, 0},
    {u"注册人", kNoField, 0},
    {u"邮箱", kNoField, 0},
    {u"电话", kNoField, 0},
    {u"转移码", kNoField, 0},
    {u"授权码", kNoField, 0},
    {u"autorenew", kNoField, 0},
    {u"status", kNoField, 0},
};

const QHash<QString, Match>& knownNames()
{
    static const QHash<QString, Match> names = [] {
        QHash<QString, Match> map;
        for (const Known& k : kKnown)
            map.insert(QString::fromUtf16(k.name),
                       Match{k.strength > 0 ? k.field : kNoField, k.strength, true});
        return map;
    }();
    return names;
}

// A text that reads as a domain name (labels joined by ".", no blanks): a row holding one is a row of data.
bool looksLikeDomain(const QString& text)
{
    const QStringList labels = text.split(u'.');
    if (labels.size() < 2)
        return false;
    for (const QString& label : labels)
        if (label.isEmpty() || std::any_of(label.cbegin(), label.cend(), [](QChar c) { return c.isSpace(); }))
            return false;
    return true;
}

} // namespace

QString normalise(const QString& heading)
{
    const QString folded = heading.normalized(QString::NormalizationForm_KC).toCaseFolded();
    QString out;
    out.reserve(folded.size());
    int aside = 0; // depth of "(…)"
    for (const QChar c : folded) {
        if (c == u'(' || c == u'[') {
            ++aside;
            continue;
        }
        if (c == u')' || c == u']') {
            aside = std::max(0, aside - 1);
            continue;
        }
        if (aside > 0 || c.isSpace() || c.isPunct() || c.isSymbol() || c.category() == QChar::Other_Control)
            continue;
        out.append(c);
    }
    return out;
}

Match match(const QString& heading)
{
    return knownNames().value(normalise(heading));
}

std::optional<Columns> detect(const sheet::Sheet& sheet, int columnCount, const QLocale& locale)
{
    Columns columns;
    const int count = std::min(columnCount, sheet.columnCount());
    std::array<int, DomainRecord::kValueCount> strongest{};
    std::array<int, DomainRecord::kValueCount> chosen;
    chosen.fill(kNoField);
    for (int column = 0; column < count; ++column) {
        const QString text = sheet::cellToText(sheet.cell(0, column), locale);
        if (looksLikeDomain(text))
            return std::nullopt;
        columns.headings.append(text);
        columns.fields.append(kNoField);
        const Match m = match(text);
        if (m.field != kNoField && m.strength > strongest[size_t(m.field)]) {
            strongest[size_t(m.field)] = m.strength;
            chosen[size_t(m.field)] = column;
        }
    }
    if (chosen[kDomainField] == kNoField)
        return std::nullopt;
    for (int field = 0; field < DomainRecord::kValueCount; ++field)
        if (chosen[size_t(field)] != kNoField)
            columns.fields[chosen[size_t(field)]] = field;
    const QStringList& titles = DomainRecord::titles();
    columns.ownExport = columns.headings.size() >= titles.size();
    for (int i = 0; columns.ownExport && i < titles.size(); ++i)
        columns.ownExport = columns.headings[i] == titles[i];
    return columns;
}

QString fieldTitle(int field)
{
    static const QStringList titles = {
        QStringLiteral("域名"),     QStringLiteral("域名说明"), QStringLiteral("注册商"),
        QStringLiteral("管理地址"), QStringLiteral("注册日期"), QStringLiteral("过期日期"),
        QStringLiteral("备注"),     QStringLiteral("管理密码"), QStringLiteral("对外报价")};
    return field == kNoField ? QStringLiteral("不导入") : titles.value(field);
}

QString columnLetter(int column)
{
    QString letters;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

bool isDateField(int field)
{
    return field == kRegisteredField || field == kExpiresField;
}

} // namespace headingmap
