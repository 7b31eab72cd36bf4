// Fuzz target for the workbook readers: built as fuzz_table_reader for the reader of every table format
// (.xls, .xlsx, .ods, .csv, told by their content), and as one target for each format alone
// (LANSHU_FUZZ_XLS_ONLY, LANSHU_FUZZ_XLSX, LANSHU_FUZZ_ODS, LANSHU_FUZZ_CSV).
// Built with -DLANSHU_FUZZ=ON (clang, libFuzzer with the address and undefined-behaviour sanitizers);
// otherwise a plain program that replays the given files and folders (FuzzReplay.cpp).
#include "sheet/Readers.h"
#include "sheet/TableReader.h"

#include <QByteArray>

#include <glib.h>

#include <cstdint>

namespace {
// The compound-file library warns about every broken container on stderr; a fuzzer makes millions.
void quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_log_set_default_handler(quiet, nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
#if defined(LANSHU_FUZZ_XLS_ONLY)
    const Expected<sheet::Sheet> result = sheet::readFirstSheetFromMemory(bytes);
#elif defined(LANSHU_FUZZ_XLSX)
    if (sheet::detectFormat(bytes) != sheet::TableFormat::Xlsx)
        return -1; // kept out of the corpus: the other readers have their own targets
    const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
#elif defined(LANSHU_FUZZ_ODS)
    const QString damaged = QStringLiteral("damaged");
    const Expected<sheet::Sheet> result = sheet::detail::guarded(
        [&] { return sheet::detail::readOdsContent(bytes, sheet::ReadOptions(), damaged); }, damaged);
#elif defined(LANSHU_FUZZ_CSV)
    const Expected<sheet::Sheet> result = sheet::detail::readCsv(bytes, sheet::ReadOptions());
#else
    const Expected<sheet::Sheet> result = sheet::readTableFromMemory(bytes);
#endif
    if (result.ok() == !result.error().isEmpty())
        __builtin_trap(); // exactly one of a sheet and an error text
    if (result.ok()) {
        // Touch every stored cell the way the import does.
        const sheet::Sheet& sheet = result.value();
        for (int r = 0; r < sheet.rowCount() && r < 2000; ++r) {
            for (int c = 0; c < sheet.columnCount() && c < 16; ++c)
                (void)sheet::cellToText(sheet.cell(r, c));
        }
    }
    return 0;
}
