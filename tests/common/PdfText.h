#pragma once

#include <QString>
#include <QStringList>

// Reads a PDF back with the independent poppler tools.
namespace pdftext {
// The text of every page, in reading order with the page layout kept (pdftotext -layout).
QStringList pages(const QString& pdfPath);
// The fonts the file uses, as pdffonts lists them (heading lines dropped).
QStringList fonts(const QString& pdfPath);
} // namespace pdftext
