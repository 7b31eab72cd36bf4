#include "IniFile.h"

#include "platform/Platform.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {
QStringList readLines(const QString& path, bool* exists)
{
    QFile file(path);
    *exists = file.open(QIODevice::ReadOnly);
    if (!*exists)
        return {};
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text.split(QLatin1Char('\n'));
}

QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.contains(QLatin1Char(']')))
        return t.mid(1, t.indexOf(QLatin1Char(']')) - 1).trimmed();
    return {};
}

bool isSection(const QString& line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}
} // namespace

QString IniFile::settingsPath()
{
    return Platform::programFolder() + QStringLiteral("iset.ini");
}

QString IniFile::readString(const QString& path, const QString& section, const QString& key,
                            const QString& defaultValue)
{
    bool exists = false;
    const QStringList lines = readLines(path, &exists);
    bool inSection = false;
    for (const QString& line : lines) {
        if (isSection(line)) {
            inSection = sectionName(line).compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq < 0)
            continue;
        if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && ((value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"')) ||
                                  (value.front() == QLatin1Char('\'') && value.back() == QLatin1Char('\''))))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return defaultValue;
}

QString IniFile::writeString(const QString& path, const QString& section, const QString& key,
                             const QString& value)
{
    bool exists = false;
    QStringList lines = readLines(path, &exists);
    if (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    int sectionAt = -1, keyAt = -1, insertAt = -1;
    for (int i = 0; i < lines.size(); ++i) {
        if (isSection(lines[i])) {
            if (sectionAt >= 0 && insertAt < 0)
                insertAt = i;
            if (sectionAt < 0 && sectionName(lines[i]).compare(section, Qt::CaseInsensitive) == 0)
                sectionAt = i;
            continue;
        }
        const int eq = lines[i].indexOf(QLatin1Char('='));
        if (sectionAt >= 0 && insertAt < 0 && eq >= 0 &&
            lines[i].left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0 && keyAt < 0)
            keyAt = i;
    }
    const QString entry = key + QLatin1Char('=') + value;
    if (keyAt >= 0) {
        lines[keyAt] = entry;
    } else if (sectionAt >= 0) {
        int at = insertAt < 0 ? int(lines.size()) : insertAt;
        while (at > sectionAt + 1 && lines[at - 1].trimmed().isEmpty())
            --at;
        lines.insert(at, entry);
    } else {
        lines << QLatin1Char('[') + section + QLatin1Char(']') << entry;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Unable to write to %1").arg(path);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner); // readable by the user alone
    file.write((lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    if (!file.commit())
        return QStringLiteral("Unable to write to %1").arg(path);
    return {};
}
