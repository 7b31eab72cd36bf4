#include "BulkEdit.h"

#include "Expiry.h"

#include <QDate>

#include <array>
#include <vector>

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
    // Fields by their place in a row of the pack: aid, a1 .. a9.
    enum Field
    {
        Domain = 1,
        Description = 2,
        Registrar = 3,
        Address = 4,
        Expires = 6,
        Notes = 7,
        Price = 9
    };
    // The texts set, as UTF-8 once; each row is then taken and written as the bytes it holds.
    std::vector<std::pair<int, QByteArray>> set;
    const std::pair<int, const std::optional<QString>*> fields[] = {{Registrar, &edit.registrar},
                                                                    {Description, &edit.description},
                                                                    {Price, &edit.price},
                                                                    {Address, &edit.address}};
    for (const auto& [field, text] : fields) {
        if (*text)
            set.emplace_back(field, (*text)->toUtf8());
    }
    if (edit.notesMode == Edit::Notes::Replace)
        set.emplace_back(Notes, edit.notes.toUtf8());
    const QByteArray appended = edit.notes.toUtf8();

    RowChange change;
    std::array<std::string_view, RowPack::kFields> before;
    QByteArray notes, expires;
    for (size_t row = 0; row < rows.size(); ++row) {
        for (int f = 0; f < RowPack::kFields; ++f)
            before[size_t(f)] = rows.value(row, f);
        std::array<std::string_view, RowPack::kFields> after = before;
        for (const auto& [field, text] : set)
            after[size_t(field)] = std::string_view(text.constData(), size_t(text.size()));
        if (edit.notesMode == Edit::Notes::Append) {
            notes = QByteArray(before[Notes].data(), qsizetype(before[Notes].size()));
            if (!notes.isEmpty())
                notes += '\n';
            notes += appended;
            after[Notes] = std::string_view(notes.constData(), size_t(notes.size()));
        }
        if (edit.extendYears != 0) {
            const QString moved = expiry::parse(before[Expires]) == expiry::kUnreadable
                                      ? QString()
                                      : extendedExpiry(rows.text(row, Expires), edit.extendYears);
            if (moved.isNull()) {
                if (unreadable)
                    unreadable->append(rows.text(row, Domain));
            } else {
                expires = moved.toUtf8();
                after[Expires] = std::string_view(expires.constData(), size_t(expires.size()));
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
