#pragma once

#include "ReportLayout.h"

class QPrinter;

// Writes every page of a laid-out report as PDF, with its fonts embedded. The file appears only
// when complete: a cancelled or failed run leaves no file behind (an older file of that name
// stays as it was). Empty on success or when cancelled (*cancelled is then true), else a message.
QString writeReportPdf(const ReportLayout& layout, const QString& path, const ReportProgress& progress = {},
                       bool* cancelled = nullptr);

// Prints a laid-out report on a printer that is set up already (its page range is honoured).
QString printReport(const ReportLayout& layout, QPrinter& printer, const ReportProgress& progress = {},
                    bool* cancelled = nullptr);
