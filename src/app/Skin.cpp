#include "Skin.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QLibraryInfo>
#include <QPalette>
#include <QStyleFactory>
#include <QTranslator>

namespace {
// The palette of the skin: the light-blue ground, white fields and the blue of the chosen row. The
// style sheet uses the same colours; the palette serves what the style draws without it.
QPalette skinPalette(QPalette p)
{
    const QColor ground(0xE3, 0xEE, 0xFD);
    const QColor ink(0x1F, 0x3A, 0x68);
    const QColor chosen(0x3A, 0x78, 0xD8);
    const QColor greyed(0x8A, 0x96, 0xA8);
    p.setColor(QPalette::Window, ground);
    p.setColor(QPalette::WindowText, ink);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF9, 0xFE));
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Button, QColor(0xEE, 0xF4, 0xFD));
    p.setColor(QPalette::ButtonText, ink);
    p.setColor(QPalette::ToolTipBase, QColor(0xFA, 0xFC, 0xFF));
    p.setColor(QPalette::ToolTipText, ink);
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, chosen);
        p.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, greyed);
    p.setColor(QPalette::Disabled, QPalette::Base, QColor(0xF2, 0xF5, 0xF9));
    return p;
}

// The few words of the file dialog that Qt's Chinese translations lack (its list's "type" column).
class FileDialogWords : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const QHash<QByteArray, QString> words{
            {"Folder", QStringLiteral("文件夹")}, {"File Folder", QStringLiteral("文件夹")},
            {"Drive", QStringLiteral("驱动器")},  {"Shortcut", QStringLiteral("快捷方式")},
            {"Alias", QStringLiteral("替身")},    {"Unknown", QStringLiteral("未知")},
            {"File", QStringLiteral("文件")},     {"%1 File", QStringLiteral("%1 文件")}};
        return words.value(QByteArray(sourceText));
    }
};
} // namespace

QString Skin::styleSheet()
{
    QFile qss(QStringLiteral(":/skin/skin.qss"));
    if (!qss.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(qss.readAll());
}

bool Skin::installTranslations(QCoreApplication& app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool base = false;
    for (const QString& name : {QStringLiteral("qtbase_zh_CN"), QStringLiteral("qtwebengine_zh_CN")}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(name, folder) && QCoreApplication::installTranslator(translator)) {
            base = base || name.startsWith(QLatin1String("qtbase"));
        } else {
            delete translator;
        }
    }
    // Installed last, so asked first; it answers only for the words missing from the catalogue.
    if (base)
        QCoreApplication::installTranslator(new FileDialogWords(&app));
    return base;
}

void Skin::apply(QApplication& app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    app.setPalette(skinPalette(app.palette()));
    app.setStyleSheet(styleSheet());
    installTranslations(app);
}
