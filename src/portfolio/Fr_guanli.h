#pragma once

#include "DetailPane.h"
#include "DomainTable.h"
#include "db/DomainList.h"
#include "db/DomainRecord.h"
#include "db/ListTotals.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>

class QAction;
class QComboBox;
class PortfolioStatus;
class QLineEdit;
class QSplitter;
class QToolButton;
class DomainList;
struct ListChange;
class FilterStrip;
struct ListFilter;
class ReportProject;
class TDataModule2;
class UndoHistory;

// The portfolio panel (Fr_guanli1): banner, toolbar, the domain list (DomainTable) with the filters
// above it and the search strip below, and the detail pane (DetailPane) of the current domain. The panel
// holds the actions of the toolbar, the search strip, the list's menu and keys; every one works through
// the domain list service, whose current row is the list's and the pane's.
class TFr_guanli : public QWidget
{
    Q_OBJECT
public:
    explicit TFr_guanli(QWidget* parent = nullptr);
    ~TFr_guanli() override;
    // Binds the list and the detail pane to the domain list of the data module.
    void bindData(TDataModule2* data);

    DomainTable* bsSkinDBGrid1() const { return m_grid; } // the domain list
    DetailPane* detailPane() const { return m_detail; }
    QWidget* bsSkinToolBar1() const { return m_toolBar; }
    QWidget* searchStrip() const { return m_searchStrip; } // 速查: the box, its scope and 清除
    QLineEdit* searchBox() const { return m_search; }      // bsSkinEdit1
    QSplitter* splitter() const { return m_splitter; }
    FilterStrip* filterStrip() const { return m_filters; } // the filters above the list
    // The list's menu entries 撤销 and 重做, their texts naming the step.
    QAction* undoAction() const { return m_undoAction; }
    QAction* redoAction() const { return m_redoAction; }
    // The portfolio's counts for the status bar; the main window places it, the panel fills it and
    // shows it while the panel itself is shown.
    PortfolioStatus* statusStrip() const;

    // The list's layout as the user left it: the splitter's state and the columns shown with the
    // widths the user set (see DomainTable).
    QByteArray splitterState() const;
    // Puts a remembered layout back; an empty or unfitting part is left at its starting value. Without
    // columns, the widths are those of the five columns of the first start, as kept before the columns
    // shown were remembered.
    void restoreLayout(const QByteArray& splitterState, const QList<int>& columnWidths,
                       const QStringList& columns = {});

    // Empty-list notice: true (after showing "请先添加域名") when the list holds no rows.
    bool refuseEmptyList();

    // --- actions (the toolbar, the search strip and the list call these) ---
    void deleteCurrentDomain(); // 删 除 (the domains selected, when more than one)
    void editSelection();       // 批量修改… of the domains selected
    void undo();                // 撤销 the last change of this run
    void redo();                // 重做 what was undone last
    UndoHistory* undoHistory() const { return m_history; }
    void resetToDefaultList();           // 刷 新 and 清除
    void searchFor(const QString& text); // in the scope chosen beside the box
    SearchScope searchScope() const;     // 只查域名 or 全部字段
    void setSearchScope(SearchScope scope);
    // What the list says when a search found nothing; empty while it says nothing.
    QString notFoundText() const;
    // The links of the status bar: the domains of the list that have expired / expire within 30 days,
    // soonest first (within a search, those the search finds).
    void listExpired();
    void listExpiring();
    void requestEdit(); // 编 辑, double-click or Enter on a row
    void printList();   // 打 印
    // 从注册局更新: 0 the current domain, 1 the domains listed now, 2 all domains.
    void updateFromRegistries(int scope);

    // The report project yuming.rav, open from the first print to the end of the run.
    const ReportProject& RvProject1() const { return *m_rvProject1; }

signals:
    void addRequested();    // 添 加
    void editRequested();   // 编 辑, the list holds rows
    void importRequested(); // 批量导入, the list holds rows
    void helpRequested();   // 帮 助

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildToolbar();
    QWidget* buildListColumn();
    QToolButton* addToolButton(QWidget* bar, const char* name, const QString& icon, const QString& text);
    void buildUndoActions();
    void updateUndoActions();
    DomainList* list() const;
    void showCurrentRecord();
    void showNotFound();
    void showScopeHint();
    void applyFilter(const ListFilter& filter);
    void followListChange(const ListChange& change);
    void updateTotals();

    TDataModule2* m_data = nullptr;
    QWidget* m_toolBar = nullptr;
    DomainTable* m_grid = nullptr;
    DetailPane* m_detail = nullptr;
    QWidget* m_searchStrip = nullptr;
    QLineEdit* m_search = nullptr;
    QComboBox* m_scope = nullptr; // 只查域名 / 全部字段
    FilterStrip* m_filters = nullptr;
    QSplitter* m_splitter = nullptr;
    QPointer<PortfolioStatus> m_status; // lives in the main window's status bar once placed there
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    bool m_shownOnce = false;
    bool m_splitterRestored = false;
    std::unique_ptr<ReportProject> m_rvProject1;
    UndoHistory* m_history = nullptr;
};
