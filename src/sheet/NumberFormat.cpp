#include "sheet/NumberFormat.h"

#include <cmath>

namespace sheet {

bool isDateFormat(const QString& code)
{
    if (code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 ||
        code.compare(QLatin1String("Standard"), Qt::CaseInsensitive) == 0)
        return false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const char16_t c = code.at(i).toLower().unicode();
        switch (c) {
        case u'"': {
            const qsizetype close = code.indexOf(u'"', i + 1);
            if (close < 0)
                return false;
            i = close;
            break;
        }
        case u'[': {
            const qsizetype close = code.indexOf(u']', i + 1);
            if (close < 0)
                return false;
            i = close;
            break;
        }
        case u'\\':
        case u'_':
        case u'*':
            ++i; // an escaped character, a space the width of a character, a fill character
            break;
        case u'y':
        case u'm':
        case u'd':
        case u'h':
        case u's':
            return true;
        default:
            break;
        }
    }
    return false;
}

bool isBuiltInDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) ||
           (id >= 50 && id <= 58);
}

Cell numberCell(double value, bool isDate, bool dates1904)
{
    Cell cell;
    cell.type = Cell::Type::Number;
    cell.number = value;
    if (!isDate || !std::isfinite(value) || value < 0 || value >= 2958466)
        return cell;
    const qint64 ms = std::llround(value * 86400000.0);
    const qint64 days = ms / 86400000;
    QDate base;
    if (dates1904)
        base = QDate(1904, 1, 1);
    else
        base = days < 60 ? QDate(1899, 12, 31) : QDate(1899, 12, 30); // the 1900 system counts 1900-02-29
    cell.type = Cell::Type::Date;
    cell.dateTime = QDateTime(base.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms % 86400000)));
    return cell;
}

} // namespace sheet
