#include "BulkEdit.h"

#include "Expiry.h"

#include <QDate>

namespace bulkedit {

namespace {
// The first three runs of digits of a text, where they start and how long they are.
struct DigitRun
{
    qsizetype at = 0;
    qsizetype length = 0;
};

QList<DigitRun> digitRuns(const QString& text, int most)
{
    QList<DigitRun> runs;
    for (qsizetype i = 0; i < text.size() && runs.size() < most;) {
        if (!text[i].isDigit() || text[i].unicode() > 127) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() <= 127)
            ++i;
        runs.append({start, i - start});
    }
    return runs;
}

QString number(int value, qsizetype width)
{
    return QStringLiteral("%1").arg(value, int(width), 10, QLatin1Char('0'));
}

// The date written in the form of `form`: its year, month and day replaced, the rest kept.
QString inFormOf(const QString& form, const QDate& date)
{
    const QList<DigitRun> runs = digitRuns(form, 3);
    if (runs.size() == 1 && runs[0].length == 8) // 20260105
        return QString(form).replace(runs[0].at, 8, date.toString(QStringLiteral("yyyyMMdd")));
    if (runs.size() < 3 || runs[0].length != 4)
        return {};
    QString text = form;
    const int values[] = {date.year(), date.month(), date.day()};
    // From the last run back, so that the positions before stay right.
    for (int i = 2; i >= 0; --i)
        text.replace(runs[i].at, runs[i].length, number(values[i], runs[i].length));
    return text;
}
} // namespace

QString extendedExpiry(const QString& text, int years)
{
    const expiry::Day day = expiry::parse(text);
    if (day == expiry::kUnreadable)
        return {};
    const QDate moved = QDate::fromJulianDay(day).addYears(years);
    const QString same = inFormOf(text, moved);
    if (!same.isEmpty() && expiry::parse(same) == moved.toJulianDay())
        return same;
    return moved.toString(QStringLiteral("yyyy-MM-dd"));
}

RowChange changeFor(const RowPack& rows, const Edit& edit, QStringList* unreadable)
{
    RowChange change;
    for (size_t row = 0; row < rows.size(); ++row) {
        const DomainRecord before = rows.record(row);
        DomainRecord after = before;
        if (edit.registrar)
            after.registrar = *edit.registrar;
        if (edit.description)
            after.description = *edit.description;
        if (edit.price)
            after.price = *edit.price;
        if (edit.address)
            after.address = *edit.address;
        if (edit.notesMode == Edit::Notes::Replace)
            after.notes = edit.notes;
        else if (edit.notesMode == Edit::Notes::Append)
            after.notes = before.notes.isEmpty() ? edit.notes : before.notes + QLatin1Char('\n') + edit.notes;
        if (edit.extendYears != 0) {
            const QString moved = extendedExpiry(before.expires, edit.extendYears);
            if (moved.isNull()) {
                if (unreadable)
                    unreadable->append(before.domain);
            } else {
                after.expires = moved;
            }
        }
        if (after == before)
            continue;
        change.before.add(before);
        change.after.add(after);
    }
    return change;
}

} // namespace bulkedit
