#!/bin/sh
# Rebuilds the import test workbooks from their sources in this folder:
#   import_cases.gnumeric -> import_gnumeric.xls (gnumeric) -> import_libreoffice.xls (re-saved by LibreOffice)
#   import_blank_a.csv    -> import_blank_a.xls (gnumeric)
#   import_damaged.xls: the first 4 KiB of import_gnumeric.xls
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
ssconvert import_cases.gnumeric import_gnumeric.xls
ssconvert import_blank_a.csv import_blank_a.xls
soffice --headless --norestore "-env:UserInstallation=file://$tmp/profile" \
  --convert-to 'xls:MS Excel 97' --outdir "$tmp" import_gnumeric.xls
mv "$tmp/import_gnumeric.xls" import_libreoffice.xls
head -c 4096 import_gnumeric.xls > import_damaged.xls
