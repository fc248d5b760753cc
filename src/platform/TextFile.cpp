#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr char kCodePage[] = "windows-31j";
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

// Between the file name and the random letters of a temporary file: a name no person gives a
// file by hand, so that a leftover can be told from the user's own files.
const QString kTemporaryInfix = QStringLiteral(".daduvov-save-");
constexpr int kTemporaryLetters = 6;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a POSIX file descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close succeeded (a write-back error shows here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

QString randomLetters() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString out;
    for (int i = 0; i < kTemporaryLetters; ++i)
        out += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)]);
    return out;
}

// The file a path names once its symbolic links are followed (the path itself when the links go
// round in a circle).
QString followLinks(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

} // namespace

QString decodeText(const QByteArray& bytes) {
    if (bytes.startsWith(kUtf8Bom))
        return QString::fromUtf8(bytes.mid(kUtf8Bom.size()));
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

QByteArray encodeText(const QString& text) {
    QStringEncoder encoder(kCodePage);
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError() && decodeText(bytes) == text)
        return bytes;
    return kUtf8Bom + text.toUtf8();
}

TextFileRead readSmallTextFile(const QString& path, qint64 maxBytes) {
    using Status = TextFileRead::Status;
    // Non-blocking, so that a FIFO at the path does not wait for a writer; a regular file reads
    // the same either way.
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return {Status::Unreadable, {}, systemReason(errno)};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return {Status::Unreadable, {}, systemReason(errno)};
    if (!S_ISREG(info.st_mode))
        return {Status::NotRegularFile, {}, {}};
    if (info.st_size > maxBytes)
        return {Status::TooLarge, {}, {}};

    // The file may grow while it is read: never take more than maxBytes + 1.
    QByteArray bytes(qsizetype(info.st_size) + 1, Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == bytes.size()) {
            if (size > maxBytes)
                return {Status::TooLarge, {}, {}};
            bytes.resize(qMin<qint64>(qint64(size) * 2, maxBytes + 1));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + size, static_cast<size_t>(bytes.size() - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {Status::Unreadable, {}, systemReason(errno)};
        if (n == 0)
            break;
        size += n;
    }
    if (size > maxBytes)
        return {Status::TooLarge, {}, {}};
    bytes.truncate(size);
    return {Status::Read, decodeText(bytes), {}};
}

std::optional<QString> readTextFile(const QString& path) {
    TextFileRead read = readSmallTextFile(path);
    if (read.status != TextFileRead::Status::Read)
        return std::nullopt;
    return std::move(read.text);
}

std::optional<QString> writeTextFile(const QString& path, const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    const QByteArray bytes = encodeText(text);

    const QString target = followLinks(path);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing {};
    const bool exists = ::stat(targetName.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return QStringLiteral("通常のファイルではありません");
    if (exists && ::access(targetName.constData(), W_OK) != 0)
        return systemReason(errno);

    QByteArray temporaryName;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporaryName = QFile::encodeName(target + kTemporaryInfix + randomLetters());
        fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return systemReason(errno);
    Descriptor temporary(fd);

    const auto failed = [&](int error) -> std::optional<QString> {
        ::unlink(temporaryName.constData());
        return systemReason(error);
    };
    if (exists && ::fchmod(temporary.get(), existing.st_mode & 07777) != 0)
        return failed(errno);
    // On the disk before the rename, so that a crash never leaves an empty file at the path.
    if (!writeAll(temporary.get(), bytes) || ::fsync(temporary.get()) != 0 || !temporary.close())
        return failed(errno);
    if (::rename(temporaryName.constData(), targetName.constData()) != 0)
        return failed(errno);
    // The rename itself reaches the disk with the folder.
    Descriptor folder(::open(QFile::encodeName(QFileInfo(target).absolutePath()).constData(),
                             O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        ::fsync(folder.get());
    return std::nullopt;
}

void removeLeftoverTemporaries(const QString& path) {
    const QFileInfo file(path);
    const QRegularExpression temporary(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(file.fileName() + kTemporaryInfix) +
                                            QStringLiteral("[A-Za-z0-9]{%1}").arg(kTemporaryLetters)));
    const QDir folder = file.absoluteDir();
    const QStringList names = folder.entryList({file.fileName() + kTemporaryInfix + QStringLiteral("*")},
                                               QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (temporary.match(name).hasMatch())
            QFile::remove(folder.filePath(name));
    }
}

} // namespace platform
