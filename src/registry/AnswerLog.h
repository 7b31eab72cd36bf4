#pragma once

#include "Answer.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

// The last registry answer per domain (time, source, outcome, statuses), kept in a file of its own beside
// the database in the data folder, so that the detail pane can tell when a domain was last checked. The
// database's tables are not touched. Knows nothing of widgets.
class AnswerLog
{
public:
    static const QString kFileName; // registry-answers.json

    struct Entry
    {
        QDateTime time;
        QString source;
        QString outcome; // "found", "unregistered"
        QStringList statuses;
    };

    // The log in the given folder, the database file's.
    explicit AnswerLog(const QString& folder);

    // Reads the file again when it changed since the last reading.
    void refresh();
    // The entry of a domain (any letter case); a null time when there is none.
    Entry entry(const QString& domain) const;
    // Takes the answers that the registries gave (failed look-ups are left out) and writes the file.
    // Returns the reason in Chinese when it cannot be written.
    QString record(const QList<registry::Answer>& answers);

    // The line of the detail pane: "注册局信息：2026-12-10 查询，状态 ok"; empty when never asked.
    QString line(const QString& domain) const;

private:
    QString m_path;
    QDateTime m_read; // the file's time when it was read
    QHash<QString, Entry> m_entries;
};
