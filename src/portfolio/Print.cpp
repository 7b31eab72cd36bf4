#include "Print.h"

#include "ListChange.h"
#include "QuoteInfoDialog.h"
#include "RvData.h"
#include "db/DomainList.h"
#include "db/Expiry.h"
#include "platform/Dialogs.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QDir>

namespace {
const QString kProjectFile = QStringLiteral("yuming.rav");
}

void printDomainList(QWidget* parent, DomainList* list, ReportProject& project)
{
    // Every row, also while they are still coming in after the start: the report counts them.
    if (list && !readWholeList(parent, list))
        return;
    if (!list || list->isEmpty()) {
        MessageBox::information(parent, QStringLiteral("请先添加域名"));
        return;
    }
    // Opened on the first run only; a project that failed to open stays closed, so the next
    // press tries again.
    if (!project.isOpen()) {
        const QString error = project.open(QDir::current().absoluteFilePath(kProjectFile));
        if (!error.isEmpty()) {
            MessageBox::appError(parent, error);
            return;
        }
    }

    ReportHost host;
    host.saveFileName = [](QWidget* owner, const QString& title, const QString& proposed,
                           const QString& filter) {
        return FileDialog::getSaveFileName(owner, title, proposed, filter);
    };
    host.showError = [](QWidget* owner, const QString& text) { MessageBox::appError(owner, text); };
    host.proposedPdfPath = Platform::dataFolder() + QStringLiteral("yuming.pdf");
    // The report chosen last opens again; the price list's header comes from 报价单信息.
    host.reportChosen = [](const QString& name) { PrintSettings::saveLastReport(name); };
    host.editValues = &editQuoteFields;
    host.formButtonText = QStringLiteral("报价单信息…");
    ReportContext context;
    context.printDate = Platform::today();
    context.values = quoteFields(PrintSettings::quoteInfo());
    context.readDay = [](const QString& text) { return expiry::parse(text); };

    const RvData data(list->rows());
    const QString error =
        ReportPreview::run(parent, project, PrintSettings::lastReport(), data, context, host);
    if (!error.isEmpty()) {
        // The report does not fit the data: the file must be mended, so it is read again next time.
        MessageBox::appError(parent, project.faultText(error));
        project.close();
    }
}
