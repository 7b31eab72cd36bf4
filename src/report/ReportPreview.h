#pragma once

#include "ReportLayout.h"
#include "platform/LongWork.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QHash>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPrinter;
class QPushButton;
class QSpinBox;
class ReportDataSource;

// What the engine asks of the program around it: the file dialog, the error box and where a
// PDF is proposed. Unset members fall back to the plain Qt dialogs.
struct ReportHost
{
    // Returns the chosen file name, or an empty text when cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& proposed,
                          const QString& filter)>
        saveFileName;
    std::function<void(QWidget* parent, const QString& text)> showError;
    // Sets up the printer (the system print dialog); false when cancelled.
    std::function<bool(QWidget* parent, QPrinter& printer)> choosePrinter;
    QString proposedPdfPath; // full path proposed by "导出PDF…"
    // Told the name of each report chosen in the preview's report box, to remember it.
    std::function<void(const QString& name)> reportChosen;
    // Edits the form fields a report fills its texts from (ReportContext::values); false when
    // cancelled. Offered in the preview, as formButtonText, for the reports that use them.
    std::function<bool(QWidget* parent, QHash<QString, QString>& values)> editValues;
    QString formButtonText;
};

// Runs long report work behind a progress window with "取消" (LongWork, in steps on the window
// thread); the window appears only when the work takes longer than a moment.
class ReportProgressWindow
{
public:
    ReportProgressWindow(QWidget* parent, const QString& label);
    ReportProgress callback();

private:
    LongWork m_work;
};

// The pages of a laid-out report one under the other; only the pages in sight are painted,
// straight from the layout, so no page is ever kept as a picture.
class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum Fit
    {
        FitNone,
        FitWidth,
        FitPage
    };
    explicit ReportPageView(const ReportLayout& layout, QWidget* parent = nullptr);
    // Shows another layout from its first page; the zoom or fit stays.
    void setLayout(const ReportLayout& layout);

    double zoom() const { return m_zoom; } // 1 is the paper's real size
    void setZoom(double zoom);
    void setFit(Fit fit);
    Fit fit() const { return m_fit; }
    int currentPage() const { return m_current; } // from 0
    void showPage(int page);
    // Pages painted by the last paint; tests check that only the pages in sight are painted.
    int paintedPages() const { return m_painted; }

signals:
    void currentPageChanged(int page);
    void zoomChanged(double zoom);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QSizeF pagePixels() const;
    double pageStride() const;
    void updateScrollBars();
    void updateCurrentPage();
    void applyFit();

    const ReportLayout* m_layout;
    double m_zoom = 1;
    Fit m_fit = FitWidth;
    int m_current = 0;
    int m_painted = 0;
};

// The preview window "打印预览": the laid-out pages with page navigation and zoom, and the
// buttons "打印…", "导出PDF…" and "关闭". Run over a project, it offers the project's reports in
// the box "报表：" and lays the chosen one out in its place.
class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    ReportPreview(const ReportLayout& layout, const ReportHost& host, QWidget* parent = nullptr);
    ~ReportPreview() override;

    ReportPageView* view() const { return m_view; }
    const ReportLayout& layout() const { return *m_layout; }
    void printReport();
    void exportPdf();
    // Lays out the report of the project with that index in place of the one shown (with
    // progress); the one shown stays when it cannot be laid out or the user cancels.
    bool chooseReport(int index);
    // Asks for the form fields again and lays the report out anew with them.
    void editForm();

    // Lays the report out over the data (with progress), then shows the preview modally and
    // returns when it closes. Empty when done or cancelled, else what is wrong with the report.
    static QString run(QWidget* parent, const ReportDefinition& report, const ReportDataSource& data,
                       const QDate& printDate, const ReportHost& host);
    // The same for the named report of a project (its default report when it has none of that
    // name), with the choice of the project's reports in the preview.
    static QString run(QWidget* parent, const ReportProject& project, const QString& reportName,
                       const ReportDataSource& data, const ReportContext& context, const ReportHost& host);

    // --- test seam --- called with each preview just after it is shown; it must close it.
    static void setShownHook(std::function<void(ReportPreview*)> hook);

private:
    struct Chooser
    {
        const ReportProject* project;
        const ReportDataSource* data;
        ReportContext context;
        int current;
    };
    ReportPreview(std::unique_ptr<ReportLayout> layout, Chooser chooser, const ReportHost& host,
                  QWidget* parent);
    void build();
    void pageChanged(int page);
    void layoutChanged();
    void showError(const QString& text);
    // Lays a report out behind a progress window: the layout, or null when cancelled or wrong
    // (*error then says what is wrong).
    static std::unique_ptr<ReportLayout> layOut(QWidget* parent, const ReportDefinition& report,
                                                const ReportDataSource& data, const ReportContext& context,
                                                QString* error);

    const ReportLayout* m_layout;
    std::unique_ptr<ReportLayout> m_ownLayout;
    std::unique_ptr<Chooser> m_chooser; // set when run over a project
    ReportHost m_host;
    QComboBox* m_report = nullptr;
    QPushButton* m_form = nullptr;
    ReportPageView* m_view;
    QSpinBox* m_page;
    QLabel* m_pages;
    QComboBox* m_zoom;
    QLabel* m_status;
    QPushButton* m_first;
    QPushButton* m_prior;
    QPushButton* m_next;
    QPushButton* m_last;
};
