// Figures for the database layer: opening the domain list of 100,000 rows against the bare
// sqlcipher shell running the same select on the same file, the memory the rows take, and the
// time from start to main window on an empty portfolio.
#include "DomainGenerator.h"
#include "WarmShell.h"
#include "db/DataModule.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {
double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long rssKb()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("service.dll"));
    QElapsedTimer t;
    t.start();
    const QString error = generateDomainFile(path, count);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "generate: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("generated %d domains in %.0f ms\n", count, double(t.elapsed()));

    QString e;
    malloc_trim(0);
    const long before = rssKb();
    auto moduleMade = TDataModule2::create(path);
    e = moduleMade.error();
    auto module = moduleMade.take();
    if (!module) {
        std::fprintf(stderr, "open: %s\n", qPrintable(e));
        return 1;
    }
    Dataset* q = module->Query_a();
    if (!q->finishFill().ok()) // the rows after the first come in steps from the event loop
        return 1;
    malloc_trim(0);
    const long after = rssKb();
    std::printf("Query_a holds %d rows; process memory grew by %.1f MB while opening\n", q->recordCount(),
                double(after - before) / 1024.0);

    std::vector<double> ours;
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer r;
        r.start();
        q->close();
        q->setSql(sql::kDefaultList);
        const QString err = q->open().error();
        ours.push_back(double(r.nsecsElapsed()) / 1e6);
        if (!err.isEmpty())
            return 1;
    }
    std::printf("open Query_a (default list), median of 7: %.1f ms\n", median(ours));
    const double shell = warmShellMs(path, sql::kDefaultList, programCachePages(path), 7);
    if (shell > 0)
        std::printf("warm sqlcipher shell, same select, same page cache, key derived: %.1f ms; ratio ours / "
                    "shell %.2f\n",
                    shell, median(ours) / shell);

    // Start to main window on an empty portfolio.
    // The test build of the program, which reports when its main window is shown.
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../testbin/lanshu_scripted");
    if (QFile::exists(program)) {
        QTemporaryDir empty, runtime;
        const QString made =
            schema::createShippedDatabase(empty.filePath(QStringLiteral("service.dll"))).error();
        if (!made.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(made));
            return 1;
        }
        // Then each portfolio folder named after the count (made with gen_domains).
        QStringList folders = {empty.path()};
        for (int i = 2; i < argc; ++i)
            folders << QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
        for (const QString& folder : folders) {
            std::vector<double> wall;
            QByteArray inProcess;
            for (int i = 0; i < 5; ++i) {
                QProcess p;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
                if (!env.contains(QStringLiteral("DISPLAY")))
                    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
                p.setProcessEnvironment(env);
                p.setWorkingDirectory(folder);
                QElapsedTimer w;
                w.start();
                p.start(program, {QStringLiteral("--startup-probe")});
                p.waitForFinished(-1);
                wall.push_back(double(w.nsecsElapsed()) / 1e6);
                inProcess =
                    p.readAllStandardOutput().trimmed().split('\n').value(0); // "main window shown after"
            }
            std::printf("start to main window, %s: median %.0f ms wall (whole process incl. exit); last run "
                        "reported \"%s\"\n",
                        qPrintable(folder == empty.path() ? QStringLiteral("empty portfolio") : folder),
                        median(wall), inProcess.constData());
        }
    }
    return 0;
}
