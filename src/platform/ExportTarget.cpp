#include "platform/ExportTarget.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// As many links as the kernel follows in one path before it gives up.
constexpr int kMaxLinks = 40;

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// Whether someone other than this user (or root) can add, remove or swap names in the folder:
// then a link there may be replaced between the check and the write.
bool othersCanWrite(const struct stat& folder) {
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
           (folder.st_uid != ::geteuid() && folder.st_uid != 0);
}

ExportTarget refuse(const QString& reason) {
    return {QString(), reason};
}

// Whether `file` is the file that `name` leads to (a name that cannot be looked up leads to none).
bool isSameFile(const struct stat& file, const QString& name) {
    struct stat other {};
    return !name.isEmpty() && ::stat(QFile::encodeName(name).constData(), &other) == 0 &&
           other.st_dev == file.st_dev && other.st_ino == file.st_ino;
}

} // namespace

ExportTarget checkExportTarget(const QString& path, const QString& scheduleFile) {
    const uid_t self = ::geteuid();
    QString current = path;
    for (int links = 0;; ++links) {
        const QByteArray name = QFile::encodeName(current);
        struct stat info {};
        if (::lstat(name.constData(), &info) != 0) {
            if (errno != ENOENT)
                return refuse(QString::fromLocal8Bit(std::strerror(errno)));
            if (links > 0)
                return refuse(QStringLiteral("リンク先のファイルがありません"));
            struct stat folder {};
            if (::stat(QFile::encodeName(folderOf(current)).constData(), &folder) != 0 ||
                !S_ISDIR(folder.st_mode))
                return refuse(QStringLiteral("書き出し先のフォルダがありません"));
            return {current, QString()};
        }
        if (S_ISREG(info.st_mode)) {
            if (isSameFile(info, scheduleFile))
                return refuse(QStringLiteral("使用中のスケジュールファイルには書き出しません"));
            // The file is replaced by renaming the new one over it: another user's file keeps its
            // name and contents, even for root (it may be a hard link to a file of theirs).
            if (info.st_uid != self)
                return refuse(QStringLiteral("ほかのユーザーのファイルは置き換えません"));
            return {current, QString()};
        }
        if (!S_ISLNK(info.st_mode))
            return refuse(
                QStringLiteral("装置・FIFO・フォルダなど、通常のファイルではないものには書き出しません"));
        if (links == kMaxLinks)
            return refuse(QStringLiteral("リンクが多すぎるか、循環しています"));
        if (info.st_uid != self)
            return refuse(QStringLiteral("ほかのユーザーのリンクはたどりません"));
        const QString folderPath = folderOf(current);
        struct stat folder {};
        if (::stat(QFile::encodeName(folderPath).constData(), &folder) != 0 || othersCanWrite(folder))
            return refuse(QStringLiteral("ほかのユーザーも書き込めるフォルダにあるリンクはたどりません"));

        QByteArray target(qsizetype(info.st_size > 0 ? info.st_size : 255) + 1, Qt::Uninitialized);
        const ssize_t length =
            ::readlink(name.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0)
            return refuse(QString::fromLocal8Bit(std::strerror(errno)));
        if (length >= target.size()) // the link changed since lstat
            return refuse(QStringLiteral("リンクが調べている間に変わりました"));
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        current = next.startsWith(QLatin1Char('/')) ? next : folderPath + QLatin1Char('/') + next;
    }
}

} // namespace platform
