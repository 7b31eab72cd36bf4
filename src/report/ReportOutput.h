#pragma once

#include "ReportLayout.h"
#include "platform/Result.h"

class QPrinter;

// Writes every page of a laid-out report as PDF, with its fonts embedded. The file appears only
// when complete: a cancelled or failed run leaves no file behind (an older file of that name
// stays as it was). Fails with Code::Cancelled (and no text) when the progress stopped it.
Result writeReportPdf(const ReportLayout& layout, const QString& path, const ReportProgress& progress = {});

// Prints a laid-out report on a printer that is set up already (its page range is honoured). Fails with
// Code::Cancelled (and no text) when the progress stopped it.
Result printReport(const ReportLayout& layout, QPrinter& printer, const ReportProgress& progress = {});
