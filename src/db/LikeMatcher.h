#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The search of the domain list, answered from the names already held instead of the engine:
// the engine's LIKE exactly ("%" any run of characters, "_" one character as the engine decodes
// UTF-8, no escape character, the pattern ends at its first NUL), with letter case ignored. The
// engine ignores case for ASCII letters only; with Folding::Unicode every letter is folded, so
// "äb" also finds "ÄBC.cn". Folding maps one character to one character, so "_" counts the same.
//
// The cost grows linearly with the text: "%"-separated segments are placed leftmost first, which
// is exact for LIKE, and nothing backtracks.
namespace like {

enum class Folding
{
    Ascii,  // as the engine: A-Z only
    Unicode // every letter with a simple case folding
};

// The engine refuses patterns longer than this many bytes ("LIKE or GLOB pattern too complex").
inline constexpr size_t kMaxPatternBytes = 50000;

// Appends the text as the matcher compares it: characters decoded as the engine decodes them
// (a malformed sequence is one character U+FFFD, a stray continuation byte one character of
// its own value), folded, written back as UTF-8, and cut at the first NUL.
void normalize(std::string& out, std::string_view utf8, Folding folding);

// The pattern "%" + text + "%" of the search, or any LIKE pattern.
class Pattern
{
public:
    Pattern(std::string_view utf8Pattern, Folding folding);
    // The search's pattern around a typed text.
    static Pattern contains(const QString& text, Folding folding);

    // Longer than the engine accepts: the engine's statement fails on it.
    bool tooComplex() const { return m_tooComplex; }
    // Matches every text (only "%" characters).
    bool matchesAll() const { return m_segments.empty() && !m_anchoredStart; }
    // A normalized text (see normalize()).
    bool matches(std::string_view text) const;
    // The longest literal piece: every matching text contains it (empty when there is none).
    std::string_view longestLiteral() const { return m_longest; }
    // "%" + a literal + "%": every text holding the longest literal matches.
    bool isPlainContains() const { return m_plainContains; }

private:
    struct Piece
    {
        uint32_t skip = 0;   // "_" before the literal
        std::string literal; // normalized bytes
    };
    struct Segment
    {
        std::vector<Piece> pieces;
        uint32_t trailingSkip = 0; // "_" after the last literal
        uint32_t length = 0;       // in characters
    };
    static size_t matchAt(const Segment& s, std::string_view text, size_t at);
    static size_t findFrom(const Segment& s, std::string_view text, size_t from, size_t* end);

    std::vector<Segment> m_segments;
    bool m_anchoredStart = false; // no "%" before the first segment
    bool m_anchoredEnd = false;   // no "%" after the last segment
    bool m_tooComplex = false;
    bool m_plainContains = false;
    std::string m_longest;
};

// Normalized names of many rows in one block, each ended by a NUL, for matching them all at once.
// About five bytes per row beyond the name.
class NameIndex
{
public:
    explicit NameIndex(Folding folding = Folding::Unicode) : m_folding(folding) {}
    void clear();
    void reserve(size_t rows, size_t bytes);
    // Gives back room well beyond the names held.
    void shrinkToFit();
    // Adds the next row's name; a missing value (NULL) matches no pattern, as in the engine.
    void append(std::string_view utf8, bool isNull = false);
    size_t size() const { return m_start.empty() ? 0 : m_start.size() - 1; }
    size_t bytesHeld() const;

    // The rows (numbered in the order appended, ascending) whose name matches, from row `from` on.
    std::vector<uint32_t> match(const Pattern& pattern, size_t from = 0) const;
    // The rows among candidates (ascending) whose name matches.
    std::vector<uint32_t> narrow(const Pattern& pattern, const std::vector<uint32_t>& candidates) const;

private:
    std::string_view name(size_t row) const
    {
        return std::string_view(m_text.data() + m_start[row], m_start[row + 1] - m_start[row] - 1);
    }
    bool isNull(size_t row) const { return !m_null.empty() && m_null[row]; }

    Folding m_folding;
    std::string m_text;
    std::vector<uint32_t> m_start{0};
    std::vector<bool> m_null; // only once a NULL was added
};

} // namespace like
