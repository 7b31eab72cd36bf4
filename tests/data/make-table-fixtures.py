#!/usr/bin/python3
# Writes table_inline_and_values.xlsx: a minimal workbook whose first sheet mixes texts held in place
# (t="inlineStr", as streaming writers store them) with numbers, a date and a shared text, so that both
# the texts read beside the package library and its own values are seen. Run from this folder.
import zipfile

PARTS = {
    "[Content_Types].xml": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/><Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/><Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>""",
    "_rels/.rels": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>""",
    "xl/workbook.xml": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="域名" sheetId="1" r:id="rId1"/></sheets></workbook>""",
    "xl/_rels/workbook.xml.rels": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>""",
    "xl/styles.xml": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts><fills count="1"><fill><patternFill patternType="none"/></fill></fills><borders count="1"><border/></borders><cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs><cellXfs count="2"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/><xf numFmtId="14" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs></styleSheet>""",
    "xl/sharedStrings.xml": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="1" uniqueCount="1"><si><t>共享的文字</t></si></sst>""",
    "xl/worksheets/sheet1.xml": """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>abc.cn</t></is></c><c r="B1"><v>42</v></c><c r="C1" s="1"><v>45296</v></c><c r="D1" t="s"><v>0</v></c></row><row r="3"><c r="A3" t="inlineStr"><is><t>第二行_x000D_</t></is></c><c r="E3" t="inlineStr"><is><t> 空格 </t></is></c></row></sheetData></worksheet>""",
}

with zipfile.ZipFile("table_inline_and_values.xlsx", "w", zipfile.ZIP_DEFLATED) as package:
    for name, text in PARTS.items():
        info = zipfile.ZipInfo(name, date_time=(2024, 1, 5, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        package.writestr(info, text.encode("utf-8"))


# Writes table_fuzz_sheet_bin.xlsx: the workbook of import_gnumeric.xlsx whose second sheet is the damaged
# sheet part of table_fuzz_malformed_xml.xlsx, stored under a name that does not end in .xml
# (xl/worksheets/sheet2.bin, with its right checksum) and named so by the workbook's relations. The
# package library follows the relation wherever it points.
def raw_part(path, name):
    """The unpacked bytes of a part, whatever its stored checksum says."""
    import struct
    import zlib

    with zipfile.ZipFile(path) as package:
        info = package.getinfo(name)
    with open(path, "rb") as f:
        f.seek(info.header_offset)
        header = f.read(30)
        name_length, extra_length = struct.unpack("<HH", header[26:30])
        f.seek(info.header_offset + 30 + name_length + extra_length)
        packed = f.read(info.compress_size)
    return zlib.decompressobj(-15).decompress(packed) if info.compress_type == 8 else packed


def move_sheet_part(path, old, new, data=None, extra=()):
    """import_gnumeric.xlsx with the sheet part old stored as new (with data instead, if given), the
    workbook's relations pointing there, and the extra (name, bytes) parts added."""
    with zipfile.ZipFile("import_gnumeric.xlsx") as source, zipfile.ZipFile(
        path, "w", zipfile.ZIP_DEFLATED
    ) as package:
        for item in source.infolist():
            name, part = item.filename, source.read(item.filename)
            if name == "xl/worksheets/" + old:
                name, part = "xl/worksheets/" + new, part if data is None else data
            elif name == "xl/_rels/workbook.xml.rels":
                part = part.replace(b'Target="worksheets/' + old.encode(), b'Target="worksheets/' + new.encode())
            package.writestr(zipfile.ZipInfo(name, date_time=item.date_time), part, zipfile.ZIP_DEFLATED)
        for name, part in extra:
            package.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 5, 0, 0, 0)), part, zipfile.ZIP_DEFLATED)


damaged_sheet = raw_part("table_fuzz_malformed_xml.xlsx", "xl/worksheets/sheet2.xml")
move_sheet_part("table_fuzz_sheet_bin.xlsx", "sheet2.xml", "sheet2.bin", damaged_sheet)

# Writes table_renamed_parts.xlsx: the workbook of import_gnumeric.xlsx whose first sheet's part is named
# xl/worksheets/Sheet1.BIN (the relations say so), with a picture beside it: parts are told by what they
# hold, never by their names.
move_sheet_part(
    "table_renamed_parts.xlsx",
    "sheet1.xml",
    "Sheet1.BIN",
    extra=[("xl/media/image1.png", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR" + bytes(range(256)))],
)

# Writes table_sheet_not_xml.xlsx: the workbook of import_gnumeric.xlsx whose first sheet's part holds a
# picture instead of XML.
move_sheet_part("table_sheet_not_xml.xlsx", "sheet1.xml", "sheet1.xml", b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR")


# Writes the shared-text bombs: small packages whose table of shared texts unpacks to far more than a
# workbook is allowed to hold. table_bomb_shared_text.xlsx: 160 MB of text in 160 entries;
# table_bomb_shared_count.xlsx: six million empty entries. The first sheet uses the first entry.
def shared_text_bomb(path, entries):
    parts = dict(PARTS)
    del parts["xl/sharedStrings.xml"]
    parts["xl/worksheets/sheet1.xml"] = (
        '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<worksheet '
        'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1">'
        '<c r="A1" t="s"><v>0</v></c></row></sheetData></worksheet>'
    )
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as package:
        for name, text in parts.items():
            package.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 5, 0, 0, 0)), text.encode("utf-8"),
                             zipfile.ZIP_DEFLATED)
        info = zipfile.ZipInfo("xl/sharedStrings.xml", date_time=(2024, 1, 5, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        with package.open(info, "w") as part:
            part.write(b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<sst '
                       b'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">')
            for chunk in entries():
                part.write(chunk)
            part.write(b"</sst>")


def long_texts():
    text = b"A" * (1024 * 1024)
    for _ in range(160):
        yield b"<si><t>" + text + b"</t></si>"


def many_texts():
    for _ in range(60):
        yield b"<si/>" * 100000


shared_text_bomb("table_bomb_shared_text.xlsx", long_texts)
shared_text_bomb("table_bomb_shared_count.xlsx", many_texts)
