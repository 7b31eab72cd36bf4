#include "PdfText.h"

#include <QProcess>

namespace {
QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

QStringList pdftext::pages(const QString& pdfPath)
{
    QStringList pages =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                          QStringLiteral("UTF-8"), pdfPath, QStringLiteral("-")})
            .split(QLatin1Char('\f'));
    // pdftotext ends the last page with a form feed too.
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

QStringList pdftext::fonts(const QString& pdfPath)
{
    QStringList lines =
        run(QStringLiteral("pdffonts"), {pdfPath}).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(2);
}
