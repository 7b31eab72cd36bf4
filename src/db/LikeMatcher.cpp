#include "LikeMatcher.h"

#include <QChar>
#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace like {

namespace {

bool isContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// The value bits of a lead byte from 0xC0 on, as the engine reads them.
uint32_t leadBits(unsigned char c)
{
    if (c < 0xE0)
        return c - 0xC0u;
    if (c < 0xF0)
        return c - 0xE0u;
    if (c < 0xF8)
        return c - 0xF0u;
    if (c < 0xFC)
        return c - 0xF8u;
    if (c < 0xFE)
        return c - 0xFCu;
    return 0;
}

// Reads one character the way the engine does: a lead byte takes every continuation byte that
// follows it; overlong forms, surrogates and U+FFFE/U+FFFF become U+FFFD; any other byte below
// 0xC0 is a character of that value.
uint32_t readChar(const unsigned char*& p, const unsigned char* end)
{
    uint32_t c = *p++;
    if (c >= 0xC0) {
        c = leadBits(static_cast<unsigned char>(c));
        while (p < end && isContinuation(*p))
            c = (c << 6) + (0x3Fu & *p++);
        if (c < 0x80 || (c & 0xFFFFF800u) == 0xD800u || (c & 0xFFFFFFFEu) == 0xFFFEu)
            c = 0xFFFD;
    }
    return c;
}

// UTF-8, extended past U+10FFFF (values the engine can decode from malformed input) so that
// different characters always give different bytes.
void writeChar(std::string& out, uint32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
        return;
    }
    int tail;
    unsigned char lead;
    if (c < 0x800) {
        tail = 1;
        lead = 0xC0;
    } else if (c < 0x10000) {
        tail = 2;
        lead = 0xE0;
    } else if (c < 0x200000) {
        tail = 3;
        lead = 0xF0;
    } else if (c < 0x4000000) {
        tail = 4;
        lead = 0xF8;
    } else {
        tail = 5;
        lead = 0xFC;
    }
    out.push_back(char(lead | (c >> (6 * tail))));
    for (int i = tail - 1; i >= 0; --i)
        out.push_back(char(0x80 | ((c >> (6 * i)) & 0x3F)));
}

uint32_t fold(uint32_t c, Folding folding)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (folding == Folding::Unicode && c <= 0x10FFFF) {
        const char32_t f = QChar::toCaseFolded(char32_t(c));
        // Never fold into a pattern character, NUL or a surrogate.
        if (f != 0 && f != U'%' && f != U'_' && (f < 0xD800 || f > 0xDFFF))
            return uint32_t(f);
    }
    return c;
}

// Moves over n characters of normalized text; npos when it ends first.
size_t skipChars(std::string_view text, size_t at, uint32_t n)
{
    const size_t size = text.size();
    while (n-- > 0) {
        if (at >= size)
            return std::string_view::npos;
        ++at;
        while (at < size && isContinuation(static_cast<unsigned char>(text[at])))
            ++at;
    }
    return at;
}

// Moves back over n characters; npos when the text starts first.
size_t backChars(std::string_view text, size_t at, uint32_t n)
{
    while (n-- > 0) {
        if (at == 0)
            return std::string_view::npos;
        --at;
        while (at > 0 && isContinuation(static_cast<unsigned char>(text[at])))
            --at;
    }
    return at;
}

// The first place at or after `from` where `needle` occurs in `hay`. Called once per matching row, so its
// cost per call matters as much as its speed over long stretches: sixteen places are tested at a time by
// their first and last bytes, and only those with both are compared in full.
size_t findBytes(std::string_view hay, std::string_view needle, size_t from)
{
    const size_t n = needle.size();
    if (from > hay.size() || n > hay.size() - from)
        return std::string_view::npos;
    if (n == 0)
        return from;
    const char* const base = hay.data();
    const char* p = base + from;
    const char* const lastStart = base + hay.size() - n; // the last place a match can begin
    if (n == 1) {
        const void* hit = std::memchr(p, needle[0], size_t(lastStart - p) + 1);
        return hit ? size_t(static_cast<const char*>(hit) - base) : std::string_view::npos;
    }
    const char first = needle.front(), last = needle.back();
    const char* const middle = needle.data() + 1;
    const size_t middleSize = n - 2;
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i firsts = _mm_set1_epi8(first), lasts = _mm_set1_epi8(last);
    while (lastStart - p >= 15) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
        auto mask =
            unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, lasts))));
        while (mask != 0) {
            const char* at = p + std::countr_zero(mask);
            if (std::memcmp(at + 1, middle, middleSize) == 0)
                return size_t(at - base);
            mask &= mask - 1;
        }
        p += 16;
    }
#endif
    for (; p <= lastStart; ++p) {
        if (*p == first && p[n - 1] == last && std::memcmp(p + 1, middle, middleSize) == 0)
            return size_t(p - base);
    }
    return std::string_view::npos;
}

} // namespace

void normalize(std::string& out, std::string_view utf8, Folding folding)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    // Plain ASCII, the usual domain name, only has its capitals lowered.
    while (p < end && *p < 0x80 && *p != 0) {
        const unsigned char c = *p++;
        out.push_back(char((c >= 'A' && c <= 'Z') ? c + 32 : c));
    }
    while (p < end && *p != 0)
        writeChar(out, fold(readChar(p, end), folding));
}

Pattern::Pattern(std::string_view utf8Pattern, Folding folding)
{
    if (utf8Pattern.size() > kMaxPatternBytes) {
        m_tooComplex = true;
        return;
    }
    std::string text;
    normalize(text, utf8Pattern, folding);
    m_anchoredStart = text.empty() || text.front() != '%';
    m_anchoredEnd = !text.empty() && text.back() != '%';
    Segment segment;
    Piece piece;
    auto closeSegment = [&]() {
        if (!piece.literal.empty()) {
            segment.pieces.push_back(std::move(piece));
            piece = Piece();
        }
        segment.trailingSkip = piece.skip;
        piece = Piece();
        if (!segment.pieces.empty() || segment.trailingSkip > 0)
            m_segments.push_back(std::move(segment));
        segment = Segment();
    };
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            closeSegment();
            ++i;
        } else if (c == '_') {
            if (!piece.literal.empty()) {
                segment.pieces.push_back(std::move(piece));
                piece = Piece();
            }
            ++piece.skip;
            ++segment.length;
            ++i;
        } else {
            const size_t next = skipChars(text, i, 1);
            piece.literal.append(text, i, next - i);
            ++segment.length;
            i = next;
        }
    }
    closeSegment();
    for (const Segment& s : m_segments) {
        for (const Piece& p : s.pieces) {
            if (p.literal.size() > m_longest.size())
                m_longest = p.literal;
        }
    }
    m_plainContains = !m_anchoredStart && !m_anchoredEnd && m_segments.size() == 1 &&
                      m_segments[0].pieces.size() == 1 && m_segments[0].pieces[0].skip == 0 &&
                      m_segments[0].trailingSkip == 0;
    // A pattern of one segment anchored at both ends with nothing in it matches only the empty text.
}

Pattern Pattern::contains(const QString& text, Folding folding)
{
    QByteArray utf8 = text.toUtf8();
    utf8.prepend('%');
    utf8.append('%');
    return Pattern(std::string_view(utf8.constData(), size_t(utf8.size())), folding);
}

// The end of the segment matched at exactly `at`, or npos.
size_t Pattern::matchAt(const Segment& s, std::string_view text, size_t at)
{
    for (const Piece& p : s.pieces) {
        at = skipChars(text, at, p.skip);
        if (at == std::string_view::npos || text.size() - at < p.literal.size() ||
            std::memcmp(text.data() + at, p.literal.data(), p.literal.size()) != 0)
            return std::string_view::npos;
        at += p.literal.size();
    }
    return skipChars(text, at, s.trailingSkip);
}

// The leftmost place at or after `from` where the segment matches: its start, with *end set.
size_t Pattern::findFrom(const Segment& s, std::string_view text, size_t from, size_t* end)
{
    if (s.pieces.empty()) {
        *end = skipChars(text, from, s.trailingSkip);
        return *end == std::string_view::npos ? *end : from;
    }
    // The first literal anchors the search; the "_" before it are counted back from each hit.
    const Piece& first = s.pieces.front();
    size_t at = skipChars(text, from, first.skip);
    while (at != std::string_view::npos) {
        const size_t hit = findBytes(text, first.literal, at);
        if (hit == std::string_view::npos)
            return hit;
        const size_t start = backChars(text, hit, first.skip);
        const size_t e = matchAt(s, text, start);
        if (e != std::string_view::npos) {
            *end = e;
            return start;
        }
        at = hit + 1;
    }
    return std::string_view::npos;
}

bool Pattern::matches(std::string_view text) const
{
    if (m_tooComplex)
        return false;
    if (m_segments.empty())
        return !m_anchoredStart || text.empty();
    size_t pos = 0;
    const size_t count = m_segments.size();
    for (size_t i = 0; i < count; ++i) {
        const Segment& s = m_segments[i];
        const bool first = i == 0, last = i + 1 == count;
        if (last && m_anchoredEnd) {
            // The last segment takes exactly the last characters of the text.
            const size_t start = backChars(text, text.size(), s.length);
            if (start == std::string_view::npos || start < pos || (first && m_anchoredStart && start != 0))
                return false;
            return matchAt(s, text, start) == text.size();
        }
        if (first && m_anchoredStart) {
            pos = matchAt(s, text, 0);
            if (pos == std::string_view::npos)
                return false;
            continue;
        }
        size_t end = 0;
        if (findFrom(s, text, pos, &end) == std::string_view::npos)
            return false;
        pos = end;
    }
    return true;
}

void NameIndex::clear()
{
    std::string().swap(m_text);
    m_start.assign(1, 0);
    std::vector<bool>().swap(m_null);
}

void NameIndex::reserve(size_t rows, size_t bytes)
{
    m_start.reserve(rows + 1);
    m_text.reserve(bytes + rows);
}

void NameIndex::append(std::string_view utf8, bool isNull)
{
    if (isNull) {
        if (m_null.empty())
            m_null.assign(size(), false);
        m_null.push_back(true);
    } else {
        normalize(m_text, utf8, m_folding);
        if (!m_null.empty())
            m_null.push_back(false);
    }
    m_text.push_back('\0');
    m_start.push_back(uint32_t(m_text.size()));
}

void NameIndex::shrinkToFit()
{
    if (m_text.capacity() > m_text.size() + m_text.size() / 8)
        m_text.shrink_to_fit();
    if (m_start.capacity() > m_start.size() + m_start.size() / 8)
        m_start.shrink_to_fit();
}

size_t NameIndex::bytesHeld() const
{
    return m_text.capacity() + m_start.capacity() * sizeof(uint32_t) + m_null.capacity() / 8;
}

std::vector<uint32_t> NameIndex::match(const Pattern& pattern, size_t from) const
{
    std::vector<uint32_t> rows;
    const size_t count = size();
    if (pattern.tooComplex() || from >= count)
        return rows;
    const std::string_view key = pattern.longestLiteral();
    if (key.empty()) {
        for (size_t r = from; r < count; ++r) {
            if (!isNull(r) && pattern.matches(name(r)))
                rows.push_back(uint32_t(r));
        }
        return rows;
    }
    // One pass over the whole block finds the rows that hold the longest literal; only they are
    // matched in full. A name never holds a NUL, so no hit spans two rows.
    const std::string_view all(m_text);
    const bool hitIsMatch = pattern.isPlainContains();
    size_t at = m_start[from];
    size_t row = from;
    while (row < count) {
        const size_t hit = findBytes(all, key, at);
        if (hit == std::string_view::npos)
            break;
        // The row holding the hit: the first whose end lies beyond it.
        auto it = std::upper_bound(m_start.begin() + std::ptrdiff_t(row) + 1, m_start.end(), uint32_t(hit));
        row = size_t(it - m_start.begin()) - 1;
        if (!isNull(row) && (hitIsMatch || pattern.matches(name(row))))
            rows.push_back(uint32_t(row));
        ++row;
        at = row < count ? m_start[row] : all.size();
    }
    return rows;
}

std::vector<uint32_t> NameIndex::narrow(const Pattern& pattern, const std::vector<uint32_t>& candidates) const
{
    std::vector<uint32_t> rows;
    if (pattern.tooComplex())
        return rows;
    for (const uint32_t r : candidates) {
        if (r < size() && !isNull(r) && pattern.matches(name(r)))
            rows.push_back(r);
    }
    return rows;
}

} // namespace like
