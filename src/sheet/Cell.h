#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <vector>

namespace sheet {

// One cell of a worksheet as a typed value.
struct Cell
{
    enum class Type
    {
        Empty,
        Number,
        Text,
        Boolean,
        Date,
        Error
    };
    Type type = Type::Empty;
    double number = 0;  // Number; Boolean 0/1; Error code; Date: the serial number as stored
    QString text;       // Text
    QDateTime dateTime; // Date: the wall-clock date and time as written, see wallClock()

    bool isEmpty() const { return type == Type::Empty; }
};

// A cell holding text.
inline Cell textCell(QString text)
{
    Cell cell;
    cell.type = Cell::Type::Text;
    cell.text = std::move(text);
    return cell;
}

// A date and time as a sheet holds it, without any time zone: kept as UTC so that neither the zone of this
// computer nor its summer time moves it (a local 02:30 on the night the clocks go forward does not exist and
// would come back as 03:30), and so that making one never asks the system for its zone.
inline QDateTime wallClock(QDate date, QTime time)
{
    return QDateTime(date, time, Qt::UTC);
}

// A worksheet's cells, stored sparsely: only cells that hold a value take memory. Cells set out of order
// are sorted on the next read; a sheet from the reader is already sorted, so reading it never writes.
class Sheet
{
public:
    int rowCount() const;                        // rows up to the last row that has any cell
    int columnCount() const;                     // columns up to the last column that has any cell
    const Cell& cell(int row, int column) const; // 0-based; returns an Empty cell outside the data
    Cell* find(int row, int column);             // the stored cell to change in place; nullptr if none
    qsizetype cellCount() const;                 // number of stored (non-empty) cells
    // The cells of row in columns 0 .. count-1 (an Empty cell where none is) into cells, found with one
    // search for the whole row: for reading a long sheet row by row.
    void rowCells(int row, int count, const Cell** cells) const;

    // Puts a value at (row, column), both 0-based and non-negative. Cells may come in any order; a later
    // value at the same place replaces the earlier one; an Empty cell clears the place.
    void setCell(int row, int column, Cell cell);
    // Puts every cell of other at its place here, as setCell would.
    void setCells(const Sheet& other);
    void reserve(qsizetype cells); // room for that many setCell calls (a hint; large counts are capped)

private:
    struct Entry
    {
        quint64 key; // row << 32 | column
        Cell cell;
    };
    static quint64 keyOf(int row, int column) { return (quint64(quint32(row)) << 32) | quint32(column); }
    void normalize() const;

    mutable std::vector<Entry> m_cells; // sorted by key, unique and non-empty once normalized
    mutable bool m_sorted = true;
    mutable int m_rowCount = 0;
    mutable int m_columnCount = 0;
    std::size_t m_foldAt = 1024 * 1024; // unsorted cells that make setCell fold replaced values
};

// The cell's value as display text: a number in general form (at most 15 significant digits, the locale's
// decimal separator), a text unchanged, a boolean as "TRUE"/"FALSE", a date as yyyy-MM-dd (with
// " HH:mm:ss" unless it is midnight; a bare time of day as HH:mm:ss) in every locale, an error as its
// "#..." code; leading and trailing blanks and control characters removed.
QString cellToText(const Cell& cell, const QLocale& locale = QLocale());

// Removes leading and trailing blanks (also U+00A0 and U+3000) and control characters.
QString stripBlanks(const QString& text);

} // namespace sheet
