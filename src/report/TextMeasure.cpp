#include "TextMeasure.h"

#include <QGlyphRun>
#include <QPainter>
#include <cmath>

namespace {
const QString kEllipsis = QStringLiteral("…");

bool isWide(char16_t c)
{
    return c >= 0x2e80 && !(c >= 0xff61 && c <= 0xffdc); // CJK and full-width forms, not half-width ones
}

// Characters that a line does not start with.
bool closesLine(char16_t c)
{
    static const QString kClosing = QStringLiteral("，。、；：！？）》」』】〕,.;:!?)]}%");
    return kClosing.contains(QChar(c));
}

// Whether a line may break between text[i - 1] and text[i].
bool canBreakBefore(QStringView text, qsizetype i)
{
    const char16_t prev = text[i - 1].unicode();
    const char16_t c = text[i].unicode();
    if (closesLine(c) || QChar::isLowSurrogate(c))
        return false;
    if (prev == u' ' || prev == u'-' || prev == u'/' || prev == u'.' || prev == u'_')
        return c != u' ';
    return isWide(prev) || isWide(c) || closesLine(prev);
}
} // namespace

TextMeasure::TextMeasure(const QFont& font)
    : m_metrics(font), m_raw(QRawFont::fromFont(font)), m_advances(0x10000, -1.0f)
{
    // Glyphs go out unshaped only from an upright face as it is; a synthesized bold or italic
    // is left to the text drawing, which knows how to make it.
    if (font.bold() || font.italic() || !m_raw.isValid() || m_raw.weight() < QFont::Normal ||
        m_raw.weight() > QFont::Medium || m_raw.style() != QFont::StyleNormal)
        m_raw = QRawFont();
    m_ellipsis = width(kEllipsis);
}

double TextMeasure::advance(QStringView text, qsizetype i, qsizetype* length) const
{
    const char16_t c = text[i].unicode();
    if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        *length = 2;
        return m_metrics.horizontalAdvance(text.mid(i, 2).toString());
    }
    *length = 1;
    float& known = m_advances[c];
    if (known < 0) {
        // From the primary font's own glyph where it has one, so that drawn glyphs sit where
        // they were measured; else as the fallback fonts draw it.
        quint32 glyph = 0;
        int glyphs = 1;
        const QChar ch(c);
        if (m_raw.isValid() && m_raw.glyphIndexesForChars(&ch, 1, &glyph, &glyphs) && glyphs == 1 &&
            glyph != 0) {
            QPointF a;
            m_raw.advancesForGlyphIndexes(&glyph, &a, 1, QRawFont::KernedAdvances);
            known = float(a.x());
        } else {
            known = float(m_metrics.horizontalAdvance(ch));
        }
    }
    return known;
}

double TextMeasure::width(QStringView text) const
{
    double w = 0;
    qsizetype length = 1;
    for (qsizetype i = 0; i < text.size(); i += length)
        w += advance(text, i, &length);
    return w;
}

QString TextMeasure::elided(const QString& text, double width) const
{
    if (this->width(text) <= width)
        return text;
    const double room = width - m_ellipsis;
    double w = 0;
    qsizetype i = 0;
    qsizetype length = 1;
    for (; i < text.size(); i += length) {
        const double a = advance(text, i, &length);
        if (w + a > room)
            break;
        w += a;
    }
    return QStringView(text).left(i).trimmed().toString() + kEllipsis;
}

QStringList TextMeasure::wrapped(const QString& text, double width, int maxLines) const
{
    if (maxLines <= 1 || this->width(text) <= width)
        return {elided(text, width)};
    const QStringView all(text);
    QStringList lines;
    qsizetype start = 0;
    while (start < all.size()) {
        if (int(lines.size()) + 1 == maxLines) {
            lines << elided(all.mid(start).trimmed().toString(), width);
            break;
        }
        double w = 0;
        qsizetype i = start;
        qsizetype lastBreak = -1;
        qsizetype length = 1;
        while (i < all.size()) {
            const double a = advance(all, i, &length);
            if (w + a > width && i > start && all[i] != u' ')
                break;
            w += a;
            i += length;
            if (i < all.size() && canBreakBefore(all, i))
                lastBreak = i;
        }
        if (i >= all.size()) {
            lines << all.mid(start).trimmed().toString();
            break;
        }
        const qsizetype end = lastBreak > start ? lastBreak : i;
        lines << all.mid(start, end - start).trimmed().toString();
        start = end;
        while (start < all.size() && all[start] == u' ')
            ++start;
    }
    return lines;
}

void TextMeasure::draw(QPainter& painter, const QPointF& baseline, const QString& text) const
{
    if (text.isEmpty())
        return;
    if (m_raw.isValid()) {
        QList<quint32> glyphs = m_raw.glyphIndexesForString(text);
        bool direct = glyphs.size() == text.size();
        QList<QPointF> positions;
        positions.reserve(glyphs.size());
        double x = 0;
        qsizetype length = 1;
        for (qsizetype i = 0; direct && i < text.size(); i += length) {
            const double a = advance(text, i, &length);
            direct = length == 1 && glyphs.at(i) != 0;
            // Whole layout units: as fine as print needs, and the PDF writes them short.
            positions << QPointF(std::round(x), 0);
            x += a;
        }
        if (direct) {
            QGlyphRun run;
            run.setRawFont(m_raw);
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            painter.drawGlyphRun(QPointF(std::round(baseline.x()), std::round(baseline.y())), run);
            return;
        }
    }
    painter.drawText(baseline, text);
}
