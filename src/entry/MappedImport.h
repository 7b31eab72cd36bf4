#pragma once

#include "HeadingMap.h"
#include "ImportPlan.h"
#include "sheet/Cell.h"

#include <QObject>
#include <QPointer>

class QWidget;
class TDataModule2;
class ImportResultDialog;

// What every import does before it writes: the domain list reads the rest of its rows still coming in
// after the start (its later steps run from the event loop, which an import's progress window turns,
// and must not read the table on the connection while the import writes to it), then the copy of the
// database file is made; a failed copy is told once a run and stops nothing. False, after the error
// box, when the list could not be read: the import then stores nothing.
[[nodiscard]] bool prepareToStore(QWidget* parent, TDataModule2* data);

// The import of a sheet with a heading row, from the preview to the result, and its undo. Runs beside the
// import dialog: start() shows the preview over it and returns; finished() tells how it ended.
class MappedImport : public QObject
{
    Q_OBJECT
public:
    explicit MappedImport(QWidget* window);
    void bindData(TDataModule2* data) { m_data = data; }

    // Shows the preview of the sheet (window-modal over the import dialog).
    void start(sheet::Sheet sheet, const headingmap::Columns& columns);
    // Whether the last import by headings in this run can still be taken back.
    bool canUndo() const { return !m_undo.isEmpty(); }
    // "撤销上次导入": takes it back, or says why it cannot. True when it was taken back.
    bool undoLast(QWidget* parent);
    // Another import stored rows: the one before it is no longer the last.
    void forgetUndo();

    // How long the last preview took to work out, from the sheet read to the plan shown (ms).
    qint64 lastPreviewMs() const { return m_previewMs; }

Q_SIGNALS:
    // The preview was cancelled (stored false) or the import ran and its result was closed.
    void finished(bool stored);
    void undoAvailable(bool available);

private:
    void store(importplan::Plan plan);

    QWidget* m_window;
    TDataModule2* m_data = nullptr;
    sheet::Sheet m_sheet;
    importplan::Portfolio m_portfolio;
    importplan::Undo m_undo;
    qint64 m_previewMs = 0;
};
