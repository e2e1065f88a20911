// Regular files opened without blocking and read within bounds.

#include "RegularFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rt {

namespace {

// The step of a read to the end: a file's size is not trusted to size the buffer.
constexpr qint64 Step = qint64(1) << 20;

Error notRegular(int refusal, const QString& hostPath) {
    return Error{refusal, QStringLiteral("not a regular file: ") + hostPath};
}

Error readFailed() {
    return Error{err::PathFileAccess, QString::fromLocal8Bit(std::strerror(errno))};
}

} // namespace

Result<RegularFile> RegularFile::open(const QString& hostPath, int refusal) {
    const QByteArray name = QFile::encodeName(hostPath);
    struct stat st {};
    if (hostPath.isEmpty() || ::stat(name.constData(), &st) != 0) {
        if (hostPath.isEmpty() || errno == ENOENT || errno == ENOTDIR)
            return Error{err::FileNotFound, QStringLiteral("no such file: ") + hostPath};
        return Error{err::PathFileAccess, QString::fromLocal8Bit(std::strerror(errno))};
    }
    if (!S_ISREG(st.st_mode)) return notRegular(refusal, hostPath);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Error{err::FileNotFound, QStringLiteral("no such file: ") + hostPath};
        if (errno == ENXIO) return notRegular(refusal, hostPath); // a socket swapped in
        return Error{err::PathFileAccess, QString::fromLocal8Bit(std::strerror(errno))};
    }
    RegularFile file(fd, 0, refusal);
    if (::fstat(fd, &st) != 0) return readFailed();
    if (!S_ISREG(st.st_mode)) return notRegular(refusal, hostPath);
    // A regular file's reads block as they always do (a slow share is waited for on the
    // reader's own thread).
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) return readFailed();
    file.size_ = qint64(st.st_size);
    return file;
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_), refusal_(other.refusal_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
        refusal_ = other.refusal_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

qint64 RegularFile::readInto(qint64 offset, char* into, qint64 count) const {
    qint64 got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd_, into + got, std::size_t(count - got), offset + got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += n;
    }
    return got;
}

Result<QByteArray> RegularFile::read(qint64 offset, qint64 count) const {
    QByteArray bytes;
    bytes.resize(qsizetype(std::max<qint64>(0, count)));
    const qint64 got = readInto(offset, bytes.data(), count);
    if (got < 0) return readFailed();
    bytes.truncate(qsizetype(got));
    return bytes;
}

Result<QByteArray> RegularFile::readAll(qint64 limit, Beyond beyond) const {
    if (beyond == Beyond::Refuse && size_ > limit)
        return Error{refusal_, QStringLiteral("the file is larger than %1 bytes").arg(limit)};
    // Read in place, in steps: a file's size is not trusted to size the buffer, which
    // grows when a file holds more than it said. A byte past the limit tells a file that
    // holds more; the steps stay multiples of eight bytes, which some files under /proc
    // insist on.
    QByteArray bytes;
    bytes.reserve(qsizetype(std::min(size_, limit)) + 8);
    qint64 have = 0;
    while (have <= limit) {
        const qint64 want = std::min(Step, (limit + 1 - have + 7) & ~qint64(7));
        if (bytes.size() < have + want) bytes.resize(qsizetype(have + want));
        const qint64 got = readInto(have, bytes.data() + have, want);
        if (got < 0) return readFailed();
        have += got;
        if (got < want) break; // the end of the file
    }
    if (have > limit && beyond == Beyond::Refuse)
        return Error{refusal_, QStringLiteral("the file is larger than %1 bytes").arg(limit)};
    bytes.truncate(qsizetype(std::min(have, limit)));
    return bytes;
}

Result<QByteArray> readRegularFile(const QString& hostPath, qint64 limit, Beyond beyond,
                                   int refusal) {
    const Result<RegularFile> file = RegularFile::open(hostPath, refusal);
    if (!file.ok()) return file.error();
    return file.value().readAll(limit, beyond);
}

QByteArray digestOf(QByteArrayView bytes) {
    return QCryptographicHash::hash(bytes, DigestAlgorithm);
}

QByteArray digestOfStart(const QString& hostPath, qint64 bytes) {
    const Result<RegularFile> file = RegularFile::open(hostPath);
    if (!file.ok() || bytes < 0) return {};
    QCryptographicHash hash(DigestAlgorithm);
    for (qint64 at = 0; at < bytes;) {
        const Result<QByteArray> part = file.value().read(at, std::min(Step, bytes - at));
        if (!part.ok() || part.value().isEmpty()) return {};
        hash.addData(part.value());
        at += part.value().size();
    }
    return hash.result();
}

} // namespace rt
