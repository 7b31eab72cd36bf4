#include "RegistryUpdate.h"

#include "RegistryReview.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/Sql.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/LongWork.h"
#include "platform/Platform.h"
#include "registry/AnswerLog.h"
#include "registry/BootstrapUpdate.h"
#include "registry/LookupJob.h"

#include <QFileInfo>
#include <QLocale>

#include <memory>
#include <optional>

namespace registryupdate {

namespace {
struct TestServers
{
    registry::Directory directory;
    registry::LookupOptions options;
};
std::optional<TestServers> g_testServers;
std::function<bool(RegistryReview&)> g_reviewHook;

// The folder of the database file, which is opened from the current directory.
QString databaseFolder()
{
    return Files::databaseFolder(Connection::kFileName);
}

// The log beside the database file.
AnswerLog& answerLog()
{
    static std::unique_ptr<AnswerLog> log;
    static QString folder;
    if (!log || folder != databaseFolder()) {
        folder = databaseFolder();
        log = std::make_unique<AnswerLog>(folder);
    }
    return *log;
}

void warn(QWidget* parent, const QString& text)
{
    MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"), text, MessageBox::Ok);
}

// The domains of the scope, with their stored values; reads the rest of the rows still coming in.
Expected<QList<DomainRecord>> recordsOf(TDataModule2* data, Scope scope)
{
    QList<DomainRecord> records;
    DomainList* list = data->domains();
    if (scope == Scope::Current) {
        if (list->count() > 0)
            records.append(list->current());
        return records;
    }
    if (scope == Scope::Listed) {
        if (Result read = list->readAll(); !read.ok())
            return read;
        for (int row = 0; row < list->count(); ++row)
            records.append(list->record(row));
        return records;
    }
    Dataset all(data->Conn_service());
    all.setSql(sql::kDefaultList); // every domain of the file, whatever search the list holds
    if (Result read = all.open(); !read.ok())
        return read;
    for (int row = 0; row < all.recordCount(); ++row)
        records.append(DomainRecord::fromDataset(all, row));
    return records;
}

// The shipped addresses, with the RDAP bootstrap file fetched again when the copy beside the database is
// more than a day old (a failed fetch leaves the copy or the snapshot in use).
registry::Directory currentDirectory(QWidget* parent)
{
    const QString folder = databaseFolder();
    if (registry::Directory::bootstrapDue(folder, QDateTime::currentDateTime())) {
        registry::BootstrapUpdate update(QUrl(registry::Directory::kBootstrapAddress), folder);
        LongWork fetching(parent, QStringLiteral("从注册局更新"), QStringLiteral("正在更新注册局地址表 …"),
                          0);
        fetching.run(&update, &registry::BootstrapUpdate::finished, [&update] { update.start(); });
    }
    return registry::Directory::load(folder);
}

// The suffixes among the records that no server is known for ("zz", "abc").
QStringList unknownSuffixes(const registry::Directory& directory, const QList<DomainRecord>& records,
                            bool* anyKnown)
{
    QStringList unknown;
    *anyKnown = false;
    for (const DomainRecord& r : records) {
        const registry::Route route = directory.route(r.domain);
        if (route.kind != registry::Route::Kind::None) {
            *anyKnown = true;
            continue;
        }
        const QString suffix = QStringLiteral(".") + r.domain.trimmed().section(QLatin1Char('.'), -1);
        if (!unknown.contains(suffix))
            unknown << suffix;
    }
    return unknown;
}
} // namespace

QString progressText(int done, int total)
{
    const QLocale english(QLocale::English);
    return QStringLiteral("正在查询 %1 / %2 …").arg(english.toString(done), english.toString(total));
}

QString noteFor(const QString& domain)
{
    if (domain.isEmpty())
        return {};
    answerLog().refresh();
    return answerLog().line(domain);
}

bool run(QWidget* parent, TDataModule2* data, Scope scope)
{
    if (!data)
        return false;
    const Expected<QList<DomainRecord>> read = recordsOf(data, scope);
    if (!read.ok()) {
        MessageBox::appError(parent, read.error());
        return false;
    }
    const QList<DomainRecord>& records = read.value();
    if (records.isEmpty()) {
        MessageBox::information(parent, QStringLiteral("请先添加域名"));
        return false;
    }
    if (!Platform::isNetworkConnected()) {
        warn(parent,
             QStringLiteral("没有连接到互联网，无法从注册局查询。请连接网络后再试，域名列表没有改变。"));
        return false;
    }
    const registry::Directory directory = g_testServers ? g_testServers->directory : currentDirectory(parent);
    const registry::LookupOptions options =
        g_testServers ? g_testServers->options : registry::LookupOptions();
    bool anyKnown = false;
    const QStringList unknown = unknownSuffixes(directory, records, &anyKnown);
    if (!anyKnown) {
        warn(parent, QStringLiteral("不知道这些后缀由哪个注册局管理，无法查询：%1。域名列表没有改变。")
                         .arg(unknown.join(QStringLiteral("、"))));
        return false;
    }

    QList<registry::LookupItem> items;
    for (const DomainRecord& r : records)
        items.append({r.aid, r.domain});
    registry::LookupJob job(directory, items, options);
    {
        LongWork asking(parent, QStringLiteral("从注册局更新"), progressText(0, job.total()), job.total(),
                        LongWork::Cancel::Allowed, QStringLiteral("registryProgress"));
        QObject::connect(&job, &registry::LookupJob::progress, &asking, [&asking](int done, int total) {
            asking.setText(progressText(done, total));
            asking.setProgress(done, total);
        });
        asking.run(&job, &registry::LookupJob::finished, [&job] { job.start(); });
    }
    const QList<registry::Answer> answers = job.answers();
    if (answers.isEmpty())
        return false; // cancelled before any answer

    if (const QString failed = answerLog().record(answers); !failed.isEmpty())
        warn(parent, failed);
    const registry::Comparison comparison = registry::compare(records, answers);
    if (comparison.differences.isEmpty() && comparison.notices.isEmpty()) {
        MessageBox::information(parent, QStringLiteral("注册局的信息与域名列表一致，没有需要更新的内容。"));
        return false;
    }
    RegistryReview review(comparison, parent);
    if (job.wasCancelled())
        review.setWindowTitle(review.windowTitle() +
                              QStringLiteral("（已取消，只列出已查询的 %1 个域名）").arg(answers.size()));
    const bool accepted = g_reviewHook ? g_reviewHook(review) : review.exec() == QDialog::Accepted;
    const QList<registry::Difference> ticked = review.ticked();
    if (!accepted || ticked.isEmpty())
        return false;

    const registry::Applied applied = registry::apply(data->Conn_service(), Connection::kFileName, ticked,
                                                      QDateTime(Platform::today(), QTime::currentTime()));
    if (!applied.error.isEmpty()) {
        MessageBox::appError(parent, applied.error);
        return false;
    }
    if (const Result reopened = data->domains()->reopen(); !reopened.ok())
        MessageBox::appError(parent, reopened.error());
    QString text = QStringLiteral("已更新 %1 个域名的 %2 项信息。").arg(applied.domains).arg(applied.values);
    if (!applied.conflicts.isEmpty())
        text += QStringLiteral("\n\n以下的值在查询后已被修改，保留了修改后的值：\n") +
                applied.conflicts.join(QLatin1Char('\n'));
    MessageBox::show(parent, applied.conflicts.isEmpty() ? MessageBox::Information : MessageBox::Warning,
                     QStringLiteral("提示"), text, MessageBox::Ok);
    return applied.domains > 0;
}

void setTestServers(const registry::Directory& directory, const registry::LookupOptions& options)
{
    g_testServers = TestServers{directory, options};
}

void clearTestServers()
{
    g_testServers.reset();
}

void setReviewHook(std::function<bool(RegistryReview&)> hook)
{
    g_reviewHook = std::move(hook);
}

} // namespace registryupdate
