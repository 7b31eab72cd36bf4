#include "Print.h"

#include "DomainListModel.h"
#include "ListChange.h"
#include "QuoteInfoDialog.h"
#include "RvData.h"
#include "db/DomainList.h"
#include "db/Expiry.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "report/ReportPreview.h"
#include "report/ReportProject.h"

#include <QDir>

namespace {

// A column for a field the list shows and the report has not: its heading and width (millimetres).
ReportColumn columnFor(const QString& field)
{
    ReportColumn c;
    c.field = field;
    struct Known
    {
        const char* field;
        const char16_t* heading;
        double width;
        Qt::Alignment align;
        bool wrap;
    };
    static const Known known[] = {
        {"a1", u"域名", 62, Qt::AlignLeft, true},         {"a2", u"说明", 84, Qt::AlignLeft, true},
        {"a3", u"注册商", 44, Qt::AlignLeft, false},      {"a4", u"管理地址", 60, Qt::AlignLeft, false},
        {"a5", u"注册日期", 26, Qt::AlignHCenter, false}, {"a6", u"到期日期", 26, Qt::AlignHCenter, false},
        {"a7", u"备注", 70, Qt::AlignLeft, true},         {"a9", u"报价", 26, Qt::AlignRight, false}};
    for (const Known& k : known)
        if (field == QLatin1String(k.field)) {
            c.heading = QString::fromUtf16(k.heading);
            c.width = k.width;
            c.align = k.align;
            c.wrap = k.wrap;
        }
    return c;
}
} // namespace

QList<ReportColumn> listReportColumns(const QList<ReportColumn>& own, const QStringList& shown,
                                      const QStringList& firstShown)
{
    if (shown.isEmpty())
        return own;
    const QString password = QStringLiteral("a8");
    QList<ReportColumn> columns;
    QStringList fields;
    for (const ReportColumn& c : own) {
        if (c.field == password || (firstShown.contains(c.field) && !shown.contains(c.field)))
            continue;
        columns << c;
        fields << c.field;
    }
    for (const QString& field : shown) {
        if (field == password || fields.contains(field) || firstShown.contains(field))
            continue;
        const ReportColumn added = columnFor(field);
        if (added.width > 0) {
            columns << added;
            fields << field;
        }
    }
    return columns;
}

void printDomainList(QWidget* parent, DomainList* list, ReportProject& project,
                     const QStringList& shownColumns)
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
        const QString error = project.open(Files::reportProject());
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
    host.proposedPdfPath = Files::inDataFolder(QStringLiteral("yuming.pdf"));
    // The report chosen last opens again; the price list's header comes from 报价单信息.
    host.reportChosen = [](const QString& name) { PrintSettings::saveLastReport(name); };
    host.editValues = &editQuoteFields;
    host.formButtonText = QStringLiteral("报价单信息…");
    ReportContext context;
    context.printDate = Platform::today();
    context.values = quoteFields(PrintSettings::quoteInfo());
    context.readDay = [](const QString& text) { return expiry::parse(text); };
    context.listColumns = [shownColumns](const QList<ReportColumn>& own) {
        return listReportColumns(own, shownColumns, DomainListModel::fieldNames());
    };

    const RvData data(list->rows());
    const QString error =
        ReportPreview::run(parent, project, PrintSettings::lastReport(), data, context, host);
    if (!error.isEmpty()) {
        // The report does not fit the data: the file must be mended, so it is read again next time.
        MessageBox::appError(parent, project.faultText(error));
        project.close();
    }
}
