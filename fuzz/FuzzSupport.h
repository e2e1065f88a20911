#pragma once
// Shared by the fuzz targets: a scratch folder of the process's own, files written into
// it, the input read as text fields, and the check that stops a run when a parser breaks
// its promise.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// A folder for this process's files, made on first use and removed at exit. Under
// /dev/shm where it exists: the loader and settings targets write a file per input.
inline const QString& scratchFolder() {
    static const struct Folder {
        QString path;
        Folder() {
            const QString base = QDir(QStringLiteral("/dev/shm")).exists()
                                     ? QStringLiteral("/dev/shm")
                                     : QDir::tempPath();
            path = base + QStringLiteral("/quadrello-fuzz-") +
                   QString::number(QCoreApplication::applicationPid());
            QDir().mkpath(path);
        }
        ~Folder() { QDir(path).removeRecursively(); }
    } folder;
    return folder.path;
}

// Replaces the file with the bytes; false when it cannot be written.
inline bool writeFile(const QString& hostPath, const char* data, std::size_t size) {
    QFile f(hostPath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(data, qint64(size)) == qint64(size);
}

// The input as `Count` UTF-8 fields separated by zero bytes: missing ones are empty,
// further ones are left out.
template <std::size_t Count>
std::array<QString, Count> textFields(const std::uint8_t* data, std::size_t size) {
    const QList<QByteArray> fields =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\0');
    std::array<QString, Count> texts;
    for (std::size_t i = 0; i < Count && i < std::size_t(fields.size()); ++i)
        texts[i] = QString::fromUtf8(fields[qsizetype(i)]);
    return texts;
}

// A broken promise: says which and stops the run, so that the input is kept as a crash.
[[noreturn]] inline void broken(const char* what) {
    std::fprintf(stderr, "fuzz: %s\n", what);
    std::abort();
}
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) ::fuzz::broken(#cond);                                                        \
    } while (0)

} // namespace fuzz
