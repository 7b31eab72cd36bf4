#include "InputRules.h"

#include <QList>
#include <QTextBoundaryFinder>

namespace inputrules {

bool domainKeyPasses(QChar key)
{
    return key != QLatin1Char(' ');
}

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029;
}

QString withoutControls(const QString& text)
{
    QString clean = text;
    clean.removeIf(isControl);
    return clean;
}

bool dateKeyPasses(QChar key)
{
    const char16_t c = key.unicode();
    return c != u' ' && c != u'.' && c != u'/' && !(c >= u'a' && c <= u'z');
}

int characterCount(const QString& text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

QString fittingPart(const QString& head, const QString& inserted, const QString& tail, int limit)
{
    if (limit <= 0 || inserted.isEmpty())
        return inserted;
    const int room = limit - characterCount(head) - characterCount(tail);
    if (room <= 0)
        return {};
    // The ends of the first `room` characters of the insertion, as cut points.
    QList<int> cuts;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, inserted);
    for (int end = finder.toNextBoundary(); end > 0 && cuts.size() < room; end = finder.toNextBoundary())
        cuts.append(end);
    // Characters may join across the seams (a combining accent after the head), which only lowers the
    // count; shorten until the whole fits.
    while (!cuts.isEmpty()) {
        const QString part = inserted.left(cuts.last());
        if (characterCount(head + part + tail) <= limit)
            return part;
        cuts.removeLast();
    }
    return {};
}

} // namespace inputrules
