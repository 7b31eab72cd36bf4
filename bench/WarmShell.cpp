#include "WarmShell.h"

#include "db/Connection.h"
#include "db/Dataset.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <vector>

double warmShellMs(const QString& file, const QString& select, int cachePages, int times)
{
    static const QString shell = QStandardPaths::findExecutable(QStringLiteral("sqlcipher"));
    if (shell.isEmpty())
        return -1;
    QString script =
        QStringLiteral("PRAGMA key='%1';\nPRAGMA cache_size=%2;\n.output /dev/null\n%3;\n.timer on\n")
            .arg(QString::fromUtf8(Connection::kPassword))
            .arg(cachePages)
            .arg(select);
    for (int i = 0; i < times; ++i)
        script += select + QStringLiteral(";\n");
    QProcess p;
    p.start(shell, {file});
    p.waitForStarted();
    p.write(script.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression real(QStringLiteral("Run Time: real ([0-9.]+)"));
    std::vector<double> runs;
    for (auto it = real.globalMatch(out); it.hasNext();)
        runs.push_back(it.next().captured(1).toDouble() * 1000.0);
    if (runs.empty())
        return -1;
    std::sort(runs.begin(), runs.end());
    const size_t n = runs.size();
    return n % 2 ? runs[n / 2] : (runs[n / 2 - 1] + runs[n / 2]) / 2;
}

int programCachePages(const QString& file)
{
    Connection c;
    if (!c.open(file).ok())
        return -2000;
    Dataset pragma(&c);
    pragma.setSql(QStringLiteral("PRAGMA cache_size"));
    if (!pragma.open().ok() || pragma.recordCount() == 0)
        return -2000;
    return pragma.value(0, 0).toInt();
}
