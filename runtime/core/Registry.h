#pragma once
// The three registry calls the dialog makes, with the classic return codes.

#include "DosFiles.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace rt {

using HKEY = std::uintptr_t;

namespace reg {
inline constexpr HKEY ClassesRoot = 0x80000000;   // HKEY_CLASSES_ROOT
inline constexpr HKEY CurrentUser = 0x80000001;   // HKEY_CURRENT_USER
inline constexpr HKEY LocalMachine = 0x80000002;  // HKEY_LOCAL_MACHINE
inline constexpr HKEY Users = 0x80000003;         // HKEY_USERS
inline constexpr HKEY CurrentConfig = 0x80000005; // HKEY_CURRENT_CONFIG
inline constexpr long Success = 0;
inline constexpr long NotFound = 2; // no such key or value
inline constexpr long AccessDenied = 5;
inline constexpr long InvalidHandle = 6;
inline constexpr long MoreData = 234;             // the buffer is smaller than the value
inline constexpr std::uint32_t KeyRead = 0x20019; // KEY_READ: query, enumerate, notify
inline constexpr std::uint32_t String = 1;        // REG_SZ
inline constexpr std::uint32_t Dword = 4;         // REG_DWORD
} // namespace reg

class Registry {
public:
    virtual ~Registry() = default;
    // Opens a key below a root. On success `key` receives a handle for the calls below.
    virtual long RegOpenKeyEx(HKEY root, const QString& subKey, std::uint32_t options,
                              std::uint32_t access, HKEY& key) = 0;
    // Reads a value into `data`, whose size in bytes `size` gives on entry and which
    // receives the stored size (a string's terminating zero counted).
    virtual long RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t& type,
                                 QByteArray& data, std::uint32_t& size) = 0;
    virtual long RegCloseKey(HKEY key) = 0;
};

// The machine hive kept in "registry.reg" in the program folder.
[[nodiscard]] std::unique_ptr<Registry> makeHostRegistry(const DosFileSystem& files,
                                                         const QString& programFolder);

} // namespace rt
