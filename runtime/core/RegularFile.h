#pragma once
// Reading a file that may be anything. Every file the program reads (pictures, sounds,
// the settings file, the hive) is opened here: without blocking, so that a FIFO with no
// writer, a device or a socket never holds the reader up, and then checked on its
// descriptor, so that nothing but a regular file is ever read (the check on the name
// before the open spares devices an open at all; the one after closes the race with a
// file swapped in between). What is read is bounded: a size is checked before reading and
// the limit enforced while reading, as the size a file reports can lie (files under /proc
// report none) and a file can grow while it is read.

#include "Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QString>

namespace rt {

// What a file longer than its limit is: refused, or read as if it ended there.
enum class Beyond { Refuse, Cut };

class RegularFile {
public:
    // Opens a file for reading. Fails with 53 when there is no such file, with `refusal`
    // when it is not a regular file, with 75 when it cannot be opened.
    [[nodiscard]] static Result<RegularFile> open(const QString& hostPath,
                                                  int refusal = err::PathFileAccess);
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // The size the file reported when it was opened.
    [[nodiscard]] qint64 size() const { return size_; }
    // Up to `count` bytes from `offset`, fewer at the end of the file; fails (75) on an
    // error of the read.
    [[nodiscard]] Result<QByteArray> read(qint64 offset, qint64 count) const;
    // The same into a buffer of the caller's: how many bytes were read, -1 on an error
    // (errno says which). Makes no object of its own (a decoder may jump out after it).
    [[nodiscard]] qint64 readInto(qint64 offset, char* into, qint64 count) const;
    // The file from its start, at most `limit` bytes. A file longer than that, whether its
    // size says so before the read or the read finds more, is refused (with the refusal
    // of the open) or cut at the limit, as `beyond` says.
    [[nodiscard]] Result<QByteArray> readAll(qint64 limit, Beyond beyond) const;

private:
    RegularFile(int fd, qint64 size, int refusal) : fd_(fd), size_(size), refusal_(refusal) {}
    int fd_ = -1;
    qint64 size_ = 0;
    int refusal_ = err::PathFileAccess;
};

// Opens a regular file and reads it from its start, as RegularFile::readAll does.
[[nodiscard]] Result<QByteArray> readRegularFile(const QString& hostPath, qint64 limit,
                                                 Beyond beyond, int refusal = err::PathFileAccess);

// What a reader read of a file: its first `bytes` bytes, and their digest.
struct ContentRead {
    qint64 bytes = 0;
    QByteArray digest;
};

// The digest that proves a content unchanged.
inline constexpr QCryptographicHash::Algorithm DigestAlgorithm = QCryptographicHash::Blake2b_256;
[[nodiscard]] QByteArray digestOf(QByteArrayView bytes);
// The digest of a regular file's first `bytes` bytes: empty when the file is not a regular
// file, cannot be read, or holds fewer.
[[nodiscard]] QByteArray digestOfStart(const QString& hostPath, qint64 bytes);

} // namespace rt
