#include "IniFile.h"

#include "platform/Files.h"
#include "sheet/SourceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

namespace {
QString g_folderForTests;

const QString kSection = QStringLiteral("pro_set"); // the program's one section
const QString kRunKey = QStringLiteral("run");      // open the guide at start: "1"

// One line of the file: its text and the line ending that followed it ("" on a last line without one).
struct Line
{
    QByteArray text;
    QByteArray ending;
};

QList<Line> splitLines(const QByteArray& bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', start);
        if (nl < 0) {
            lines.append({bytes.mid(start), {}});
            break;
        }
        qsizetype end = nl;
        if (end > start && bytes.at(end - 1) == '\r')
            --end;
        lines.append({bytes.mid(start, end - start), bytes.mid(end, nl + 1 - end)});
        start = nl + 1;
    }
    return lines;
}

bool sameName(const QByteArray& a, const QString& b)
{
    return QString::fromUtf8(a).compare(b, Qt::CaseInsensitive) == 0;
}

// A section header "[name]": true, with the name; the first line of a file may carry a byte-order mark.
bool sectionHeader(QByteArray text, QByteArray* name)
{
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    text = text.trimmed();
    if (!text.startsWith('['))
        return false;
    const qsizetype close = text.indexOf(']');
    *name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    return true;
}

// The position of "=" in a key line, or -1.
qsizetype keyLine(const QByteArray& text, const QString& key)
{
    const qsizetype eq = text.indexOf('=');
    if (eq < 0 || !sameName(text.left(eq).trimmed(), key))
        return -1;
    return eq;
}

// Where the key stands in the file: its line, or where its section is and where a new key would go.
struct Place
{
    qsizetype section = -1;   // the section header's line
    qsizetype key = -1;       // the key's line
    qsizetype sectionEnd = 0; // one past the section's last non-blank line
};

Place locate(const QList<Line>& lines, const QString& section, const QString& key)
{
    Place place;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray name;
        if (sectionHeader(lines[i].text, &name)) {
            if (place.section >= 0)
                break; // the first section of that name is the one read and written
            if (sameName(name, section)) {
                place.section = i;
                place.sectionEnd = i + 1;
            }
            continue;
        }
        if (place.section < 0)
            continue;
        if (!lines[i].text.trimmed().isEmpty())
            place.sectionEnd = i + 1;
        if (place.key < 0 && keyLine(lines[i].text, key) >= 0)
            place.key = i;
    }
    return place;
}

QByteArray unquoted(QByteArray value)
{
    value = value.trimmed();
    if (value.size() >= 2 && value.front() == value.back() && (value.front() == '"' || value.front() == '\''))
        value = value.mid(1, value.size() - 2);
    return value;
}

// The whole file, when it is a regular file of a sensible size: a device or a pipe under the name is
// never opened, so that reading neither waits nor goes on without end.
bool readSettings(const QString& path, QByteArray& bytes)
{
    constexpr qint64 kMaxSize = 1024 * 1024;
    QFile file;
    if (!sheet::openSourceFile(path, kMaxSize, file, QStringLiteral("设置文件")).ok())
        return false;
    Expected<QByteArray> read = sheet::readSourceFile(file, kMaxSize);
    bytes = read.take();
    return read.ok();
}

QString writeError(const QString& path)
{
    return QStringLiteral("Unable to write to %1").arg(path);
}
} // namespace

QString IniFile::settingsPath()
{
    return g_folderForTests.isEmpty() ? Files::settings() : Files::settings(g_folderForTests);
}

void IniFile::setFolderForTests(const QString& folder)
{
    g_folderForTests = folder;
}

QString IniFile::readString(const QString& path, const QString& section, const QString& key,
                            const QString& defaultValue)
{
    QByteArray bytes;
    if (!readSettings(path, bytes))
        return defaultValue;
    const QList<Line> lines = splitLines(bytes);
    const Place place = locate(lines, section, key);
    if (place.key < 0)
        return defaultValue;
    const QByteArray& text = lines[place.key].text;
    return QString::fromUtf8(unquoted(text.mid(text.indexOf('=') + 1)));
}

QString IniFile::writeString(const QString& path, const QString& section, const QString& key,
                             const QString& value)
{
    QByteArray bytes;
    const QFileInfo info(path);
    // A link under the name is left alone, and what it points to too: saving would replace the file
    // there, which may be anything of the user's.
    if (info.isSymLink())
        return writeError(path);
    if (info.exists() && (!info.isWritable() || !readSettings(path, bytes)))
        return writeError(path);
    // A value is one line: line breaks in it would make new lines of the file.
    QByteArray newValue = value.toUtf8();
    newValue.replace('\r', ' ').replace('\n', ' ');

    QList<Line> lines = splitLines(bytes);
#ifdef Q_OS_WIN
    QByteArray eol = "\r\n";
#else
    QByteArray eol = "\n";
#endif
    if (!lines.isEmpty() && !lines.first().ending.isEmpty())
        eol = lines.first().ending; // new lines follow the file's own style
    const Place place = locate(lines, section, key);
    if (place.key >= 0) {
        Line& line = lines[place.key];
        line.text = line.text.left(line.text.indexOf('=') + 1) + newValue;
    } else {
        QList<Line> added;
        if (place.section < 0)
            added.append({'[' + section.toUtf8() + ']', eol});
        added.append({key.toUtf8() + '=' + newValue, eol});
        const qsizetype at = place.section < 0 ? lines.size() : place.sectionEnd;
        if (at > 0 && lines[at - 1].ending.isEmpty())
            lines[at - 1].ending = eol;
        for (qsizetype i = 0; i < added.size(); ++i)
            lines.insert(at + i, added[i]);
    }

    QByteArray out;
    out.reserve(bytes.size() + newValue.size() + section.size() + key.size() + 8);
    for (const Line& line : lines)
        out += line.text + line.ending;
    // Written whole under another name and then put in place, so the old file stays intact on
    // any failure; where the folder takes no new file but the file itself may be changed, in place.
    // Unbuffered, so that a refused write is seen here and never committed as an empty file.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeError(path);
    if (!info.exists())
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner); // readable by the user alone
    if (file.write(out) != out.size() || !file.commit())
        return writeError(path);
    return {};
}

QString IniFile::readRun()
{
    return readString(settingsPath(), kSection, kRunKey);
}

QString IniFile::writeRun(const QString& value)
{
    return writeString(settingsPath(), kSection, kRunKey, value);
}
