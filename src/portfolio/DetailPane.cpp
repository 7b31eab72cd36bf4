#include "DetailPane.h"

#include "ExpiryStyle.h"
#include "Lookups.h"
#include "PanelWidgets.h"
#include "RegistryUpdate.h"
#include "db/Expiry.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextOption>
#include <QToolButton>

namespace {
const QColor kValueColour(0, 0, 128);     // values: navy
const QColor kNotesGround(245, 249, 254); // the notes box

QString picture(const char* name)
{
    return QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name));
}

QFont paneFont(int pixelSize, bool bold = false)
{
    QFont font;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(paneFont(14));
    label->setProperty("role", QStringLiteral("caption"));
    return label;
}

QLabel* value(const char* name, QWidget* parent, int pixelSize = 14, bool bold = false)
{
    auto* label = new ValueLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(paneFont(pixelSize, bold));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, kValueColour);
    label->setPalette(p);
    return label;
}

} // namespace

DetailPane::DetailPane(QWidget* parent) : QWidget(parent)
{
    auto* outer = this;
    outer->setObjectName(QStringLiteral("detailSide"));
    auto* side = new QHBoxLayout(outer);
    side->setContentsMargins(0, 4, 4, 4);
    side->setSpacing(0);
    // The decorative strip beside the splitter.
    auto* strip = new QFrame(outer);
    strip->setObjectName(QStringLiteral("decorStrip"));
    strip->setFixedWidth(10);
    side->addWidget(strip);

    auto* pane = m_fields = new QWidget(outer);
    pane->setObjectName(QStringLiteral("detailPane"));
    side->addWidget(pane, 1);
    auto* grid = new QGridLayout(pane);
    grid->setContentsMargins(12, 8, 4, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(9);
    grid->setColumnStretch(1, 1);

    auto trailing = [pane](QLabel* valueLabel, QList<QWidget*> after) {
        auto* holder = new QWidget(pane);
        auto* row = new QHBoxLayout(holder);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(4);
        row->addWidget(valueLabel);
        for (QWidget* w : after)
            row->addWidget(w);
        row->addStretch(1);
        return holder;
    };

    // First line: the domain name in large type, then its visit link.
    m_domain = value("lblDomain", pane, 19, true);
    m_visitDomain = new PictureLink(picture("visit_link"), {56, 18}, QStringLiteral("访问>>"), pane);
    m_visitDomain->setObjectName(QStringLiteral("linkVisitDomain"));
    QSizePolicy keepLine = m_visitDomain->sizePolicy();
    keepLine.setRetainSizeWhenHidden(true);
    m_visitDomain->setSizePolicy(keepLine);
    grid->addWidget(trailing(m_domain, {m_visitDomain}), 0, 0, 1, 2);

    int line = 1;
    auto addLine = [&](const QString& captionText, QWidget* shown) {
        grid->addWidget(caption(captionText, pane), line, 0, Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(shown, line, 1);
        ++line;
    };
    m_description = value("lblDescription", pane);
    addLine(QStringLiteral("域名说明:"), trailing(m_description, {}));
    m_price = value("lblPrice", pane);
    m_priceUnit = caption(QStringLiteral("元"), pane);
    m_priceUnit->setObjectName(QStringLiteral("lblPriceUnit"));
    addLine(QStringLiteral("对外报价:"), trailing(m_price, {m_priceUnit}));
    m_registrar = value("lblRegistrar", pane);
    addLine(QStringLiteral("注 册 商:"), trailing(m_registrar, {}));
    m_address = value("lblAddress", pane);
    // A long address is cut off with its whole text as the tool tip; a click on it opens it, as its link
    // does.
    m_address->installEventFilter(this);
    m_visitAddress = new PictureLink(picture("visit_link"), {56, 18}, QStringLiteral("访问>>"), pane);
    m_visitAddress->setObjectName(QStringLiteral("linkVisitAddress"));
    QSizePolicy keepPlace = m_visitAddress->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true); // the pane does not jump when the link comes and goes
    m_visitAddress->setSizePolicy(keepPlace);
    addLine(QStringLiteral("管理地址:"), trailing(m_address, {m_visitAddress}));
    m_password = value("lblPassword", pane);
    addLine(QStringLiteral("管理密码:"), trailing(m_password, {}));
    m_regDate = value("lblRegDate", pane);
    addLine(QStringLiteral("注册日期:"), trailing(m_regDate, {}));
    m_expDate = value("lblExpDate", pane);
    m_expiryNote = new QLabel(pane);
    m_expiryNote->setObjectName(QStringLiteral("lblExpiryNote"));
    m_expiryNote->setTextFormat(Qt::PlainText);
    m_expiryNote->setFont(paneFont(14));
    m_expiryNote->setContentsMargins(8, 0, 0, 0);
    addLine(QStringLiteral("到期日期:"), trailing(m_expDate, {m_expiryNote}));

    // The three look-ups.
    auto* whois = new PictureLink(picture("whois_link"), {88, 22}, QStringLiteral("查询WHOIS"), pane);
    whois->setObjectName(QStringLiteral("linkWhois"));
    auto* seo = new PictureLink(picture("seo_link"), {104, 22}, QStringLiteral("SEO综合查询"), pane);
    seo->setObjectName(QStringLiteral("linkSeo"));
    auto* icp = new PictureLink(picture("icp_link"), {96, 22}, QStringLiteral("查询ICP备案"), pane);
    icp->setObjectName(QStringLiteral("linkIcp"));
    auto* links = new QWidget(pane);
    auto* linkRow = new QHBoxLayout(links);
    linkRow->setContentsMargins(0, 2, 0, 2);
    linkRow->setSpacing(6);
    linkRow->addWidget(whois);
    linkRow->addWidget(seo);
    linkRow->addWidget(icp);
    linkRow->addStretch(1);
    grid->addWidget(links, line++, 0, 1, 2);
    // When the registries were last asked about the domain, and what they said of it.
    m_registryNote = caption(QString(), pane);
    m_registryNote->setObjectName(QStringLiteral("lblRegistryNote"));
    m_registryNote->setWordWrap(true); // many status words never widen the pane
    m_registryNote->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(m_registryNote, line++, 0, 1, 2);

    // 备注
    auto* notesGroup = new QGroupBox(QStringLiteral("备注"), pane);
    notesGroup->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* notesBox = new QVBoxLayout(notesGroup);
    notesBox->setContentsMargins(6, 8, 6, 6);
    m_notes = new QPlainTextEdit(notesGroup);
    m_notes->setObjectName(QStringLiteral("bsSkinMemo1"));
    m_notes->setReadOnly(true);
    // Long notes wrap at the box's width (a word longer than the box breaks where it must).
    m_notes->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_notes->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_notes->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_notes->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_notes->setFont(paneFont(14));
    QPalette notesPalette = m_notes->palette();
    notesPalette.setColor(QPalette::Base, kNotesGround);
    notesPalette.setColor(QPalette::Text, kValueColour);
    m_notes->setPalette(notesPalette);
    m_notes->setBackgroundVisible(false);
    notesBox->addWidget(m_notes);
    grid->addWidget(notesGroup, line, 0, 1, 2);
    grid->setRowStretch(line++, 1);

    // Never shown: the record number, which the edit dialog's opener copies.
    auto* aidCaption = caption(QStringLiteral("域名编号:"), pane);
    aidCaption->setObjectName(QStringLiteral("lblAidCaption"));
    m_aid = value("lblAid", pane);
    grid->addWidget(aidCaption, line, 0);
    grid->addWidget(m_aid, line, 1);
    aidCaption->hide();
    m_aid->hide();

    connect(m_visitDomain, &QToolButton::clicked, this, [this] { openAddress(m_domain->text()); });
    connect(m_visitAddress, &QToolButton::clicked, this, [this] { openAddress(m_address->text()); });
    connect(whois, &QToolButton::clicked, this, [this] { openAddress(lookups::whois(m_domain->text())); });
    connect(seo, &QToolButton::clicked, this, [this] { openAddress(lookups::seo(m_domain->text())); });
    connect(icp, &QToolButton::clicked, this, [this] { openAddress(lookups::icp(m_domain->text())); });

    showRecord({});
}

void DetailPane::showRecord(const DomainRecord& shown)
{
    m_aid->setText(shown.aid);
    m_domain->setText(shown.domain);
    m_description->setText(shown.description);
    m_registrar->setText(shown.registrar);
    m_address->setText(shown.address);
    m_regDate->setText(shown.registered);
    m_expDate->setText(shown.expires);
    showExpiryNote(shown.expires);
    if (shown.notes != m_shown.notes)
        m_notes->setPlainText(shown.notes);
    m_password->setText(shown.password);
    m_price->setText(shown.price);
    m_registryNote->setText(registryupdate::noteFor(shown.domain));
    m_shown = shown;
    // The visit link after the management address shows exactly when there is an address (blanks count).
    // Only a change of state touches the widget: showing or hiding lays the pane out again at once.
    const bool hasAddress = !shown.address.isEmpty();
    if (hasAddress)
        m_address->setCursor(Qt::PointingHandCursor);
    else
        m_address->unsetCursor();
    if (m_visitAddress->isHidden() == hasAddress)
        m_visitAddress->setVisible(hasAddress);
}

void DetailPane::setNothingFound(bool nothing)
{
    m_visitDomain->setVisible(!nothing);
    m_priceUnit->setVisible(!nothing);
}

void DetailPane::showExpiryNote(const QString& date)
{
    const expiry::Day day = expiry::parse(date);
    const expiry::Status status = expiry::classify(day, expiry::dayOf(Platform::today()));
    const QString note = expiry::remainingText(day, expiry::dayOf(Platform::today()));
    QColor colour = expirystyle::colour(status);
    if (!colour.isValid())
        colour = kValueColour;
    if (m_expiryNote->text() != note)
        m_expiryNote->setText(note);
    if (m_expiryNote->palette().color(QPalette::WindowText) != colour) {
        QPalette p = m_expiryNote->palette();
        p.setColor(QPalette::WindowText, colour);
        m_expiryNote->setPalette(p);
    }
}

bool DetailPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_address && event->type() == QEvent::MouseButtonRelease && !m_address->text().isEmpty() &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        openAddress(m_address->text());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void DetailPane::openAddress(const QString& address)
{
    const QString refused = Platform::openInBrowser(address);
    if (!refused.isEmpty())
        MessageBox::show(this, MessageBox::Warning, QStringLiteral("提示"), refused, MessageBox::Ok);
}
