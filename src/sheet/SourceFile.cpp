#include "sheet/SourceFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace sheet {

QString tooLargeText(qint64 size, qint64 limit)
{
    const auto mb = [](qint64 bytes) { return QString::number(double(bytes) / (1024 * 1024), 'f', 1); };
    return QStringLiteral("无法读取该文件：文件过大，有 %1 MB，超过了可以读取的上限 %2 MB")
        .arg(mb(size), mb(limit));
}

Result openSourceFile(const QString& path, qint64 maxFileSize, QFile& file, const QString& kind)
{
    const auto refused = [](const QString& text) { return Result::failure(text, Result::Code::ReadFailed); };
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path); // follows links: a link to a device is a device
    if (path.isEmpty() || !info.exists())
        return refused(QStringLiteral("文件不存在：") + shown);
    if (info.isDir())
        return refused(QStringLiteral("无法读取：%1 是一个文件夹，不是%2").arg(shown, kind));
    // Devices, pipes and sockets never end or never start: refused before they are opened.
    if (!info.isFile())
        return refused(
            QStringLiteral("无法读取：%1 不是普通文件（可能是设备、管道或套接字），不是%2").arg(shown, kind));
    if (info.size() > maxFileSize)
        return refused(tooLargeText(info.size(), maxFileSize));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return refused(QStringLiteral("无法打开文件：%1（%2）").arg(shown, file.errorString()));
    // Checked again on what was opened: the name may have been pointed elsewhere since.
    if (file.isSequential())
        return refused(QStringLiteral("无法读取：%1 不是普通文件，不是%2").arg(shown, kind));
    if (file.size() > maxFileSize)
        return refused(tooLargeText(file.size(), maxFileSize));
    return Result::success();
}

QString readErrorText(const QString& path, const QString& reason)
{
    return QStringLiteral("无法读取文件：%1（%2）").arg(QDir::toNativeSeparators(path), reason);
}

Expected<QByteArray> readSourceFile(QFile& file, qint64 maxFileSize)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(std::clamp(file.size(), qint64(0), maxFileSize)));
    // One byte more than the limit tells a file that grew past it from one that only reaches it.
    char chunk[64 * 1024];
    for (;;) {
        const qint64 wanted = std::min(qint64(sizeof chunk), maxFileSize + 1 - bytes.size());
        const qint64 got = file.read(chunk, wanted);
        if (got < 0)
            return Result::failure(readErrorText(file.fileName(), file.errorString()),
                                   Result::Code::ReadFailed);
        if (got == 0)
            return bytes;
        bytes.append(chunk, qsizetype(got));
        if (bytes.size() > maxFileSize)
            return Result::failure(tooLargeText(std::max(file.size(), maxFileSize + 1), maxFileSize),
                                   Result::Code::ReadFailed);
    }
}

} // namespace sheet
