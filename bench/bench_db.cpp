// Figures for the database layer: opening the domain list of 100,000 rows against the bare
// sqlcipher shell running the same select on the same file, the memory the rows take, and the
// time from start to main window on an empty portfolio.
#include "DomainGenerator.h"
#include "db/DataModule.h"
#include "db/Schema.h"
#include "db/Sql.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

double shellMs(const QString& file, const QString& select)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("sqlcipher"), {file});
    p.write(QStringLiteral("PRAGMA key='%1';\n.output /dev/null\n%2;\n")
                .arg(QString::fromLatin1(Connection::kPassword), select)
                .toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    return double(t.nsecsElapsed()) / 1e6;
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
    auto module = TDataModule2::create(&e, path);
    if (!module) {
        std::fprintf(stderr, "open: %s\n", qPrintable(e));
        return 1;
    }
    malloc_trim(0);
    const long after = rssKb();
    Dataset* q = module->Query_a();
    std::printf("Query_a holds %d rows; process memory grew by %.1f MB while opening\n", q->recordCount(),
                double(after - before) / 1024.0);

    std::vector<double> ours, shell, shellBase;
    const bool haveShell = !QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty();
    for (int i = 0; i < 7; ++i) {
        QElapsedTimer r;
        r.start();
        q->close();
        q->setSql(sql::kDefaultList);
        const QString err = q->open();
        ours.push_back(double(r.nsecsElapsed()) / 1e6);
        if (!err.isEmpty())
            return 1;
        if (haveShell) {
            shell.push_back(shellMs(path, sql::kDefaultList));
            shellBase.push_back(shellMs(path, QStringLiteral("select 1")));
        }
    }
    std::printf("open Query_a (default list), median of 7: %.1f ms\n", median(ours));
    if (haveShell) {
        const double s = median(shell) - median(shellBase);
        std::printf(
            "sqlcipher shell, same select, median of 7: %.1f ms (whole run %.1f ms, of which start-up and "
            "key derivation %.1f ms)\n",
            s, median(shell), median(shellBase));
        std::printf("ratio ours / shell: %.2f\n", median(ours) / s);
    }

    // Start to main window on an empty portfolio.
    // The test build of the program, which reports when its main window is shown.
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../testbin/lanshu_scripted");
    if (QFile::exists(program)) {
        QTemporaryDir empty, runtime;
        const QString made = schema::createShippedDatabase(empty.filePath(QStringLiteral("service.dll")));
        if (!made.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(made));
            return 1;
        }
        std::vector<double> wall;
        QByteArray inProcess;
        for (int i = 0; i < 5; ++i) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
            if (!env.contains(QStringLiteral("DISPLAY")))
                env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(empty.path());
            QElapsedTimer w;
            w.start();
            p.start(program, {QStringLiteral("--startup-probe")});
            p.waitForFinished(-1);
            wall.push_back(double(w.nsecsElapsed()) / 1e6);
            inProcess = p.readAllStandardOutput().trimmed();
        }
        std::printf("start to main window, empty portfolio: median %.0f ms wall (whole process incl. exit); "
                    "last run reported \"%s\"\n",
                    median(wall), inProcess.constData());
    }
    return 0;
}
