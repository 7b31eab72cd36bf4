#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>
#include <QStringList>
#include <vector>

// Measures, wraps and cuts short single-font text for the report layout, from the advance of
// each character, kept once measured. Much faster than a text layout per cell, which matters
// with a hundred thousand rows; the report fonts are set without kerning, so the sum of the
// advances is the width that is painted.
class QPainter;
class QPointF;

class TextMeasure
{
public:
    explicit TextMeasure(const QFont& font);

    const QFontMetricsF& metrics() const { return m_metrics; }
    double width(QStringView text) const;
    // The text, or as much of it as fits followed by "…".
    QString elided(const QString& text, double width) const;
    // The text broken into lines of at most width, at blanks, punctuation or between Chinese
    // characters where it can, else anywhere; at most maxLines, the last one cut short.
    QStringList wrapped(const QString& text, double width, int maxLines) const;
    // Paints one line with its baseline starting at the point, with the painter's font set to
    // this one. Text the primary font covers goes out as glyphs placed by the advances above,
    // without shaping it again; anything else is drawn as text.
    void draw(QPainter& painter, const QPointF& baseline, const QString& text) const;

private:
    // The advance of the character at i (a surrogate pair counts as one; *length tells).
    double advance(QStringView text, qsizetype i, qsizetype* length) const;

    QFontMetricsF m_metrics;
    QRawFont m_raw;                        // the primary font, when it can draw glyphs directly
    mutable std::vector<float> m_advances; // by UTF-16 unit, negative until measured
    double m_ellipsis;
};
