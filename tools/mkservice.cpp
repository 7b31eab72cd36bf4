// Makes the database file that ships beside the program. An existing file is kept as it is,
// so rebuilding never touches a portfolio that is already in use.
#include "db/Schema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: mkservice <path of service.dll>\n");
        return 2;
    }
    if (QFileInfo::exists(args[1])) {
        std::printf("mkservice: %s exists, kept\n", qPrintable(args[1]));
        return 0;
    }
    const Result made = schema::createShippedDatabase(args[1]);
    if (!made.ok()) {
        std::fprintf(stderr, "mkservice: %s\n", made.error().toUtf8().constData());
        return 1;
    }
    return 0;
}
