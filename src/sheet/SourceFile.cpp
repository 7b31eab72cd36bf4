#include "sheet/SourceFile.h"

#include <QDir>
#include <QFileInfo>

namespace sheet {

QString tooLargeText(qint64 size, qint64 limit)
{
    const auto mb = [](qint64 bytes) { return QString::number(double(bytes) / (1024 * 1024), 'f', 1); };
    return QStringLiteral("无法读取该文件：文件有 %1 MB，超过了可以读取的上限 %2 MB")
        .arg(mb(size), mb(limit));
}

QString openSourceFile(const QString& path, qint64 maxFileSize, QFile& file)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path); // follows links: a link to a device is a device
    if (path.isEmpty() || !info.exists())
        return QStringLiteral("文件不存在：") + shown;
    if (info.isDir())
        return QStringLiteral("无法读取：%1 是一个文件夹，不是表格文件").arg(shown);
    // Devices, pipes and sockets never end or never start: refused before they are opened.
    if (!info.isFile())
        return QStringLiteral("无法读取：%1 不是普通文件（可能是设备、管道或套接字），不是表格文件")
            .arg(shown);
    if (info.size() > maxFileSize)
        return tooLargeText(info.size(), maxFileSize);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return QStringLiteral("无法打开文件：%1（%2）").arg(shown, file.errorString());
    // Checked again on what was opened: the name may have been pointed elsewhere since.
    if (file.isSequential())
        return QStringLiteral("无法读取：%1 不是普通文件，不是表格文件").arg(shown);
    if (file.size() > maxFileSize)
        return tooLargeText(file.size(), maxFileSize);
    return {};
}

} // namespace sheet
