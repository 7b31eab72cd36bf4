#!/bin/sh
# Rebuilds the import test workbooks from their sources in this folder:
#   import_cases.gnumeric -> import_gnumeric.xls (gnumeric) -> import_libreoffice.xls (re-saved by LibreOffice)
#   import_cases.gnumeric -> import_gnumeric.xlsx, import_gnumeric.ods, import_gnumeric.csv (gnumeric)
#   import_gnumeric.xls   -> import_libreoffice.xlsx, import_libreoffice.ods, import_libreoffice.csv,
#                            import_libreoffice_tab.csv (tab-separated) (LibreOffice)
#   import_libreoffice_gbk.csv: LibreOffice's semicolon-separated text, recoded to GBK (GB18030)
#   import_gnumeric_bom.csv: import_gnumeric.csv behind the UTF-8 byte-order mark
#   import_blank_a.csv    -> import_blank_a.xls (gnumeric)
#   import_damaged.xls: the first 4 KiB of import_gnumeric.xls
# Needs: ssconvert (gnumeric), soffice (libreoffice-calc-nogui), iconv.
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
soffice_convert() { # format source
  soffice --headless --norestore "-env:UserInstallation=file://$tmp/profile" \
    --convert-to "$1" --outdir "$tmp" "$2" >/dev/null
}
ssconvert import_cases.gnumeric import_gnumeric.xls
ssconvert --export-type=Gnumeric_Excel:xlsx2 import_cases.gnumeric import_gnumeric.xlsx
ssconvert --export-type=Gnumeric_OpenCalc:odf import_cases.gnumeric import_gnumeric.ods
ssconvert --export-type=Gnumeric_stf:stf_csv import_cases.gnumeric import_gnumeric.csv
printf '\357\273\277' | cat - import_gnumeric.csv > import_gnumeric_bom.csv
ssconvert import_blank_a.csv import_blank_a.xls
soffice_convert 'xls:MS Excel 97' import_gnumeric.xls
mv "$tmp/import_gnumeric.xls" import_libreoffice.xls
soffice_convert 'xlsx:Calc MS Excel 2007 XML' import_gnumeric.xls
mv "$tmp/import_gnumeric.xlsx" import_libreoffice.xlsx
soffice_convert 'ods' import_gnumeric.xls
mv "$tmp/import_gnumeric.ods" import_libreoffice.ods
# Text export options: field separator, text delimiter, character set (76: UTF-8), first line.
soffice_convert 'csv:Text - txt - csv (StarCalc):44,34,76,1' import_gnumeric.xls
mv "$tmp/import_gnumeric.csv" import_libreoffice.csv
soffice_convert 'csv:Text - txt - csv (StarCalc):9,34,76,1' import_gnumeric.xls
mv "$tmp/import_gnumeric.csv" import_libreoffice_tab.csv
soffice_convert 'csv:Text - txt - csv (StarCalc):59,34,76,1' import_gnumeric.xls
iconv -f UTF-8 -t GB18030 "$tmp/import_gnumeric.csv" > import_libreoffice_gbk.csv
head -c 4096 import_gnumeric.xls > import_damaged.xls
