#pragma once

#include "ReportProject.h"

#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

// The day a date text names as its Julian day number (QDate::toJulianDay), or -1 when it cannot be
// read. The program around the engine may read more forms than yyyy-MM-dd.
using ReportDayReader = std::function<qint64(const QString& text)>;

namespace reportformat {

// A value read as a decimal number, kept as its digits so that nothing is lost to rounding.
struct Number
{
    bool negative = false;
    QString whole;    // integer digits without leading zeros ("0" for none)
    QString fraction; // the decimals as written
    double value() const;
};

// Reads a number written with optional blanks around it, a sign, grouping commas between groups of
// three digits, a decimal point, full-width digits, and the prefix or suffix given (trimmed) around
// it: "12000", "12,000.50", "１２０００", "12000 元" (suffix "元"). Anything else is no number.
std::optional<Number> readNumber(QStringView text, QStringView prefix = {}, QStringView suffix = {});

// The number as the format writes it, prefix and suffix included.
QString writeNumber(const Number& number, const ReportNumberFormat& format);

// A value of a column as it is printed: mapped, else formatted as a number, else as it is.
QString cellText(const QString& value, const ReportColumn& column);

// The day yyyy-MM-dd names, or -1; the reader the engine uses when the program gives none.
qint64 isoDay(const QString& text);

// Whether a value meets a condition. printDay is the day of printing (for "{date}").
bool meets(const ReportCondition& condition, const QString& value, qint64 printDay,
           const ReportDayReader& readDay);

} // namespace reportformat
