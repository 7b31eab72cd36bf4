#include "Export.h"

#include "ExportCore.h"
#include "db/DomainList.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QFile>

void exportDomainList(QWidget* parent, DomainList* list)
{
    // Checked before the old file is deleted, so that a refused export loses nothing.
    if (list->count() > exporter::kMaxDomains) {
        MessageBox::show(parent, MessageBox::Warning, QStringLiteral("提示"),
                         exporter::tooManyRowsText(list->count()), MessageBox::Ok);
        return;
    }

    const QString path = Platform::dataFolder() + exporter::kFileName;
    exporter::Result result;
    {
        WaitCursor wait;
        // Each export replaces the previous one; the old file goes first, even when saving fails.
        QFile::remove(path);
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
