#!/bin/sh
# Rebuilds the spreadsheet-layer test workbooks (sheet_*) from their sources in this folder.
#   sheet_cases.gnumeric -> sheet_gnumeric.xls               (gnumeric: ssconvert)
#   sheet_cases.fods     -> sheet_libreoffice.xls            (LibreOffice: soffice --convert-to)
#   sheet_1904.fods      -> sheet_libreoffice_1904.xls       (LibreOffice, 1904 date system)
#                        -> sheet_damaged_xlsx.xls           (LibreOffice as .xlsx, renamed)
# The other sheet_* workbooks are made by the Python part below from sheet_libreoffice.xls: damaged,
# foreign and encrypted files, a shared-string table whose counts lie, and an Excel 5.0/95 workbook with
# GBK (code page 936) strings.
# sheet_fuzz_* are inputs found by scripts/fuzz-sheet.sh, kept as they are (not rebuilt here).
# Needs: ssconvert (gnumeric), soffice (libreoffice-calc-nogui), python3.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
soffice_convert() { # format source
  soffice --headless --norestore "-env:UserInstallation=file://$tmp/profile" \
    --convert-to "$1" --outdir "$tmp" "$2" >/dev/null
}

ssconvert --export-type=Gnumeric_Excel:excel_biff8 sheet_cases.gnumeric sheet_gnumeric.xls
soffice_convert 'xls:MS Excel 97' sheet_cases.fods
mv "$tmp/sheet_cases.xls" sheet_libreoffice.xls
soffice_convert 'xls:MS Excel 97' sheet_1904.fods
mv "$tmp/sheet_1904.xls" sheet_libreoffice_1904.xls
soffice_convert 'xlsx:Calc MS Excel 2007 XML' sheet_1904.fods
mv "$tmp/sheet_1904.xlsx" sheet_damaged_xlsx.xls

python3 - <<'PY'
import struct, zlib

def cfb_streams(data):
    """The streams of a compound file as {name: bytes}."""
    ss = 1 << struct.unpack_from('<H', data, 30)[0]
    mss = 1 << struct.unpack_from('<H', data, 32)[0]
    dirstart, = struct.unpack_from('<I', data, 48)
    cutoff, minifat_start = struct.unpack_from('<II', data, 56)
    difat = struct.unpack_from('<109I', data, 76)
    sec = lambda i: data[512 + i * ss: 512 + (i + 1) * ss]
    fat = []
    for s in difat:
        if s < 0xFFFFFFFA:
            fat += struct.unpack('<%dI' % (ss // 4), sec(s))
    def chain(start, table):
        while start < 0xFFFFFFFA:
            yield start
            start = table[start]
    dirdata = b''.join(sec(i) for i in chain(dirstart, fat))
    entries = []
    for i in range(len(dirdata) // 128):
        e = dirdata[i * 128:(i + 1) * 128]
        n, = struct.unpack_from('<H', e, 64)
        start, size = struct.unpack_from('<IQ', e, 116)
        entries.append((e[:max(n - 2, 0)].decode('utf-16-le'), e[66], start, size))
    ministream = b''.join(sec(i) for i in chain(entries[0][2], fat))
    minifat = []
    for s in chain(minifat_start, fat):
        minifat += struct.unpack('<%dI' % (ss // 4), sec(s))
    out = {}
    for name, kind, start, size in entries[1:]:
        if kind != 2:
            continue
        if size < cutoff:
            out[name] = b''.join(ministream[i * mss:(i + 1) * mss] for i in chain(start, minifat))[:size]
        else:
            out[name] = b''.join(sec(i) for i in chain(start, fat))[:size]
    return out

def cfb(name, stream):
    """A compound file of one stream, padded to 4 KiB so that it lives in ordinary 512-byte sectors."""
    stream = stream + b'\0' * max(0, 4096 - len(stream))
    nsec = (len(stream) + 511) // 512
    assert nsec + 2 <= 128
    fat = [0xFFFFFFFD, 0xFFFFFFFE] + [3 + i for i in range(nsec - 1)] + [0xFFFFFFFE]
    fat += [0xFFFFFFFF] * (128 - len(fat))
    header = b'\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1' + b'\0' * 16 + struct.pack('<HHHHH', 0x3E, 3, 0xFFFE, 9, 6)
    header += b'\0' * 6 + struct.pack('<IIIIIIIII', 0, 1, 1, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE, 0)
    header += struct.pack('<I', 0) + struct.pack('<I', 0xFFFFFFFF) * 108
    def entry(n, kind, child, start, size):
        raw = n.encode('utf-16-le') + b'\0\0'
        e = raw + b'\0' * (64 - len(raw)) + struct.pack('<HBB', len(raw), kind, 1)
        e += struct.pack('<III', 0xFFFFFFFF, 0xFFFFFFFF, child) + b'\0' * 36 + struct.pack('<IQ', start, size)
        return e
    empty = b'\0' * 64 + struct.pack('<HBB', 0, 0, 0) + struct.pack('<III', 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF) + b'\0' * 48
    directory = entry('Root Entry', 5, 1, 0xFFFFFFFE, 0) + entry(name, 2, 0xFFFFFFFF, 2, len(stream)) + empty * 2
    body = stream + b'\0' * (nsec * 512 - len(stream))
    return header + struct.pack('<128I', *fat) + directory + body

def records(stream):
    pos = 0
    while pos + 4 <= len(stream):
        rid, n = struct.unpack_from('<HH', stream, pos)
        yield pos, rid, n
        pos += 4 + n

def rec(rid, body):
    return struct.pack('<HH', rid, len(body)) + body

def write(name, data):
    open(name, 'wb').write(data)

good = cfb_streams(open('sheet_libreoffice.xls', 'rb').read())['Workbook']

def boundsheets(stream):
    return [pos for pos, rid, n in records(stream) if rid == 0x0085]

def insert_after_bof(stream, extra):
    """Inserts bytes after the globals BOF and moves the sheet positions on."""
    out = bytearray(stream[:20] + extra + stream[20:])
    for pos in boundsheets(bytes(out)):
        old, = struct.unpack_from('<I', out, pos + 4)
        struct.pack_into('<I', out, pos + 4, old + len(extra))
    return bytes(out)

# Encrypted: a FILEPASS record (RC4) right after the BOF.
write('sheet_damaged_encrypted.xls', cfb('Workbook', insert_after_bof(good, rec(0x002F, b'\x01\x00\x01\x00\x01\x00' + b'\x5a' * 48))))

# The first worksheet's position points far beyond the stream.
bad = bytearray(good)
struct.pack_into('<I', bad, boundsheets(good)[0] + 4, 0x7FFFFFF0)
write('sheet_damaged_sheet_offset.xls', cfb('Workbook', bytes(bad)))

# A record of the worksheet claims more bytes than the stream has left.
bad = bytearray(good)
first = [pos for pos, rid, n in records(good) if rid == 0x023E][0]  # WINDOW2 of the first sheet
struct.pack_into('<H', bad, first + 2, 0xFFFF)
write('sheet_damaged_record_length.xls', cfb('Workbook', bytes(bad)))

# A compound file without a workbook stream (as a word-processor document would be).
write('sheet_damaged_no_workbook.xls', cfb('WordDocument', b'\xec\xa5\xc1\x00' + b'\0' * 600))

# Only chart sheets: no worksheet to read.
bad = bytearray(good)
for pos in boundsheets(good):
    bad[pos + 4 + 5] = 2
write('sheet_damaged_no_worksheet.xls', cfb('Workbook', bytes(bad)))

# The shared-string table's counts lie (far more strings than the table holds): the real ones still read.
bad = bytearray(good)
sst = [pos for pos, rid, n in records(good) if rid == 0x00FC][0]
struct.pack_into('<II', bad, sst + 4, 0x7FFFFFFF, 0x7FFFFFFF)
write('sheet_robust_sst_count.xls', cfb('Workbook', bytes(bad)))

# The first 2.5 KiB of a good file.
write('sheet_damaged_truncated.xls', open('sheet_libreoffice.xls', 'rb').read()[:2560])

# Foreign files named .xls: empty, CSV text, a PNG picture, an Excel 4.0 worksheet.
write('sheet_damaged_empty.xls', b'')
write('sheet_damaged_csv.xls', '域名,报价\nabc.com,100\n'.encode('utf-8'))
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
write('sheet_damaged_png.xls', b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 1, 1, 8, 0, 0, 0, 0))
      + chunk(b'IDAT', zlib.compress(b'\0\xff')) + chunk(b'IEND', b''))
write('sheet_damaged_biff4.xls', rec(0x0409, struct.pack('<HHH', 0, 0x10, 0)) + rec(0x000A, b''))

# An Excel 5.0/95 workbook ("Book" stream, 8-bit strings by code page 936).
def bstr8(b): return bytes([len(b)]) + b
def bstr16(b): return struct.pack('<H', len(b)) + b
xf = lambda fmt: rec(0x00E0, struct.pack('<HH', 0, fmt) + b'\0' * 12)
def biff5(boundsheet_pos):
    g = rec(0x0809, struct.pack('<HHHH', 0x0500, 0x0005, 0x0DBB, 0x07CC))
    g += rec(0x0042, struct.pack('<H', 936))
    g += rec(0x041E, struct.pack('<H', 164) + bstr8('yyyy"年"m"月"d"日"'.encode('gbk')))
    g += b''.join(xf(0) for _ in range(15)) + xf(14) + xf(164)
    g += rec(0x0085, struct.pack('<IH', boundsheet_pos, 0) + bstr8(b'Sheet1'))
    g += rec(0x000A, b'')
    return g
glob_len = len(biff5(0))
sheet = rec(0x0809, struct.pack('<HHHH', 0x0500, 0x0010, 0x0DBB, 0x07CC))
sheet += rec(0x0204, struct.pack('<HHH', 0, 0, 0) + bstr16('中文域名.com'.encode('gbk')))
sheet += rec(0x0203, struct.pack('<HHHd', 0, 1, 0, 12.5))
sheet += rec(0x027E, struct.pack('<HHHI', 0, 2, 15, (45296 << 2) | 2))  # RK integer, date format
sheet += rec(0x0203, struct.pack('<HHHd', 0, 3, 16, 45291.0))          # 2023-12-31, custom date format
sheet += rec(0x000A, b'')
write('sheet_biff5_gbk.xls', cfb('Book', biff5(glob_len) + sheet))
PY
echo done
