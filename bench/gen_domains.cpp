// gen_domains <path> <count> [seed]: appends count realistic domains to the database file at path
// (creating an empty program database there first when the file does not exist).
#include "DomainGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = args.size() >= 3;
    const int count = ok ? args[2].toInt(&ok) : 0;
    const quint32 seed = args.size() >= 4 ? args[3].toUInt() : 20240601u;
    if (!ok || count < 0) {
        std::fprintf(stderr, "usage: gen_domains <path> <count> [seed]\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    const QString error = benchgen::generateDomains(args[1], count, seed);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "gen_domains: %s\n", error.toUtf8().constData());
        return 1;
    }
    std::printf("%d domains written to %s in %lld ms\n", count, args[1].toUtf8().constData(),
                static_cast<long long>(clock.elapsed()));
    return 0;
}
