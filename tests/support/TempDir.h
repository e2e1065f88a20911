#pragma once
// A temporary folder for one test, removed afterwards, with helpers to lay out files.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <stdexcept>

class TempDir {
public:
    TempDir() {
        if (!dir_.isValid()) throw std::runtime_error("cannot create a temporary folder");
    }
    // Absolute host path of the folder, or of a path below it.
    [[nodiscard]] QString path(const QString& rel = QString()) const {
        return rel.isEmpty() ? dir_.path() : dir_.path() + QLatin1Char('/') + rel;
    }
    // Creates a file (and its folders) with the given bytes.
    void file(const QString& rel, const QByteArray& bytes = QByteArray()) const {
        const QString p = path(rel);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write " + p.toStdString());
    }
    void folder(const QString& rel) const { QDir().mkpath(path(rel)); }
    [[nodiscard]] QByteArray read(const QString& rel) const {
        QFile f(path(rel));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
};
