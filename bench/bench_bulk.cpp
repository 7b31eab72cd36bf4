// Figures for work on many domains at once: a bulk edit (price and expiry dates moved on a year) of
// 100,000 rows and its undo; every row selected and deleted in one transaction and its undo. Each through
// the domain list as the panel does it (the rows taken from the list into the command, written, the list
// following), beside the copy of the file made before it. Each figure is printed with its undo beside it,
// as wall clock and processor time, with the rows it worked on; a count not as claimed fails the run.
#include "DomainGenerator.h"
#include "Timing.h"
#include "db/Backup.h"
#include "db/BulkEdit.h"
#include "db/DataModule.h"
#include "db/UndoHistory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <numeric>

namespace {
std::vector<int> firstRows(int count)
{
    std::vector<int> rows(size_t(count), 0);
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

// Wall clock and processor time since it was made.
struct Span
{
    QElapsedTimer wall;
    double cpu = benchtime::cpuMs();
    Span() { wall.start(); }
    double wallMs() const { return benchtime::msSince(wall); }
    double cpuMsSince() const { return benchtime::cpuMs() - cpu; }
};

struct Figure
{
    double wall = 0;
    double cpu = 0;
    static Figure of(const Span& span) { return {span.wallMs(), span.cpuMsSince()}; }
};

[[noreturn]] void fail(const char* what, const QString& why)
{
    std::fprintf(stderr, "FAILED: %s: %s\n", what, qPrintable(why));
    std::exit(1);
}

void expectRows(const char* what, qint64 got, qint64 claimed)
{
    if (got != claimed)
        fail(what, QStringLiteral("%1 rows, not the %2 claimed").arg(got).arg(claimed));
}

void line(const char* work, qint64 rows, const Figure& done, const Figure& undone)
{
    std::printf("  %-34s %9lld  %7.0f / %-7.0f  %7.0f / %-7.0f\n", work, rows, done.wall, done.cpu,
                undone.wall, undone.cpu);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int edited = argc > 2 ? std::atoi(argv[2]) : 100000;
    if (count <= 0 || edited <= 0 || edited > count) {
        std::fprintf(stderr, "usage: bench_bulk [count] [edited <= count]\n");
        return 2;
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    Span generating;
    if (const QString error = generateDomainFile(path, count); !error.isEmpty())
        fail("generate", error);
    std::printf("generated %d domains in %.0f ms\n", count, generating.wallMs());
    QString e;
    auto moduleMade = TDataModule2::create(path);
    e = moduleMade.error();
    auto module = moduleMade.take();
    if (!module || !module->domains()->readAll().ok())
        fail("open", e);
    DomainList* list = module->domains();
    expectRows("the list opened", list->count(), count);
    UndoHistory history;

    // The copy of the file made before a bulk change.
    const Span copying;
    const QString copied = backup::make(module->Conn_service(), path, QDateTime::currentDateTime()).error();
    const Figure copy = Figure::of(copying);
    if (!copied.isEmpty())
        fail("copy", copied);

    // Bulk edit of the first `edited` rows.
    const Span editing;
    bulkedit::Edit edit;
    edit.price = QStringLiteral("8888");
    edit.extendYears = 1;
    QStringList unreadable;
    auto editCommand = std::make_unique<BulkEditCommand>(
        bulkedit::changeFor(RowPack::fromRows(*list->rows(), firstRows(edited)), edit, &unreadable));
    const double prepared = editing.wallMs();
    rowwriter::Outcome outcome = editCommand->apply(*list);
    const Figure editFigure = Figure::of(editing);
    if (!outcome.result.ok())
        fail("bulk edit", outcome.result.error());
    expectRows("the rows edited", qint64(editCommand->change().size()), edited);
    expectRows("the list after the edit", list->count(), count);
    history.push(std::move(editCommand));
    const Span undoingEdit;
    outcome = history.undo(*list);
    const Figure editUndo = Figure::of(undoingEdit);
    if (!outcome.result.ok())
        fail("undo of the bulk edit", outcome.result.error());
    expectRows("the list after undoing the edit", list->count(), count);

    // Select all and delete.
    const Span deleting;
    const int all = list->count();
    auto deleteCommand = std::make_unique<DeleteCommand>(RowPack::fromRows(*list->rows(), firstRows(all)));
    const double taken = deleting.wallMs();
    outcome = deleteCommand->apply(*list);
    const Figure deleteFigure = Figure::of(deleting);
    if (!outcome.result.ok())
        fail("delete", outcome.result.error());
    const double kept = double(deleteCommand->bytes()) / 1048576.0;
    expectRows("the rows deleted", qint64(deleteCommand->change().size()), count);
    expectRows("the list after the delete", list->count(), 0);
    history.push(std::move(deleteCommand));
    const Span undoingDelete;
    outcome = history.undo(*list);
    const Figure deleteUndo = Figure::of(undoingDelete);
    if (!outcome.result.ok())
        fail("undo of the delete", outcome.result.error());
    expectRows("the list after undoing the delete", list->count(), count);

    std::printf("\n  %-34s %9s  %-17s  %-17s\n", "work", "rows", "ms wall / cpu", "its undo, wall / cpu");
    line("bulk edit (price, expiry + 1 year)", edited, editFigure, editUndo);
    line("select all and delete", all, deleteFigure, deleteUndo);
    std::printf("  %-34s %9d  %7.0f / %-7.0f\n", "copy of the file before either", count, copy.wall,
                copy.cpu);
    std::printf("\n  bulk edit: taking the rows and making the change %.0f ms (%lld dates unreadable)\n",
                prepared, qint64(unreadable.size()));
    std::printf("  delete: taking the rows %.0f ms, kept for undo %.0f MB\n", taken, kept);
    return 0;
}
