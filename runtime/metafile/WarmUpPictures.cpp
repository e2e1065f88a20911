// The helper's warm-up pictures, read from the resources built in.

#include "WarmUpPictures.h"

#include <QFile>

namespace rt::mf {

namespace {
QByteArray resource(const QString& name) {
    QFile file(QStringLiteral(":/warm-up/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

QByteArray warmUpWmf() {
    return resource(QStringLiteral("warm-up.wmf"));
}
QByteArray warmUpEmf() {
    return resource(QStringLiteral("warm-up.emf"));
}

} // namespace rt::mf
