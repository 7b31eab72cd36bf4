#include "GuidePicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace {
const QColor kInk(0x1F, 0x3A, 0x68);     // body text
const QColor kHeading(0x1C, 0x4E, 0xA8); // headings
const QColor kBlue(0x3A, 0x78, 0xD8);
const QColor kPale(0xE3, 0xEE, 0xFD);
const QColor kBorder(0xA9, 0xC0, 0xE4);

// One piece of a line of text: words, or one of the small pictures that stand inline.
struct Piece
{
    enum Kind
    {
        Words,
        AddButton,    // the toolbar button 添 加
        ImportButton, // the toolbar button 批量导入
        Padlock       // the padlock button of the status bar
    };
    Kind kind;
    QString words;
};

QFont pixelFont(const QFont& base, int pixels, bool bold = false)
{
    QFont f = base;
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void drawSvg(QPainter& p, const QString& resource, const QRectF& where)
{
    QSvgRenderer svg(resource);
    if (svg.isValid())
        svg.render(&p, where);
}

// The light face of a button: white at the top, the given blue at the bottom, a thin border.
void drawButtonFace(QPainter& p, const QRectF& face, const QColor& bottom, qreal radius)
{
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0, QColor(0xFC, 0xFE, 0xFF));
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(QPen(kBorder, 1));
    p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// A toolbar button as the portfolio panel draws it: icon and words on a light face.
qreal toolButtonWidth(const QFontMetricsF& fm, const QString& words)
{
    return 6 + 16 + 4 + fm.horizontalAdvance(words) + 7;
}

void drawToolButton(QPainter& p, const QPointF& at, qreal height, const QString& icon, const QString& words,
                    bool raised)
{
    const QFontMetricsF fm(p.font());
    const QRectF face(at, QSizeF(toolButtonWidth(fm, words), height));
    if (raised)
        drawButtonFace(p, face, QColor(0xD6, 0xE4, 0xF7), 3);
    drawSvg(p, QStringLiteral(":/icons/%1.svg").arg(icon),
            QRectF(face.x() + 6, face.center().y() - 8, 16, 16));
    p.setPen(kInk);
    p.drawText(QRectF(face.x() + 26, face.y(), face.width() - 26, face.height()), Qt::AlignVCenter, words);
}

// A line of words with its inline pictures, from its left end on the given middle height.
void drawPieces(QPainter& p, QPointF at, const QList<Piece>& pieces)
{
    const QFontMetricsF fm(p.font());
    qreal x = at.x();
    for (const Piece& piece : pieces) {
        switch (piece.kind) {
        case Piece::Words:
            p.setPen(kInk);
            p.drawText(QPointF(x, at.y() + (fm.ascent() - fm.descent()) / 2), piece.words);
            x += fm.horizontalAdvance(piece.words);
            break;
        case Piece::AddButton:
        case Piece::ImportButton: {
            const QString words =
                piece.kind == Piece::AddButton ? QStringLiteral("添 加") : QStringLiteral("批量导入");
            const QString icon =
                piece.kind == Piece::AddButton ? QStringLiteral("add") : QStringLiteral("import");
            const QFont keep = p.font();
            p.setFont(pixelFont(keep, 12));
            const qreal w = toolButtonWidth(QFontMetricsF(p.font()), words);
            drawToolButton(p, QPointF(x + 2, at.y() - 11), 22, icon, words, true);
            p.setFont(keep);
            x += w + 4;
            break;
        }
        case Piece::Padlock: {
            const QRectF face(x + 2, at.y() - 11, 26, 22);
            p.setPen(QPen(kBorder, 1));
            p.setBrush(QColor(0xDC, 0xE8, 0xF8));
            p.drawRoundedRect(face.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
            drawSvg(p, QStringLiteral(":/icons/padlock.svg"),
                    QRectF(face.center() - QPointF(8, 8), QSizeF(16, 16)));
            x += face.width() + 4;
            break;
        }
        }
    }
}

Piece words(const QString& text)
{
    return {Piece::Words, text};
}

// The ground of every page: light blue, with soft rings in the lower right and a rule under the heading.
void drawGround(QPainter& p, const QRectF& r)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    g.setColorAt(0.55, QColor(0xF2, 0xF7, 0xFF));
    g.setColorAt(1, kPale);
    p.fillRect(r, g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3A, 0x78, 0xD8, 14));
    p.drawEllipse(QPointF(r.right() - 40, r.bottom() + 30), 230, 150);
    p.setBrush(QColor(0x3A, 0x78, 0xD8, 10));
    p.drawEllipse(QPointF(r.right() + 20, r.bottom() - 10), 330, 120);
    // The band along the top.
    QLinearGradient band(r.topLeft(), r.topRight());
    band.setColorAt(0, kBlue);
    band.setColorAt(1, QColor(0x8C, 0xB8, 0xF0));
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 5), band);
}

void drawNumber(QPainter& p, int page)
{
    const QFont base = p.font();
    QFont big = pixelFont(base, 26, true);
    QFont small = pixelFont(base, 16);
    const QString n = QString::number(page);
    const QString rest = QStringLiteral("/%1").arg(GuidePicture::kPages);
    const qreal right = 612;
    const qreal restWidth = QFontMetricsF(small).horizontalAdvance(rest);
    p.setFont(small);
    p.setPen(QColor(0x7F, 0x9D, 0xC8));
    p.drawText(QPointF(right - restWidth, 44), rest);
    p.setFont(big);
    p.setPen(kBlue);
    p.drawText(QPointF(right - restWidth - QFontMetricsF(big).horizontalAdvance(n) - 1, 44), n);
    p.setFont(base);
}

void drawHeading(QPainter& p, const QString& text, QPointF at, Qt::Alignment align = Qt::AlignLeft)
{
    const QFont base = p.font();
    p.setFont(pixelFont(base, 24, true));
    const QFontMetricsF fm(p.font());
    const qreal w = fm.horizontalAdvance(text);
    const qreal x = align == Qt::AlignRight ? at.x() - w : at.x();
    p.setPen(kHeading);
    p.drawText(QPointF(x, at.y()), text);
    // A short rule under the heading, fading out.
    QLinearGradient rule(QPointF(x, 0), QPointF(x + w + 60, 0));
    rule.setColorAt(0, kBlue);
    rule.setColorAt(1, QColor(0x3A, 0x78, 0xD8, 0));
    const qreal ruleLeft = align == Qt::AlignRight ? x - 60 : x;
    if (align == Qt::AlignRight) {
        rule.setStart(QPointF(at.x(), 0));
        rule.setFinalStop(QPointF(ruleLeft, 0));
    }
    p.fillRect(QRectF(ruleLeft, at.y() + 9, w + 60, 2), rule);
    p.setFont(base);
}

void drawLines(QPainter& p, const QStringList& lines, QPointF at, qreal step, int pixels = 14)
{
    const QFont base = p.font();
    p.setFont(pixelFont(base, pixels));
    for (const QString& line : lines) {
        drawPieces(p, at, {words(line)});
        at.ry() += step;
    }
    p.setFont(base);
}

// Page 1: a blueprint with a pair of compasses lying on it.
void drawBlueprint(QPainter& p)
{
    p.save();
    p.translate(470, 268);
    p.rotate(-9);
    const QRectF sheet(-135, -88, 270, 176);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x10, 0x30, 0x60, 45));
    p.drawRoundedRect(sheet.translated(5, 6), 3, 3);
    QLinearGradient paper(sheet.topLeft(), sheet.bottomRight());
    paper.setColorAt(0, QColor(0x3F, 0x84, 0xE0));
    paper.setColorAt(1, QColor(0x1D, 0x56, 0xB4));
    p.setBrush(paper);
    p.drawRoundedRect(sheet, 3, 3);
    // The grid.
    p.setPen(QPen(QColor(255, 255, 255, 38), 0.8));
    for (qreal x = sheet.left() + 15; x < sheet.right(); x += 15)
        p.drawLine(QPointF(x, sheet.top() + 4), QPointF(x, sheet.bottom() - 4));
    for (qreal y = sheet.top() + 15; y < sheet.bottom(); y += 15)
        p.drawLine(QPointF(sheet.left() + 4, y), QPointF(sheet.right() - 4, y));
    // The drawing: a floor plan with a door swing, a circle and dimension lines.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 230), 2));
    p.drawRect(QRectF(-110, -62, 130, 100));
    p.drawLine(QPointF(-40, -62), QPointF(-40, 0));
    p.drawLine(QPointF(-110, 0), QPointF(-70, 0));
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.2));
    p.drawArc(QRectF(-70 - 30, 0 - 30, 60, 60), 0, 90 * 16);
    p.drawEllipse(QPointF(72, -22), 34, 34);
    p.drawLine(QPointF(72, -60), QPointF(72, 16));
    p.drawLine(QPointF(34, -22), QPointF(110, -22));
    p.setPen(QPen(QColor(255, 255, 255, 160), 1, Qt::DashLine));
    p.drawLine(QPointF(-110, 52), QPointF(20, 52));
    p.drawLine(QPointF(40, 30), QPointF(110, 62));
    p.setPen(QPen(QColor(255, 255, 255, 200), 1));
    for (qreal x : {-110.0, 20.0})
        p.drawLine(QPointF(x, 47), QPointF(x, 57));
    // The curled corner.
    QPainterPath curl;
    curl.moveTo(sheet.right() - 26, sheet.bottom());
    curl.lineTo(sheet.right(), sheet.bottom() - 26);
    curl.lineTo(sheet.right(), sheet.bottom());
    curl.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF2, 0xF7, 0xFF));
    p.drawPath(curl);
    QPainterPath fold;
    fold.moveTo(sheet.right() - 26, sheet.bottom());
    fold.quadTo(sheet.right() - 18, sheet.bottom() - 18, sheet.right(), sheet.bottom() - 26);
    fold.lineTo(sheet.right() - 24, sheet.bottom() - 24);
    fold.closeSubpath();
    p.setBrush(QColor(0x9C, 0xC0, 0xF0));
    p.drawPath(fold);
    p.restore();

    // The compasses: handle, hinge and two legs, one with a needle and one with a lead.
    p.save();
    p.translate(500, 196);
    p.rotate(24);
    QLinearGradient metal(QPointF(-6, 0), QPointF(6, 0));
    metal.setColorAt(0, QColor(0x8A, 0x96, 0xA8));
    metal.setColorAt(0.45, QColor(0xF4, 0xF7, 0xFB));
    metal.setColorAt(1, QColor(0x6B, 0x78, 0x8C));
    auto leg = [&](qreal angle, bool needle) {
        p.save();
        p.rotate(angle);
        p.setPen(QPen(QColor(0x4A, 0x55, 0x66), 1));
        p.setBrush(metal);
        p.drawPolygon(QPolygonF{{-5, 4}, {5, 4}, {3, 118}, {-3, 118}});
        if (needle) {
            p.setBrush(QColor(0x55, 0x5F, 0x6E));
            p.drawPolygon(QPolygonF{{-1.6, 118}, {1.6, 118}, {0, 138}});
        } else {
            p.setBrush(QColor(0xF5, 0xC2, 0x42));
            p.drawRect(QRectF(-4, 108, 8, 12));
            p.setBrush(QColor(0x33, 0x33, 0x33));
            p.drawPolygon(QPolygonF{{-2.5, 120}, {2.5, 120}, {0, 134}});
        }
        p.restore();
    };
    leg(17, true);
    leg(-17, false);
    // Handle and hinge.
    p.setPen(QPen(QColor(0x4A, 0x55, 0x66), 1));
    p.setBrush(QColor(0x2F, 0x6F, 0xD0));
    p.drawRoundedRect(QRectF(-4, -30, 8, 22), 3, 3);
    QRadialGradient knob(QPointF(-2, -2), 12);
    knob.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    knob.setColorAt(1, QColor(0x7A, 0x86, 0x98));
    p.setBrush(knob);
    p.drawEllipse(QPointF(0, 0), 10, 10);
    p.setBrush(QColor(0x4A, 0x55, 0x66));
    p.drawEllipse(QPointF(0, 0), 2.5, 2.5);
    p.restore();
}

// Page 3: the portfolio toolbar over the domain list with one sample row.
void drawToolbarAndList(QPainter& p, const QRectF& r)
{
    const QFont base = p.font();
    p.setPen(QPen(kBorder, 1));
    p.setBrush(Qt::white);
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    // Toolbar.
    const QRectF bar(r.x() + 1, r.y() + 1, r.width() - 2, 32);
    QLinearGradient g(bar.topLeft(), bar.bottomLeft());
    g.setColorAt(0, QColor(0xF7, 0xFA, 0xFF));
    g.setColorAt(1, QColor(0xDE, 0xE9, 0xF8));
    p.fillRect(bar, g);
    p.setFont(pixelFont(base, 12));
    const QFontMetricsF fm(p.font());
    qreal x = bar.x() + 6;
    const struct
    {
        const char* icon;
        const char16_t* words;
        bool dividerAfter;
    } buttons[] = {{"add", u"添 加", false},      {"edit", u"编 辑", false},
                   {"delete", u"删 除", true},    {"import", u"批量导入", false},
                   {"export", u"批量导出", true}, {"refresh", u"刷 新", false},
                   {"print", u"打 印", false},    {"help", u"帮 助", false}};
    for (const auto& b : buttons) {
        const QString words = QString::fromUtf16(b.words);
        const bool raised = words == QStringLiteral("添 加") || words == QStringLiteral("批量导入");
        drawToolButton(p, QPointF(x, bar.y() + 5), 22, QString::fromLatin1(b.icon), words, raised);
        x += toolButtonWidth(fm, words) + 3;
        if (b.dividerAfter) {
            p.setPen(QPen(kBorder, 1));
            p.drawLine(QPointF(x + 2, bar.y() + 8), QPointF(x + 2, bar.bottom() - 8));
            x += 7;
        }
    }
    p.setPen(QPen(kBorder, 1));
    p.drawLine(bar.bottomLeft(), bar.bottomRight());
    // List heading and rows.
    const qreal widths[] = {0.26, 0.13, 0.25, 0.18, 0.18};
    const QString headings[] = {QStringLiteral("域名"), QStringLiteral("报价"), QStringLiteral("说明"),
                                QStringLiteral("注册商"), QStringLiteral("到期")};
    const QString sample[] = {QStringLiteral("lanshu.com"), QStringLiteral("8800"),
                              QStringLiteral("简短好记"), QStringLiteral("示例注册商"),
                              QStringLiteral("2027-06-30")};
    const qreal listWidth = r.width() - 2;
    const QRectF head(r.x() + 1, bar.bottom() + 1, listWidth, 24);
    p.fillRect(head, QColor(0xE8, 0xF0, 0xFC));
    const QRectF row(r.x() + 1, head.bottom(), listWidth, 24);
    p.fillRect(row, kBlue);
    qreal cx = r.x() + 1;
    for (int c = 0; c < 5; ++c) {
        const qreal w = listWidth * widths[c];
        p.setPen(kInk);
        p.drawText(QRectF(cx, head.y(), w, head.height()), Qt::AlignCenter, headings[c]);
        p.setPen(Qt::white);
        p.drawText(QRectF(cx + 6, row.y(), w - 8, row.height()), Qt::AlignVCenter | Qt::AlignLeft, sample[c]);
        p.setPen(QPen(QColor(0xC5, 0xD6, 0xEE), 1));
        if (c < 4)
            p.drawLine(QPointF(cx + w, head.y() + 4), QPointF(cx + w, head.bottom() - 4));
        cx += w;
    }
    p.setPen(QPen(QColor(0xE2, 0xEA, 0xF5), 1));
    for (qreal y = row.bottom() + 22; y < r.bottom() - 2; y += 22)
        p.drawLine(QPointF(r.x() + 1, y), QPointF(r.right() - 1, y));
    p.setFont(base);
}

// Page 4: the search strip, 速查: with its box and the 清除 button, drawn large.
void drawSearchStrip(QPainter& p, const QRectF& r)
{
    const QFont base = p.font();
    p.setPen(QPen(kBorder, 1));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xF7, 0xFA, 0xFF));
    g.setColorAt(1, QColor(0xDE, 0xE9, 0xF8));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    p.setFont(pixelFont(base, 16, true));
    p.setPen(kHeading);
    p.drawText(QRectF(r.x() + 14, r.y(), 60, r.height()), Qt::AlignVCenter, QStringLiteral("速查:"));
    const QRectF box(r.x() + 76, r.y() + 8, r.width() - 76 - 96, r.height() - 16);
    p.setPen(QPen(QColor(0x7F, 0x9D, 0xC8), 1));
    p.setBrush(Qt::white);
    p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setFont(pixelFont(base, 16));
    p.setPen(kInk);
    const QString typed = QStringLiteral("com");
    p.drawText(box.adjusted(8, 0, 0, 0), Qt::AlignVCenter, typed);
    const qreal caret = box.x() + 9 + QFontMetricsF(p.font()).horizontalAdvance(typed);
    p.drawLine(QPointF(caret, box.y() + 6), QPointF(caret, box.bottom() - 6));
    const QRectF button(box.right() + 10, box.y() - 1, 76, box.height() + 2);
    drawButtonFace(p, button, QColor(0xD2, 0xE1, 0xF6), 4);
    p.setFont(pixelFont(base, 15));
    p.setPen(kInk);
    p.drawText(button, Qt::AlignCenter, QStringLiteral("清除"));
    p.setFont(base);
}

// A mouse pointer with its tip at the given point.
void drawPointer(QPainter& p, QPointF tip)
{
    QPainterPath arrow;
    arrow.moveTo(0, 0);
    arrow.lineTo(0, 17);
    arrow.lineTo(4.2, 13);
    arrow.lineTo(7.2, 19.5);
    arrow.lineTo(10, 18.2);
    arrow.lineTo(7, 11.8);
    arrow.lineTo(12.5, 11.8);
    arrow.closeSubpath();
    p.save();
    p.translate(tip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawPath(arrow.translated(1.5, 1.5));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
    p.restore();
}

// Page 5: the navigation bar with the 设 置 section open and 设置密码 under the pointer.
void drawNavigationBar(QPainter& p, const QRectF& r)
{
    const QFont base = p.font();
    p.setPen(QPen(kBorder, 1));
    p.setBrush(QColor(0xDC, 0xE8, 0xF8));
    p.drawRect(r.adjusted(0.5, 0.5, -0.5, -0.5));
    auto header = [&](const QRectF& h, const QString& text) {
        QLinearGradient g(h.topLeft(), h.bottomLeft());
        g.setColorAt(0, QColor(0xF4, 0xF8, 0xFE));
        g.setColorAt(1, QColor(0xC9, 0xDB, 0xF5));
        p.setBrush(g);
        p.setPen(QPen(kBorder, 1));
        p.drawRect(h.adjusted(0.5, 0.5, -0.5, -0.5));
        p.setFont(pixelFont(base, 12, true));
        p.setPen(kInk);
        p.drawText(h, Qt::AlignCenter, text);
    };
    header(QRectF(r.x(), r.y(), r.width(), 26), QStringLiteral("功 能"));
    header(QRectF(r.x(), r.y() + 26, r.width(), 26), QStringLiteral("设 置"));
    const struct
    {
        const char* icon;
        const char16_t* words;
    } items[] = {{"key", u"设置密码"}, {"help", u"帮 助"}, {"about", u"关 于"}};
    qreal y = r.y() + 52 + 4;
    for (int i = 0; i < 3; ++i) {
        const QRectF item(r.x() + 6, y, r.width() - 12, 66);
        if (i == 0) {
            p.setPen(QPen(QColor(0x7F, 0x9D, 0xC8), 1));
            p.setBrush(QColor(0xC9, 0xDB, 0xF5));
            p.drawRoundedRect(item, 4, 4);
        }
        drawSvg(p, QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(items[i].icon)),
                QRectF(item.center().x() - 12, item.y() + 10, 24, 24));
        p.setFont(pixelFont(base, 12));
        p.setPen(kInk);
        p.drawText(QRectF(item.x(), item.y() + 38, item.width(), 20), Qt::AlignCenter,
                   QString::fromUtf16(items[i].words));
        y += 70;
    }
    drawPointer(p, QPointF(r.x() + r.width() * 0.64, r.y() + 52 + 4 + 24));
    p.setFont(base);
}
} // namespace

GuidePicture::GuidePicture(int page, QWidget* parent) : QWidget(parent), m_page(qBound(1, page, kPages))
{
    setObjectName(QStringLiteral("picture%1").arg(m_page));
    setFixedSize(642, 390);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(heading(m_page));
    setAccessibleDescription(lines(m_page).join(QLatin1Char('\n')));
}

QString GuidePicture::heading(int page)
{
    switch (page) {
    case 1:
        return QStringLiteral("岚枢使用入门");
    case 2:
        return QStringLiteral("界面说明");
    case 3:
        return QStringLiteral("添加域名");
    case 4:
        return QStringLiteral("善用速查");
    default:
        return QStringLiteral("设置软件密码");
    }
}

QStringList GuidePicture::lines(int page)
{
    switch (page) {
    case 1:
        return {QStringLiteral("简单几步，帮您了解岚枢的使用方法。"), QStringLiteral("请点击“开始” 继续。")};
    case 2:
        return {QStringLiteral("（动画演示）")};
    case 3:
        return {QStringLiteral("第一种方法：点击按钮栏上的 [添 加] 按钮，填好信息后点保存。"),
                QStringLiteral("第二种方法：点击按钮栏上的 [批量导入] 按钮，从EXCEL文件导入域名。")};
    case 4:
        return {QStringLiteral("位于主界面域名列表下方的速查功能，能帮助您快速筛选域名。"),
                QStringLiteral("·您可以输入“com”，就会列出全部COM域名。"),
                QStringLiteral("·您也可以输入三个字母的音节，如“hao”，就会列出含有这三个字母的全部域名。"),
                QStringLiteral("您可以将搜索出来的结果直接“导出”或“打印”。"),
                QStringLiteral("点击“清除”按钮，域名列表中就会重新显示全部域名。")};
    default:
        return {QStringLiteral("在左侧功能切换条中，选“设置”然后点击“设置密码”。"),
                QStringLiteral("当您的密码设置好后，软件每次启动都会要求输入密码。"),
                QStringLiteral("软件使用过程中，您也可以随时通过软件左下角的 [锁定] 按钮来锁定软件。")};
    }
}

void GuidePicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawGround(p, QRectF(rect()));
    drawNumber(p, m_page);
    const QFont base = font();
    switch (m_page) {
    case 1:
        drawHeading(p, heading(1), QPointF(34, 64));
        drawLines(p, lines(1), QPointF(36, 112), 30, 15);
        drawBlueprint(p);
        break;
    case 2: {
        drawHeading(p, heading(2), QPointF(612, 92), Qt::AlignRight);
        p.setFont(pixelFont(base, 14));
        p.setPen(QColor(0x5A, 0x74, 0x9C));
        const QString demo = lines(2).constFirst();
        p.drawText(QPointF(612 - QFontMetricsF(p.font()).horizontalAdvance(demo), 128), demo);
        p.setFont(base);
        break;
    }
    case 3: {
        drawHeading(p, heading(3), QPointF(34, 54));
        drawToolbarAndList(p, QRectF(34, 78, 566, 150));
        p.setFont(pixelFont(base, 14));
        drawPieces(p, QPointF(36, 262),
                   {words(QStringLiteral("第一种方法：点击按钮栏上的 ")),
                    {Piece::AddButton, {}},
                    words(QStringLiteral(" 按钮，填好信息后点保存。"))});
        drawPieces(p, QPointF(36, 298),
                   {words(QStringLiteral("第二种方法：点击按钮栏上的 ")),
                    {Piece::ImportButton, {}},
                    words(QStringLiteral(" 按钮，从EXCEL文件导入域名。"))});
        break;
    }
    case 4: {
        drawHeading(p, heading(4), QPointF(34, 54));
        drawSearchStrip(p, QRectF(34, 76, 420, 46));
        const QStringList l = lines(4);
        drawLines(p, {l[0]}, QPointF(36, 152), 28);
        drawLines(p,
                  {l[1], QStringLiteral("·您也可以输入三个字母的音节，如“hao”，"),
                   QStringLiteral("  就会列出含有这三个字母的全部域名。")},
                  QPointF(36, 182), 26);
        drawLines(p, {l[3], l[4]}, QPointF(36, 268), 28);
        break;
    }
    default: {
        drawHeading(p, heading(5), QPointF(34, 54));
        drawNavigationBar(p, QRectF(34, 78, 96, 276));
        const QStringList l = lines(5);
        p.setFont(pixelFont(base, 14));
        drawPieces(p, QPointF(156, 120), {words(l[0])});
        drawPieces(p, QPointF(156, 158), {words(l[1])});
        drawPieces(p, QPointF(156, 196),
                   {words(QStringLiteral("软件使用过程中，您也可以随时通过软件左下角的"))});
        drawPieces(
            p, QPointF(156, 224),
            {words(QStringLiteral("")), {Piece::Padlock, {}}, words(QStringLiteral(" 按钮来锁定软件。"))});
        break;
    }
    }
}
