#include "Export.h"

#include "ExportCore.h"
#include "db/DomainList.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QFile>

void exportDomainList(QWidget* parent, DomainList* list)
{
    // Checked before the old file is deleted, so that a refused export loses nothing.
    if (list->count() > exporter::kMaxLargeDomains) {
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"),
                         exporter::tooManyRowsText(list->count(), exporter::kMaxLargeDomains),
                         MessageBox::Ok);
        return;
    }

    // A list longer than one .xls worksheet holds goes to yuming.xlsx instead.
    const QString folder = Platform::programFolder();
    const QString path = folder + exporter::fileNameFor(list->count());
    exporter::Result result;
    {
        WaitCursor wait;
        // Each export replaces the previous one, of either kind; the old file goes first, even when saving
        // fails.
        QFile::remove(folder + exporter::kFileName);
        QFile::remove(folder + exporter::kLargeFileName);
        result = exporter::writeWorkbook(*list->rows(), path);
        list->setCurrentRow(list->count() - 1);
    }

    if (!result.ok()) {
        // The box as it always was, with what failed below it.
        MessageBox::show(parent, MessageBox::NoIcon, QStringLiteral("提示"),
                         QStringLiteral("保存失敗") + QLatin1Char('\n') + result.error,
                         MessageBox::Ok | MessageBox::Cancel);
        return;
    }
    Platform::openWithDefaultApplication(path);
}
