#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace sheet {
class Sheet;
}

// Reading a sheet's first row as headings: which of the nine fields of a domain (a1 .. a9) each column
// holds, by the names registrars and spreadsheet users give them, in Chinese or English. Knows nothing of
// widgets or of the database.
namespace headingmap {

// Columns read from a sheet that may have a heading row (registrars' exports run to twenty and more).
inline constexpr int kReadColumns = 64;

// A column that goes nowhere.
inline constexpr int kNoField = -1;
// Field numbers 0 .. 8 stand for a1 .. a9.
inline constexpr int kDomainField = 0;
inline constexpr int kRegisteredField = 4;
inline constexpr int kExpiresField = 5;
inline constexpr int kPriceField = 8;

// The heading text reduced for comparing: the usual full-width forms folded, letter case ignored,
// "(…)" and "（…）" asides, "*", blanks and punctuation removed ("* Domain Name (required)" → "domainname").
QString normalise(const QString& heading);

// What a heading names.
struct Match
{
    int field = kNoField; // the field it goes to by itself; kNoField when none
    int strength = 0;     // between two columns for one field, the stronger name wins ("Domain" over "Name")
    bool known = false;   // a name this import knows, also when it is never mapped by itself
};
Match match(const QString& heading);

// The columns of a sheet whose first row is a heading row.
struct Columns
{
    QStringList headings;   // row 1, as the sheet shows it
    QList<int> fields;      // per column: the field it goes to, or kNoField
    bool ownExport = false; // exactly the heading row that "批量导出" writes
    int columnOf(int field) const { return fields.indexOf(field); }
};

// Reads row 1 as headings when one of its cells names the domain and none reads as a domain name; otherwise
// (a sheet of domains from row 1, as the import always took them) nothing. Each field goes to one column at
// most: the strongest name, the leftmost of equals. Ambiguous headings (Amount, Value, Category) and personal
// or secret ones (Registrant, Email, Phone, Auth Code) are known, yet never mapped by themselves.
std::optional<Columns> detect(const sheet::Sheet& sheet, int columnCount, const QLocale& locale = QLocale());

// The field's name as the lists show it ("域名", "域名说明", …, "对外报价").
QString fieldTitle(int field);
// "A", "B", …, "Z", "AA", …
QString columnLetter(int column);
bool isDateField(int field);

} // namespace headingmap
