#pragma once

// Record numbers and byte helpers of the BIFF5/BIFF8 workbook stream, shared by the reader and the writer.

#include <QByteArray>
#include <QtGlobal>

#include <cstring>

namespace sheet::biff {

enum Record : quint16
{
    Formula = 0x0006,
    Eof = 0x000A,
    CalcCount = 0x000C,
    CalcMode = 0x000D,
    Precision = 0x000E,
    RefMode = 0x000F,
    Delta = 0x0010,
    Iteration = 0x0011,
    Protect = 0x0012,
    Password = 0x0013,
    Header = 0x0014,
    Footer = 0x0015,
    WindowProtect = 0x0019,
    Selection = 0x001D,
    DateMode = 0x0022,
    PrintHeaders = 0x002A,
    PrintGridlines = 0x002B,
    FilePass = 0x002F,
    Font = 0x0031,
    Continue = 0x003C,
    Window1 = 0x003D,
    Backup = 0x0040,
    CodePage = 0x0042,
    DefColWidth = 0x0055,
    WriteAccess = 0x005C,
    SaveRecalc = 0x005F,
    Guts = 0x0080,
    WsBool = 0x0081,
    GridSet = 0x0082,
    HCenter = 0x0083,
    VCenter = 0x0084,
    BoundSheet = 0x0085,
    Country = 0x008C,
    HideObj = 0x008D,
    FnGroupCount = 0x009C,
    MulRk = 0x00BD,
    MulBlank = 0x00BE,
    Mms = 0x00C1,
    RString = 0x00D6,
    DbCell = 0x00D7,
    BookBool = 0x00DA,
    Xf = 0x00E0,
    InterfaceHdr = 0x00E1,
    InterfaceEnd = 0x00E2,
    Sst = 0x00FC,
    LabelSst = 0x00FD,
    ExtSst = 0x00FF,
    TabId = 0x013D,
    UsesElfs = 0x0160,
    Dsf = 0x0161,
    Prot4Rev = 0x01AF,
    RefreshAll = 0x01B7,
    Prot4RevPass = 0x01BC,
    Dimensions = 0x0200,
    Blank = 0x0201,
    Number = 0x0203,
    Label = 0x0204,
    BoolErr = 0x0205,
    String = 0x0207,
    Row = 0x0208,
    Index = 0x020B,
    DefaultRowHeight = 0x0225,
    Window2 = 0x023E,
    Rk = 0x027E,
    Style = 0x0293,
    Format = 0x041E,
    Bof = 0x0809,
};

constexpr quint16 Biff8Version = 0x0600;
constexpr quint16 Biff5Version = 0x0500;
constexpr int MaxRecordData = 8224; // data bytes of one record, without its 4-byte header
constexpr int MaxRows = 65536;
constexpr int MaxColumns = 256;

inline quint16 u16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}
inline quint32 u32(const uchar* p)
{
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
inline double f64(const uchar* p)
{
    quint64 bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline void put16(QByteArray& out, quint16 v)
{
    const char b[2] = {char(v & 0xFF), char(v >> 8)};
    out.append(b, 2);
}
inline void put32(QByteArray& out, quint32 v)
{
    const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
    out.append(b, 4);
}
inline void set16(QByteArray& out, qsizetype at, quint16 v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}
inline void set32(QByteArray& out, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace sheet::biff
