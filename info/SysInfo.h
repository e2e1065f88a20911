#pragma once
// The system information tool, found through the machine's registry: first as a full path,
// then as a folder holding MSINFO32.EXE (run as that file's path in double quotes).

#include "Platform.h"

#include <QString>

namespace info {

// Where the tool's location is kept, below HKEY_LOCAL_MACHINE.
inline const QString SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline const QString SysInfoValue = QStringLiteral("PATH"); // the full path
inline const QString SysInfoFolderKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString SysInfoFolderValue = QStringLiteral("MSINFO"); // the folder

// Reads one value as text into `keyValue`: a string as stored (without its terminating
// zero), a 32-bit number as "&h" and the hexadecimal digits of its bytes, the most
// significant first, each without padding and a zero top byte left out (261 -> "&h015").
// A value of another type leaves `keyValue` as it was. Returns whether the key opened and
// the value was read; on failure `keyValue` is empty.
bool GetKeyValue(rt::Registry& registry, rt::HKEY keyRoot, const QString& keyName,
                 const QString& valueName, QString& keyValue);

// Starts the tool in a normal window, or tells the user it is not available.
void StartSysInfo(rt::Platform& platform);

} // namespace info
