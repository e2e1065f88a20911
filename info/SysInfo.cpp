// The system information tool: its location read from the registry, and its start.

#include "SysInfo.h"

#include <QByteArray>

namespace info {

namespace {

constexpr std::uint32_t BufferSize = 1024;

void notAvailable(rt::Platform& platform) {
    platform.messages.show(
        QStringLiteral("Le informazioni sul sistema non sono disponibili in questa fase"),
        rt::mb::OkOnly, rt::AppTitle);
}

} // namespace

bool GetKeyValue(rt::Registry& registry, rt::HKEY keyRoot, const QString& keyName,
                 const QString& valueName, QString& keyValue) {
    rt::HKEY key = 0;
    if (registry.RegOpenKeyEx(keyRoot, keyName, 0, rt::reg::KeyRead, key) != rt::reg::Success) {
        keyValue.clear();
        registry.RegCloseKey(key);
        return false;
    }

    QByteArray buffer(BufferSize, '\0');
    std::uint32_t size = BufferSize;
    std::uint32_t type = 0;
    if (registry.RegQueryValueEx(key, valueName, type, buffer, size) != rt::reg::Success) {
        keyValue.clear();
        registry.RegCloseKey(key);
        return false;
    }

    // The last character counted by the size goes when it is a zero.
    QByteArray value = buffer.left(size);
    if (!value.isEmpty() && value.back() == '\0') value.chop(1);

    if (type == rt::reg::String) {
        keyValue = QString::fromUtf8(value);
    } else if (type == rt::reg::Dword) {
        QString digits;
        for (auto b = value.crbegin(); b != value.crend(); ++b)
            digits += QString::number(static_cast<unsigned char>(*b), 16).toUpper();
        keyValue = QStringLiteral("&h") + digits;
    }
    registry.RegCloseKey(key);
    return true;
}

void StartSysInfo(rt::Platform& platform) {
    QString path;
    if (!GetKeyValue(platform.registry, rt::reg::LocalMachine, SysInfoKey, SysInfoValue, path)) {
        if (!GetKeyValue(platform.registry, rt::reg::LocalMachine, SysInfoFolderKey,
                         SysInfoFolderValue, path))
            return notAvailable(platform);
        path += QStringLiteral("\\MSINFO32.EXE");
        if (!platform.files.fileExists(path)) return notAvailable(platform);
        // Quoted: the launcher splits the line at blanks, and a folder may hold them.
        path = QLatin1Char('"') + path + QLatin1Char('"');
    }
    if (!platform.launcher.shell(path, rt::NormalFocus).ok()) notAvailable(platform);
}

} // namespace info
