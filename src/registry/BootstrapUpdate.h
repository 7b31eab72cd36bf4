#pragma once

#include "LookupJob.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace registry {

// Fetches the RDAP bootstrap file into a folder (Directory::kBootstrapFile), as the look-up asks: https
// only outside tests, at most 1 MB and 20 s. The file is replaced only by one that reads; a failure
// leaves the copy there (or the shipped snapshot) in use. Knows nothing of widgets.
class BootstrapUpdate : public QObject
{
    Q_OBJECT
public:
    BootstrapUpdate(const QUrl& address, const QString& folder, const LookupOptions& options = {},
                    QObject* parent = nullptr);
    ~BootstrapUpdate() override;

    void start();
    void cancel();
    bool isRunning() const { return m_reply != nullptr; }
    // Empty when the file was fetched and stored, else the reason in Chinese.
    QString error() const { return m_error; }

signals:
    void finished();

private:
    void done(const QString& error);
    QUrl m_address;
    QString m_folder;
    LookupOptions m_options;
    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_reply;
    QString m_error;
    bool m_finished = false;
};

} // namespace registry
