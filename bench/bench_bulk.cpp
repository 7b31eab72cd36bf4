// Figures for work on many domains at once: every row selected and deleted in one transaction, then
// that undone; a bulk edit (price and expiry dates moved on a year) of 100,000 rows, then that undone.
// Each through the domain list as the panel does it (the rows taken from the list, written, the list
// following), beside the copy of the file made before it.
#include "DomainGenerator.h"
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
double ms(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

std::vector<int> firstRows(int count)
{
    std::vector<int> rows(size_t(count), 0);
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int edited = argc > 2 ? std::atoi(argv[2]) : 100000;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    QElapsedTimer t;
    t.start();
    if (const QString error = generateDomainFile(path, count); !error.isEmpty()) {
        std::fprintf(stderr, "generate: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("generated %d domains in %.0f ms\n", count, ms(t));
    QString e;
    auto module = TDataModule2::create(&e, path);
    if (!module || !module->domains()->readAll().ok()) {
        std::fprintf(stderr, "open: %s\n", qPrintable(e));
        return 1;
    }
    DomainList* list = module->domains();
    UndoHistory history;

    // The copy of the file made before a bulk change.
    t.restart();
    const QString copied = backup::make(module->Conn_service(), path, QDateTime::currentDateTime());
    std::printf("copy of the file before the change: %.0f ms %s\n", ms(t), qPrintable(copied));

    // Bulk edit of the first `edited` rows.
    t.restart();
    bulkedit::Edit edit;
    edit.price = QStringLiteral("8888");
    edit.extendYears = 1;
    QStringList unreadable;
    RowChange change =
        bulkedit::changeFor(RowPack::fromRows(*list->rows(), firstRows(edited)), edit, &unreadable);
    const double prepared = ms(t);
    rowwriter::Outcome outcome = list->write(change);
    std::printf(
        "bulk edit of %zu domains: %.0f ms (taking the rows and making the change %.0f ms; %lld dates "
        "unreadable) %s\n",
        change.size(), ms(t), prepared, qint64(unreadable.size()), qPrintable(outcome.result.error()));
    history.push(std::make_unique<BulkEditCommand>(std::move(change)));
    t.restart();
    outcome = history.undo(*list);
    std::printf("  undo of it: %.0f ms %s\n", ms(t), qPrintable(outcome.result.error()));

    // Select all and delete.
    t.restart();
    const int all = list->count();
    RowPack rows = RowPack::fromRows(*list->rows(), firstRows(all));
    const double taken = ms(t);
    outcome = list->write(RowChange{rows, {}});
    std::printf(
        "select all and delete %d domains: %.0f ms (taking the rows %.0f ms; kept for undo %.0f MB) %s\n",
        all, ms(t), taken, double(rows.bytes()) / 1048576.0, qPrintable(outcome.result.error()));
    std::printf("  list now %d rows\n", list->count());
    history.push(std::make_unique<DeleteCommand>(std::move(rows)));
    t.restart();
    outcome = history.undo(*list);
    std::printf("  undo of it: %.0f ms, list %d rows %s\n", ms(t), list->count(),
                qPrintable(outcome.result.error()));
    return 0;
}
