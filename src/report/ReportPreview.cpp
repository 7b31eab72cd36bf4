#include "ReportPreview.h"

#include "ReportData.h"
#include "ReportOutput.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {
constexpr int kGap = 16; // pixels around and between the pages
std::function<void(ReportPreview*)> g_shownHook;

const double kZoomSteps[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0};
} // namespace

// ---------------------------------------------------------------------------------------------

ReportProgressWindow::ReportProgressWindow(QWidget* parent, const QString& label)
    : m_work(parent, QStringLiteral("请稍候"), label, 100)
{
}

ReportProgress ReportProgressWindow::callback()
{
    return [this](int done, int total) { return m_work.step(done, total); };
}

// ---------------------------------------------------------------------------------------------

ReportPageView::ReportPageView(const ReportLayout& layout, QWidget* parent)
    : QAbstractScrollArea(parent), m_layout(&layout)
{
    setObjectName(QStringLiteral("pageView"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(40);
}

QSizeF ReportPageView::pagePixels() const
{
    const double perUnit = m_zoom * logicalDpiX() / ReportLayout::kUnitsPerInch;
    return m_layout->paperSize() * perUnit;
}

double ReportPageView::pageStride() const
{
    return pagePixels().height() + kGap;
}

void ReportPageView::setLayout(const ReportLayout& layout)
{
    m_layout = &layout;
    verticalScrollBar()->setValue(0);
    if (m_fit != FitNone)
        applyFit(); // the paper may be another
    updateScrollBars();
    m_current = -1;
    updateCurrentPage();
    viewport()->update();
}

void ReportPageView::setZoom(double zoom)
{
    zoom = std::clamp(zoom, 0.1, 4.0);
    const double page = verticalScrollBar()->value() / std::max(pageStride(), 1.0);
    m_zoom = zoom;
    updateScrollBars();
    verticalScrollBar()->setValue(int(std::lround(page * pageStride())));
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void ReportPageView::setFit(Fit fit)
{
    m_fit = fit;
    applyFit();
}

void ReportPageView::applyFit()
{
    const QSizeF real = m_layout->paperSize() * (logicalDpiX() / ReportLayout::kUnitsPerInch);
    const QSize room = viewport()->size() - QSize(2 * kGap, 2 * kGap);
    if (m_fit == FitWidth && real.width() > 0)
        setZoom(room.width() / real.width());
    else if (m_fit == FitPage && real.width() > 0)
        setZoom(std::min(room.width() / real.width(), room.height() / real.height()));
}

void ReportPageView::updateScrollBars()
{
    const QSizeF page = pagePixels();
    const double height = m_layout->pageCount() * pageStride() + kGap;
    verticalScrollBar()->setRange(0, std::max(0, int(height) - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, int(page.width()) + 2 * kGap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    updateCurrentPage();
}

void ReportPageView::showPage(int page)
{
    page = std::clamp(page, 0, std::max(0, m_layout->pageCount() - 1));
    verticalScrollBar()->setValue(int(std::lround(page * pageStride())));
    updateCurrentPage();
}

void ReportPageView::updateCurrentPage()
{
    // The page that fills the upper part of the window is the current one.
    const double at = verticalScrollBar()->value() + std::min(viewport()->height(), int(pageStride())) / 3.0;
    const int page = std::clamp(int(at / pageStride()), 0, std::max(0, m_layout->pageCount() - 1));
    if (page != m_current) {
        m_current = page;
        emit currentPageChanged(page);
    }
}

void ReportPageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    // The desk the pages lie on (painted here: a style sheet may not leave the palette alone).
    painter.fillRect(viewport()->rect(), QColor(0x6e, 0x74, 0x7c));
    const QSizeF page = pagePixels();
    const double stride = pageStride();
    const double scale = m_zoom * logicalDpiX() / ReportLayout::kUnitsPerInch;
    const double x =
        std::max<double>(kGap, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
    const int top = verticalScrollBar()->value();
    m_painted = 0;
    for (int p = std::max(0, int((top - kGap) / stride)); p < m_layout->pageCount(); ++p) {
        const double y = kGap + p * stride - top;
        if (y > viewport()->height())
            break;
        const QRectF sheet(x, y, page.width(), page.height());
        painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 70));
        painter.save();
        painter.translate(sheet.topLeft());
        painter.scale(scale, scale);
        painter.setClipRect(QRectF(QPointF(0, 0), m_layout->paperSize()));
        m_layout->paintPage(painter, p);
        painter.restore();
        ++m_painted;
    }
}

void ReportPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_fit != FitNone)
        applyFit();
    else
        updateScrollBars();
}

void ReportPageView::scrollContentsBy(int, int)
{
    updateCurrentPage();
    viewport()->update();
}

void ReportPageView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Home:
        showPage(0);
        return;
    case Qt::Key_End:
        showPage(m_layout->pageCount() - 1);
        return;
    case Qt::Key_PageDown:
        if (event->modifiers() & Qt::ControlModifier) {
            showPage(m_current + 1);
            return;
        }
        break;
    case Qt::Key_PageUp:
        if (event->modifiers() & Qt::ControlModifier) {
            showPage(m_current - 1);
            return;
        }
        break;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ReportPageView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        m_fit = FitNone;
        setZoom(m_zoom * (event->angleDelta().y() > 0 ? 1.15 : 1 / 1.15));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---------------------------------------------------------------------------------------------

namespace {
QPushButton* toolButton(QWidget* parent, QHBoxLayout* row, const char* name, const QString& text,
                        const QString& tip = {})
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    if (!tip.isEmpty())
        button->setToolTip(tip);
    row->addWidget(button);
    return button;
}
} // namespace

ReportPreview::ReportPreview(const ReportLayout& layout, const ReportHost& host, QWidget* parent)
    : QDialog(parent), m_layout(&layout), m_host(host)
{
    build();
}

ReportPreview::ReportPreview(std::unique_ptr<ReportLayout> layout, Chooser chooser, const ReportHost& host,
                             QWidget* parent)
    : QDialog(parent), m_layout(layout.get()), m_ownLayout(std::move(layout)),
      m_chooser(std::make_unique<Chooser>(std::move(chooser))), m_host(host)
{
    build();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::build()
{
    const ReportLayout& layout = *m_layout;
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("打印预览"));
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint);
    setSizeGripEnabled(true);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(6, 6, 6, 6);
    auto* bar = new QHBoxLayout;
    box->addLayout(bar);
    if (m_chooser) {
        // The project's reports, the one shown chosen.
        auto* label = new QLabel(QStringLiteral("报表："), this);
        bar->addWidget(label);
        m_report = new QComboBox(this);
        m_report->setObjectName(QStringLiteral("reportBox"));
        m_report->setToolTip(QStringLiteral("选择要预览和打印的报表"));
        for (const ReportDefinition& r : m_chooser->project->reports())
            m_report->addItem(r.name);
        m_report->setCurrentIndex(m_chooser->current);
        m_report->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        label->setBuddy(m_report);
        bar->addWidget(m_report);
        connect(m_report, &QComboBox::activated, this, [this](int index) {
            if (!chooseReport(index)) {
                const QSignalBlocker block(m_report);
                m_report->setCurrentIndex(m_chooser->current);
            }
        });
        if (m_host.editValues) {
            m_form = toolButton(this, bar, "formButton",
                                m_host.formButtonText.isEmpty() ? QStringLiteral("填写信息…")
                                                                : m_host.formButtonText);
            connect(m_form, &QPushButton::clicked, this, &ReportPreview::editForm);
        }
        bar->addSpacing(16);
    }
    QPushButton* print =
        toolButton(this, bar, "printButton", QStringLiteral("打印…"), QStringLiteral("打印 (Ctrl+P)"));
    QPushButton* pdf = toolButton(this, bar, "exportPdfButton", QStringLiteral("导出PDF…"),
                                  QStringLiteral("导出PDF (Ctrl+S)"));
    bar->addSpacing(16);
    m_first = toolButton(this, bar, "firstPageButton", QStringLiteral("首页"), QStringLiteral("首页 (Home)"));
    m_prior = toolButton(this, bar, "priorPageButton", QStringLiteral("上一页"),
                         QStringLiteral("上一页 (Ctrl+PgUp)"));
    m_page = new QSpinBox(this);
    m_page->setObjectName(QStringLiteral("pageBox"));
    m_page->setRange(1, std::max(1, layout.pageCount()));
    m_page->setAccelerated(true);
    m_page->setKeyboardTracking(false);
    bar->addWidget(m_page);
    m_pages = new QLabel(QStringLiteral("/ %1 页").arg(layout.pageCount()), this);
    m_pages->setObjectName(QStringLiteral("pageCountLabel"));
    bar->addWidget(m_pages);
    m_next = toolButton(this, bar, "nextPageButton", QStringLiteral("下一页"),
                        QStringLiteral("下一页 (Ctrl+PgDn)"));
    m_last = toolButton(this, bar, "lastPageButton", QStringLiteral("末页"), QStringLiteral("末页 (End)"));
    bar->addSpacing(16);
    m_zoom = new QComboBox(this);
    m_zoom->setObjectName(QStringLiteral("zoomBox"));
    m_zoom->addItem(QStringLiteral("适合宽度"), -1);
    m_zoom->addItem(QStringLiteral("整页"), -2);
    for (double z : kZoomSteps)
        m_zoom->addItem(QStringLiteral("%1%").arg(int(std::lround(z * 100))), z);
    m_zoom->setToolTip(QStringLiteral("缩放 (Ctrl++ / Ctrl+-)"));
    bar->addWidget(m_zoom);
    bar->addStretch(1);
    QPushButton* close = toolButton(this, bar, "closeButton", QStringLiteral("关闭"));

    m_view = new ReportPageView(layout, this);
    box->addWidget(m_view, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("statusLabel"));
    box->addWidget(m_status);

    connect(print, &QPushButton::clicked, this, &ReportPreview::printReport);
    connect(pdf, &QPushButton::clicked, this, &ReportPreview::exportPdf);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_first, &QPushButton::clicked, this, [this] { m_view->showPage(0); });
    connect(m_prior, &QPushButton::clicked, this, [this] { m_view->showPage(m_view->currentPage() - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { m_view->showPage(m_view->currentPage() + 1); });
    connect(m_last, &QPushButton::clicked, this, [this] { m_view->showPage(m_layout->pageCount() - 1); });
    connect(m_page, &QSpinBox::valueChanged, this, [this](int page) {
        if (page - 1 != m_view->currentPage())
            m_view->showPage(page - 1);
    });
    connect(m_view, &ReportPageView::currentPageChanged, this, &ReportPreview::pageChanged);
    connect(m_zoom, &QComboBox::activated, this, [this](int index) {
        const double z = m_zoom->itemData(index).toDouble();
        if (z == -1)
            m_view->setFit(ReportPageView::FitWidth);
        else if (z == -2)
            m_view->setFit(ReportPageView::FitPage);
        else {
            m_view->setFit(ReportPageView::FitNone);
            m_view->setZoom(z);
        }
        m_view->setFocus();
    });
    auto stepZoom = [this](int direction) {
        double z = m_view->zoom();
        double next = direction > 0 ? kZoomSteps[std::size(kZoomSteps) - 1] : kZoomSteps[0];
        for (double step : kZoomSteps)
            if (direction > 0 ? (step > z + 1e-3 && step < next) : (step < z - 1e-3 && step > next))
                next = step;
        m_view->setFit(ReportPageView::FitNone);
        m_view->setZoom(next);
        m_zoom->setCurrentIndex(m_zoom->findData(next));
    };
    auto shortcut = [this](const QKeySequence& keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::Print, [this] { printReport(); });
    shortcut(QKeySequence::Save, [this] { exportPdf(); });
    shortcut(QKeySequence::ZoomIn, [stepZoom] { stepZoom(1); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [stepZoom] { stepZoom(1); });
    shortcut(QKeySequence::ZoomOut, [stepZoom] { stepZoom(-1); });

    // A large window on the screen it opens on; the pages fill its width.
    QRect room(0, 0, 1100, 800);
    if (const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())
        room = screen->availableGeometry();
    resize(std::min(room.width() * 9 / 10, 1280), std::min(room.height() * 9 / 10, 960));
    layoutChanged();
    m_view->setFocus();
}

void ReportPreview::layoutChanged()
{
    const ReportLayout& layout = *m_layout;
    m_page->setRange(1, std::max(1, layout.pageCount()));
    m_pages->setText(QStringLiteral("/ %1 页").arg(layout.pageCount()));
    QString status = QStringLiteral("共 %1 行，%2 页").arg(layout.rowCount()).arg(layout.pageCount());
    if (layout.omittedRows() > 0)
        status += QStringLiteral("（按报表条件略去 %1 行）").arg(layout.omittedRows());
    m_status->setText(status);
    if (m_form)
        m_form->setVisible(layout.usesFormFields());
    pageChanged(m_view->currentPage());
}

std::unique_ptr<ReportLayout> ReportPreview::layOut(QWidget* parent, const ReportDefinition& report,
                                                    const ReportDataSource& data,
                                                    const ReportContext& context, QString* error)
{
    if (report.dataName != data.name()) {
        *error = QStringLiteral("报表 “%1” 需要数据连接 “%2”，程序提供的是 “%3”")
                     .arg(report.name, report.dataName, data.name());
        return nullptr;
    }
    auto layout = std::make_unique<ReportLayout>(report, data, context);
    bool cancelled = false;
    {
        ReportProgressWindow progress(parent, QStringLiteral("正在排版…"));
        *error = layout->prepare(progress.callback(), &cancelled);
    }
    if (!error->isEmpty() || cancelled)
        return nullptr;
    return layout;
}

bool ReportPreview::chooseReport(int index)
{
    if (!m_chooser || index < 0 || index >= m_chooser->project->reports().size())
        return false;
    const ReportDefinition& report = m_chooser->project->reports().at(index);
    // A report that names form fields never filled in asks for them first.
    if (m_host.editValues && index != m_chooser->current) {
        const ReportLayout probe(report, *m_chooser->data, m_chooser->context);
        const auto& values = m_chooser->context.values;
        const bool blank = std::all_of(values.cbegin(), values.cend(),
                                       [](const QString& v) { return v.trimmed().isEmpty(); });
        if (blank && probe.usesFormFields()) {
            QHash<QString, QString> edited = values;
            if (m_host.editValues(this, edited))
                m_chooser->context.values = edited;
        }
    }
    QString error;
    std::unique_ptr<ReportLayout> layout = layOut(this, report, *m_chooser->data, m_chooser->context, &error);
    if (!layout) {
        if (!error.isEmpty())
            showError(m_chooser->project->faultText(error));
        return false;
    }
    m_view->setLayout(*layout);
    m_layout = layout.get();
    m_ownLayout = std::move(layout); // the old layout goes only once the view has let it go
    const bool changed = index != m_chooser->current;
    m_chooser->current = index;
    {
        const QSignalBlocker block(m_report);
        m_report->setCurrentIndex(index);
    }
    layoutChanged();
    if (changed && m_host.reportChosen)
        m_host.reportChosen(report.name);
    return true;
}

void ReportPreview::editForm()
{
    if (!m_chooser || !m_host.editValues)
        return;
    QHash<QString, QString> values = m_chooser->context.values;
    if (!m_host.editValues(this, values))
        return;
    m_chooser->context.values = values;
    chooseReport(m_chooser->current);
}

void ReportPreview::pageChanged(int page)
{
    {
        const QSignalBlocker block(m_page);
        m_page->setValue(page + 1);
    }
    const bool atStart = page <= 0;
    const bool atEnd = page >= m_layout->pageCount() - 1;
    m_first->setEnabled(!atStart);
    m_prior->setEnabled(!atStart);
    m_next->setEnabled(!atEnd);
    m_last->setEnabled(!atEnd);
}

void ReportPreview::showError(const QString& text)
{
    if (m_host.showError)
        m_host.showError(this, text);
    else
        QMessageBox::critical(this, windowTitle(), text);
}

void ReportPreview::printReport()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(m_layout->pageLayout());
    printer.setFullPage(true);
    printer.setDocName(m_layout->report().name);
    printer.setFromTo(1, m_layout->pageCount());
    bool chosen = false;
    if (m_host.choosePrinter) {
        chosen = m_host.choosePrinter(this, printer);
    } else {
        QPrintDialog dialog(&printer, this);
        dialog.setWindowTitle(QStringLiteral("打印"));
        dialog.setMinMax(1, m_layout->pageCount());
        dialog.setOption(QAbstractPrintDialog::PrintPageRange);
        chosen = dialog.exec() == QDialog::Accepted;
    }
    if (!chosen)
        return;
    ReportProgressWindow progress(this, QStringLiteral("正在打印…"));
    const Result printed = ::printReport(*m_layout, printer, progress.callback());
    if (!printed.ok() && !printed.wasCancelled())
        showError(printed.error());
    else
        m_status->setText(printed.wasCancelled() ? QStringLiteral("打印已取消")
                                                 : QStringLiteral("已送往打印机"));
}

void ReportPreview::exportPdf()
{
    const QString title = QStringLiteral("导出PDF");
    const QString filter = QStringLiteral("PDF 文件 (*.pdf)");
    QString path = m_host.saveFileName
                       ? m_host.saveFileName(this, title, m_host.proposedPdfPath, filter)
                       : QFileDialog::getSaveFileName(this, title, m_host.proposedPdfPath, filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    Result written = Result::success();
    {
        ReportProgressWindow progress(this, QStringLiteral("正在导出PDF…"));
        written = writeReportPdf(*m_layout, path, progress.callback());
    }
    if (!written.ok() && !written.wasCancelled())
        showError(written.error());
    else
        m_status->setText(written.wasCancelled()
                              ? QStringLiteral("导出已取消")
                              : QStringLiteral("已导出到 %1").arg(QDir::toNativeSeparators(path)));
}

void ReportPreview::setShownHook(std::function<void(ReportPreview*)> hook)
{
    g_shownHook = std::move(hook);
}

QString ReportPreview::run(QWidget* parent, const ReportDefinition& report, const ReportDataSource& data,
                           const QDate& printDate, const ReportHost& host)
{
    QString error;
    const std::unique_ptr<ReportLayout> layout =
        layOut(parent, report, data, ReportContext{printDate, {}, {}, {}}, &error);
    if (!layout)
        return error;

    ReportPreview preview(*layout, host, parent);
    if (g_shownHook)
        QTimer::singleShot(0, &preview, [&preview] { g_shownHook(&preview); });
    preview.exec();
    return {};
}

QString ReportPreview::run(QWidget* parent, const ReportProject& project, const QString& reportName,
                           const ReportDataSource& data, const ReportContext& context, const ReportHost& host)
{
    if (!project.isOpen())
        return QStringLiteral("报表项目未打开");
    int index = int(project.defaultReport() - project.reports().constData());
    for (int i = 0; i < project.reports().size(); ++i)
        if (project.reports().at(i).name == reportName)
            index = i;
    QString error;
    std::unique_ptr<ReportLayout> layout = layOut(parent, project.reports().at(index), data, context, &error);
    if (!layout)
        return error;

    ReportPreview preview(std::move(layout), Chooser{&project, &data, context, index}, host, parent);
    if (g_shownHook)
        QTimer::singleShot(0, &preview, [&preview] { g_shownHook(&preview); });
    preview.exec();
    return {};
}
