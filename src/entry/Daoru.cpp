#include "Daoru.h"

#include "HeadingMap.h"
#include "Importer.h"
#include "MappedImport.h"
#include "WorkbookLoader.h"
#include "db/Backup.h"
#include "db/Connection.h"
#include "db/DataModule.h"
#include "platform/Dialogs.h"
#include "platform/LongWork.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace {

const QSize kPictureSize(604, 117);

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A picture that keeps its colours while disabled: inert, yet drawn as it is, not greyed out.
class InertPicture : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawPixmap(contentsRect(), pixmap());
    }
};

// "第一步:" / "第二步:", drawn by the skin (role "step").
QLabel* makeStepLabel(QWidget* parent, const QString& name, const QString& text)
{
    QLabel* label = makeLabel(parent, name, text);
    label->setProperty("role", QStringLiteral("step"));
    return label;
}

} // namespace

Tdaoru::Tdaoru(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("daoru"));
    setWindowTitle(QStringLiteral("从EXCEL文件批量导入域名"));
    // Fixed single border; the caption bar carries only the close button, which acts like Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(625, 288);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(6);

    auto* step1 = new QHBoxLayout;
    step1->addWidget(makeStepLabel(this, QStringLiteral("bsSkinStdLabel3"), QStringLiteral("第一步:")));
    step1->addWidget(makeLabel(this, QStringLiteral("bsSkinStdLabel2"),
                               QStringLiteral("请您按照以下表头保存好您的EXCEL文件。")));
    step1->addStretch();
    column->addLayout(step1);

    QLabel* note = makeLabel(this, QStringLiteral("bsSkinStdLabel4"),
                             QStringLiteral("（从第一行开始放域名，不用把表头写文件里）"));
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    note->setFont(small);
    column->addWidget(note);

    // The sheet layout: nine headings in columns A to I. Inert: disabled, does nothing when clicked.
    m_picture = new InertPicture(this);
    m_picture->setObjectName(QStringLiteral("bsSkinLinkImage1"));
    m_picture->setFixedSize(kPictureSize);
    m_picture->setEnabled(false);
    m_picture->setAccessibleName(QStringLiteral("域名 域名说明 注册商 域名管理网址 注册日期 过期日期 备注 "
                                                "域名管理密码 对外报价"));
    column->addWidget(m_picture, 0, Qt::AlignHCenter);

    auto* step2 = new QHBoxLayout;
    step2->addWidget(makeStepLabel(this, QStringLiteral("bsSkinStdLabel5"), QStringLiteral("第二步:")));
    step2->addWidget(makeLabel(this, QStringLiteral("bsSkinStdLabel1"),
                               QStringLiteral("点击下面的按钮，选择刚才保存好的文件")));
    step2->addStretch();
    column->addLayout(step2);
    column->addSpacing(12);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_import = new QPushButton(QStringLiteral("从EXCEL导 入"), this);
    m_import->setObjectName(QStringLiteral("bsSkinButton1"));
    m_import->setDefault(true);
    m_import->setMinimumWidth(110);
    buttons->addWidget(m_import);
    m_cancel = new QPushButton(QStringLiteral("取  消"), this);
    m_cancel->setObjectName(QStringLiteral("bsSkinButton2"));
    m_cancel->setMinimumWidth(90);
    buttons->addWidget(m_cancel);
    // --- import by headings: undo of the last one ---
    m_undo = new QPushButton(QStringLiteral("撤销上次导入"), this);
    m_undo->setObjectName(QStringLiteral("undoImport"));
    m_undo->setToolTip(QStringLiteral("Ctrl+Z"));
    m_undo->setAutoDefault(false);
    m_undo->setVisible(false);
    buttons->addWidget(m_undo);
    // --- end ---
    buttons->addStretch();
    column->addLayout(buttons);
    column->addStretch();

    m_path = makeLabel(this, QStringLiteral("bsSkinStdLabel9"), QString());
    m_path->setVisible(false);

    connect(m_import, &QPushButton::clicked, this, &Tdaoru::bsSkinButton1Click);
    connect(m_cancel, &QPushButton::clicked, this, &Tdaoru::bsSkinButton2Click);

    // --- import by headings ---
    m_mapped = new MappedImport(this);
    connect(m_undo, &QPushButton::clicked, this, &Tdaoru::undoImportClick);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this);
    connect(undoKey, &QShortcut::activated, this, [this] {
        if (m_undo->isVisible())
            undoImportClick();
    });
    connect(m_mapped, &MappedImport::undoAvailable, m_undo, &QPushButton::setVisible);
    connect(m_mapped, &MappedImport::finished, this, [this](bool stored) {
        setBusy(false);
        if (stored)
            accept();
    });
    // --- end ---
}

void Tdaoru::bindData(TDataModule2* data)
{
    m_data = data;
    m_mapped->bindData(data);
}

void Tdaoru::undoImportClick()
{
    if (!m_busy)
        m_mapped->undoLast(this);
}

void Tdaoru::FormShow()
{
    m_path->clear();
}

void Tdaoru::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        // Drawn for the screen it is shown on, so that it stays sharp at any scale.
        m_picture->setPixmap(
            QIcon(QStringLiteral(":/pictures/import_sample.svg")).pixmap(kPictureSize, devicePixelRatioF()));
        centreOnDesktop(this);
    }
    QDialog::showEvent(event);
}

void Tdaoru::bsSkinButton2Click()
{
    close();
}

void Tdaoru::reject()
{
    if (!m_busy)
        QDialog::reject();
}

void Tdaoru::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void Tdaoru::setBusy(bool busy)
{
    m_busy = busy;
    m_import->setEnabled(!busy);
    m_cancel->setEnabled(!busy);
}

void Tdaoru::bsSkinButton1Click()
{
    if (m_busy)
        return;
    const QString chosen = FileDialog::getOpenFileName(this, QStringLiteral("请选择正确的excel文件"),
                                                       QString(), importer::fileFilter());
    if (!chosen.isEmpty())
        m_path->setText(chosen);
    // A cancelled choice keeps the file chosen by an earlier press of this showing.
    const QString path = m_path->text().trimmed();
    if (path.isEmpty() || !m_data)
        return;

    setBusy(true);
    importer::Outcome result;
    {
        // The workbook is read on a worker thread: the window keeps drawing, and 取消 stops a long read.
        WorkbookLoader loader;
        Expected<sheet::Sheet> read = Result::failure(QString());
        {
            LongWork reading(this, windowTitle(), QStringLiteral("正在读取工作簿……"), 1000,
                             LongWork::Cancel::Allowed, QStringLiteral("readProgress"));
            connect(&loader, &WorkbookLoader::progressChanged, &reading,
                    [&reading](int permille) { reading.setProgress(permille); });
            reading.run(&loader, &WorkbookLoader::finished,
                        [&] { loader.start(path, headingmap::kReadColumns); });
            read = loader.takeResult();
        }
        if (read.wasCancelled()) {
            setBusy(false);
            return; // the user stopped it: nothing was stored, the dialog stays as it was
        }
        if (!read.ok()) {
            result.result = Result::failure(read.error(), Result::Code::ReadFailed);
        } else if (const auto columns = headingmap::detect(read.value(), headingmap::kReadColumns)) {
            // --- a heading row: the columns go by their headings, after a preview ---
            m_mapped->start(read.take(), *columns); // busy until it has finished
            return;
            // --- end ---
        } else {
            // The list read whole and a copy of the database before the rows go in.
            if (!prepareToStore(this, m_data)) {
                setBusy(false);
                return;
            }
            WaitCursor waitCursor;
            // Shown only when storing takes long; the window keeps drawing between batches. The batches
            // before a refused row are kept, so there is no 取消 half way.
            LongWork storing(this, windowTitle(), QStringLiteral("正在导入域名……"), 0,
                             LongWork::Cancel::Refused);
            result = importer::storeSheet(m_data->Conn_service(), read.value(),
                                          [&](int stored, int total) { (void)storing.step(stored, total); });
        }
    }
    setBusy(false);
    if (result.rowsStored > 0)
        m_mapped->forgetUndo(); // the import by headings before this one is no longer the last

    if (result.code() == Result::Code::ReadFailed) {
        MessageBox::appError(this, result.error());
        return;
    }
    // The list shows what the file holds now, with the statement it holds (a search stays in force).
    if (!result.ok() || !m_data->domains()->reopen().ok()) {
        MessageBox::show(this, MessageBox::Information, QStringLiteral("提示信息"),
                         QStringLiteral("导入数据出错"), MessageBox::Ok);
        return;
    }
    MessageBox::show(this, MessageBox::Warning, QStringLiteral("提示信息"), QStringLiteral("数据导入成功"),
                     MessageBox::Ok);
    accept();
}
