// Fuzz target for the report project reader: any bytes as the text of yuming.rav. A project that reads is
// then put to use as printing would: every column writes sample values (numbers, huge and odd ones, dates,
// texts) through its number format and value map, and every row rule is tested on them.
// Built with -DLANSHU_FUZZ=ON (clang, libFuzzer with the address and undefined-behaviour sanitizers);
// otherwise a plain program that replays the given files and folders (FuzzReplay.cpp).
#include "report/ReportFormat.h"
#include "report/ReportProject.h"

#include <QByteArray>
#include <QDate>

#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    ReportProject project;
    const QString error = project.parse(bytes, QStringLiteral("fuzz.rav"));
    if (error.isEmpty() != project.isOpen())
        __builtin_trap(); // exactly one of a project and an error text
    if (!project.isOpen())
        return 0;
    if (!project.defaultReport())
        __builtin_trap(); // an open project always has its default report
    static const QStringList samples{QString(),
                                     QStringLiteral("0"),
                                     QStringLiteral("12,000.50"),
                                     QStringLiteral("-0.000000000000000000000000000001"),
                                     QStringLiteral("1") + QString(400, QLatin1Char('9')),
                                     QStringLiteral("１２０００ 元"),
                                     QStringLiteral("NaN"),
                                     QStringLiteral("inf"),
                                     QStringLiteral("2026-03-09"),
                                     QStringLiteral("例子.com")};
    const auto readDay = [](const QString& text) { return reportformat::isoDay(text); };
    const qint64 printDay = QDate(2026, 3, 9).toJulianDay();
    for (const ReportDefinition& report : project.reports()) {
        if (project.report(report.name) == nullptr)
            __builtin_trap();
        for (const ReportColumn& column : report.columns) {
            for (const QString& value : samples)
                (void)reportformat::cellText(value, column);
        }
        for (const ReportCondition& condition : report.omit) {
            for (const QString& value : samples)
                (void)reportformat::meets(condition, value, printDay, readDay);
        }
    }
    return 0;
}
