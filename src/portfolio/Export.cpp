#include "Export.h"

#include "CalendarExport.h"
#include "ExportCore.h"
#include "ListChange.h"
#include "db/DomainList.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/LayoutSettings.h"
#include "platform/LongWork.h"
#include "platform/Platform.h"

#include <QFile>

void exportDomainList(QWidget* parent, DomainList* list)
{
    // Every row, also while they are still coming in after the start: the kind of file depends on their
    // number.
    if (!readWholeList(parent, list))
        return;
    // Checked before the old file is deleted, so that a refused export loses nothing.
    if (list->count() > exporter::kMaxLargeDomains) {
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"),
                         exporter::tooManyRowsText(list->count(), exporter::kMaxLargeDomains),
                         MessageBox::Ok);
        return;
    }

    // A list longer than one .xls worksheet holds goes to yuming.xlsx instead.
    const QString path = Files::inDataFolder(exporter::fileNameFor(list->count()));
    Result result = Result::success();
    {
        WaitCursor wait;
        // Each export replaces the previous one, of either kind; the old file goes first, even when saving
        // fails.
        QFile::remove(Files::inDataFolder(exporter::kFileName));
        QFile::remove(Files::inDataFolder(exporter::kLargeFileName));
        // A long list shows how far the export has come; the window keeps drawing meanwhile.
        LongWork exporting(parent, QStringLiteral("批量导出"), QStringLiteral("正在导出域名……"),
                           list->count(), LongWork::Cancel::Refused, QStringLiteral("exportProgress"));
        result = exporter::writeWorkbook(*list->rows(), path,
                                         [&](int done, int total) { (void)exporting.step(done, total); });
        list->setCurrentRow(list->count() - 1);
    }

    if (!result.ok()) {
        // The box as it always was, with what failed below it.
        MessageBox::show(parent, MessageBox::NoIcon, QStringLiteral("提示"),
                         QStringLiteral("保存失敗") + QLatin1Char('\n') + result.error(),
                         MessageBox::Ok | MessageBox::Cancel);
        return;
    }
    Platform::openWithDefaultApplication(path);
}

void exportExpiryCalendar(QWidget* parent, DomainList* list)
{
    // Every row, also while they are still coming in after the start.
    if (!readWholeList(parent, list))
        return;
    QString path = FileDialog::getSaveFileName(parent, QStringLiteral("导出到期日历"),
                                               Files::inDataFolder(calendar::kFileName),
                                               QStringLiteral("日历文件 (*.ics)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive))
        path += QLatin1String(".ics");
    calendar::Written result;
    {
        WaitCursor wait;
        // The reminders of each event are the days the user chose for the desktop reminders.
        result = calendar::write(*list->rows(), path, ReminderSettings::load().thresholds);
    }
    MessageBox::show(parent, result.ok() ? MessageBox::Information : MessageBox::Warning,
                     QStringLiteral("提示"), calendar::resultText(result, path), MessageBox::Ok);
}
