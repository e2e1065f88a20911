#pragma once
// The registry as a text file in the classic export format (REGEDIT4), read-only:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Shared Tools\MSINFO]
//   "PATH"="C:\\usr\\bin\\hardinfo"
//   "Count"=dword:00000105
//   "Raw"=hex(1):61,62,63
//   @="the key's default value"
//
// Strings take \\ and \" escapes and are stored with their terminating zero; dword is
// eight hexadecimal digits, stored as 4 bytes, least significant first; hex(N): gives the
// bytes of a value of type N (hex: alone is type 3), a line ending in "\" going on in the
// next. "=-" deletes a value, "[-key]" a key. Lines beginning with ";" are comments. The
// text is read as UTF-8; string data is kept as UTF-8 bytes.
//
// Keys and value names match without regard to case. A key exists when it has a section
// or a section lies below it.

#include "Registry.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <memory>

namespace rt {

struct RegValue {
    std::uint32_t type = 0;
    QByteArray data;
};

class Hive {
public:
    [[nodiscard]] static Hive parse(const QString& text);
    // Full key path, root name first ("HKEY_LOCAL_MACHINE\SOFTWARE").
    [[nodiscard]] bool hasKey(const QString& keyPath) const;
    [[nodiscard]] const RegValue* value(const QString& keyPath, const QString& name) const;

private:
    [[nodiscard]] static QString fold(const QString& s);
    // Folded key path -> folded value name -> value.
    std::map<QString, std::map<QString, RegValue>> keys_;
};

// The three calls over a hive file, read afresh at every open of a root key. Handles
// other than the predefined roots are numbers of this object's own. The hive can only be
// read: an open that asks for more than read access is refused (5), as the machine hive
// refuses an ordinary user. A missing or unreadable file, or one that is not a regular
// file, is a hive without keys; of a file longer than MaxHiveBytes the rest is not read.
class HiveRegistry final : public Registry {
public:
    static constexpr qint64 MaxHiveBytes = 512 * 1024;
    explicit HiveRegistry(QString hostPath);

    long RegOpenKeyEx(HKEY root, const QString& subKey, std::uint32_t options, std::uint32_t access,
                      HKEY& key) override;
    long RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t& type, QByteArray& data,
                         std::uint32_t& size) override;
    long RegCloseKey(HKEY key) override;

private:
    struct OpenKey {
        QString path;
        std::shared_ptr<const Hive> hive;
    };
    [[nodiscard]] std::shared_ptr<const Hive> load() const;
    [[nodiscard]] const OpenKey* find(HKEY key);

    QString hostPath_;
    std::map<HKEY, OpenKey> open_;
    std::map<HKEY, OpenKey> roots_; // refreshed at each open
    HKEY next_ = 0x1000;
};

} // namespace rt
