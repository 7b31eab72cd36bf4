#include "MappedImport.h"

#include "ImportPreviewDialog.h"
#include "db/Backup.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"
#include "platform/LongWork.h"
#include "platform/Platform.h"
#include "portfolio/ListChange.h"

#include <QElapsedTimer>

bool prepareToStore(QWidget* parent, TDataModule2* data)
{
    if (!readWholeList(parent, data->domains()))
        return false;
    const QString backupError = backup::make(data->Conn_service(), Connection::kFileName,
                                             QDateTime(Platform::today(), QTime::currentTime()))
                                    .error();
    if (!backupError.isEmpty() && backup::reportFailureOnce())
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"), backupError, MessageBox::Ok);
    return true;
}

MappedImport::MappedImport(QWidget* window) : QObject(window), m_window(window) {}

void MappedImport::start(sheet::Sheet sheet, const headingmap::Columns& columns)
{
    QElapsedTimer timer;
    timer.start();
    m_sheet = std::move(sheet);
    importplan::Settings settings;
    settings.fields = columns.fields;
    for (int c = 0; c < columns.fields.size(); ++c)
        settings.orders.append(valuecleaner::DayOrder::Unknown);
    settings.verbatim = columns.ownExport;
    QStringList samples;
    for (int c = 0; c < columns.fields.size(); ++c) {
        QString sample;
        for (int r = 1; r < m_sheet.rowCount() && sample.isEmpty() && r < 200; ++r)
            sample = sheet::cellToText(m_sheet.cell(r, c));
        samples.append(sample);
    }
    {
        WaitCursor wait;
        // The list is read to its end first when it still reads its rows (the whole list is needed).
        if (!readWholeList(m_window, m_data->domains())) {
            Q_EMIT finished(false);
            return;
        }
        const Dataset* list = m_data->domains()->rows();
        const Result loaded = importplan::loadPortfolio(m_data->Conn_service(), &m_portfolio, list);
        if (!loaded.ok()) {
            MessageBox::appError(m_window, loaded.error());
            Q_EMIT finished(false);
            return;
        }
    }
    auto* preview = new ImportPreviewDialog(
        columns, samples, settings,
        [this](const importplan::Settings& s) { return importplan::Plan::build(m_sheet, s, m_portfolio); },
        m_window);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(preview, &QDialog::finished, this, [this, preview](int result) {
        if (result == QDialog::Accepted) {
            store(preview->plan()); // a copy: the preview goes away while the rows are stored
        } else {
            m_sheet = sheet::Sheet();
            m_portfolio = importplan::Portfolio();
            Q_EMIT finished(false);
        }
    });
    preview->open();
    m_previewMs = timer.elapsed();
}

void MappedImport::store(importplan::Plan plan)
{
    if (!prepareToStore(m_window, m_data)) {
        m_sheet = sheet::Sheet();
        m_portfolio = importplan::Portfolio();
        Q_EMIT finished(false);
        return;
    }
    importplan::Outcome outcome;
    {
        WaitCursor wait;
        // Shown only when storing takes long; 取消 stores nothing.
        LongWork storing(m_window, m_window->windowTitle(), QStringLiteral("正在导入域名……"), 0,
                         LongWork::Cancel::Allowed, QStringLiteral("storeProgress"));
        outcome = importplan::apply(m_data->Conn_service(), plan,
                                    [&](int done, int total) { return storing.step(done, total); });
    }
    m_sheet = sheet::Sheet();
    m_portfolio = importplan::Portfolio();
    if (outcome.wasCancelled()) {
        Q_EMIT finished(false);
        return;
    }
    if (!outcome.ok()) {
        MessageBox::show(m_window, MessageBox::Information, QStringLiteral("提示信息"),
                         QStringLiteral("导入数据出错：%1\n没有保存任何一行。").arg(outcome.error()),
                         MessageBox::Ok);
        Q_EMIT finished(false);
        return;
    }
    const bool changed = !outcome.undo.isEmpty();
    if (changed) {
        m_undo = std::move(outcome.undo);
        Q_EMIT undoAvailable(true);
    }
    // The list shows what the file holds now, with the statement it holds (a search stays in force).
    (void)m_data->domains()->reopen();

    auto* result = new ImportResultDialog(plan.counts(), plan.report(), changed, m_window);
    result->setAttribute(Qt::WA_DeleteOnClose);
    connect(result, &ImportResultDialog::undoRequested, this, [this, result] {
        if (undoLast(result))
            result->accept();
    });
    connect(result, &QDialog::finished, this, [this] { Q_EMIT finished(true); });
    result->open();
}

bool MappedImport::undoLast(QWidget* parent)
{
    if (m_undo.isEmpty() || !m_data) {
        MessageBox::show(parent, MessageBox::Information, QStringLiteral("提示信息"),
                         QStringLiteral("没有可以撤销的导入。"), MessageBox::Ok);
        return false;
    }
    const Result undone = importplan::undo(m_data->Conn_service(), m_undo);
    if (!undone.ok()) {
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示信息"),
                         undone.code() == Result::Code::Refused
                             ? undone.error()
                             : QStringLiteral("撤销导入出错：%1").arg(undone.error()),
                         MessageBox::Ok);
        return false;
    }
    const int added = int(m_undo.added.size());
    const int updated = int(m_undo.updated.size());
    forgetUndo();
    (void)m_data->domains()->reopen();
    MessageBox::show(parent, MessageBox::Information, QStringLiteral("提示信息"),
                     QStringLiteral("已撤销上次导入：删除新增的 %1 个域名，恢复更新过的 %2 个域名。")
                         .arg(added)
                         .arg(updated),
                     MessageBox::Ok);
    return true;
}

void MappedImport::forgetUndo()
{
    if (m_undo.isEmpty())
        return;
    m_undo = importplan::Undo();
    Q_EMIT undoAvailable(false);
}
