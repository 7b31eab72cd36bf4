#include "Files.h"

#include "Platform.h"

#include <QDir>
#include <QFileInfo>

namespace {
constexpr QLatin1String kDatabase("service.dll");
constexpr QLatin1String kSettings("iset.ini");
constexpr QLatin1String kReportProject("yuming.rav");
} // namespace

QString Files::database()
{
    return QString(kDatabase);
}

QString Files::databaseFolder(const QString& databasePath)
{
    return QFileInfo(databasePath).absolutePath();
}

QString Files::backupFolder(const QString& databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

QString Files::reportProject()
{
    return QDir::current().absoluteFilePath(kReportProject);
}

QString Files::settings()
{
    return settings(Platform::dataFolder());
}

QString Files::settings(const QString& folder)
{
    return folder + kSettings;
}

QString Files::inDataFolder(const QString& name)
{
    return Platform::dataFolder() + name;
}

QStringList Files::shipped()
{
    return {QString(kDatabase), QString(kSettings), QString(kReportProject)};
}
