// The registry read from a REGEDIT4 text file (registry.reg in the program folder).

#include "RegistryHive.h"

#include "RegularFile.h"

#include "Platform.h"

#include <QStringList>

#include <optional>

namespace rt {

namespace {

// Rights that reading needs: KEY_READ, and the two view flags of 64-bit systems.
constexpr std::uint32_t ReadRights = reg::KeyRead | 0x0100 | 0x0200;

const std::map<HKEY, QString>& rootNames() {
    static const std::map<HKEY, QString> names{
        {reg::ClassesRoot, QStringLiteral("HKEY_CLASSES_ROOT")},
        {reg::CurrentUser, QStringLiteral("HKEY_CURRENT_USER")},
        {reg::LocalMachine, QStringLiteral("HKEY_LOCAL_MACHINE")},
        {reg::Users, QStringLiteral("HKEY_USERS")},
        {reg::CurrentConfig, QStringLiteral("HKEY_CURRENT_CONFIG")},
    };
    return names;
}

QString trimmedKey(QString path) {
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path;
}

// A double-quoted text with \\ and \" escapes starting at `pos`; `pos` moves past it.
std::optional<QString> quoted(const QString& line, qsizetype& pos) {
    if (pos >= line.size() || line[pos] != QLatin1Char('"')) return std::nullopt;
    QString text;
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return text;
        }
        if (c == QLatin1Char('\\') && pos + 1 < line.size() &&
            (line[pos + 1] == QLatin1Char('\\') || line[pos + 1] == QLatin1Char('"')))
            ++pos;
        text += line[pos];
    }
    return std::nullopt; // unclosed
}

std::optional<QByteArray> hexBytes(const QString& list) {
    QByteArray bytes;
    for (const QString& part : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint b = part.trimmed().toUInt(&ok, 16);
        if (!ok || b > 0xFF) return std::nullopt;
        bytes.append(char(b));
    }
    return bytes;
}

// The data after "=": a string, dword:, hex: or hex(N):.
std::optional<RegValue> valueData(const QString& text) {
    if (text.startsWith(QLatin1Char('"'))) {
        qsizetype pos = 0;
        const auto s = quoted(text, pos);
        if (!s || !text.mid(pos).trimmed().isEmpty()) return std::nullopt;
        QByteArray data = s->toUtf8();
        data.append('\0');
        return RegValue{reg::String, data};
    }
    if (text.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString digits = text.mid(6).trimmed();
        bool ok = false;
        const uint n = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 8) return std::nullopt;
        QByteArray data(4, '\0');
        for (int i = 0; i < 4; ++i)
            data[i] = char((n >> (8 * i)) & 0xFF);
        return RegValue{reg::Dword, data};
    }
    if (!text.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) return std::nullopt;
    std::uint32_t type = 3; // binary
    qsizetype colon = 3;
    if (text.mid(3, 1) == QLatin1String("(")) {
        const qsizetype close = text.indexOf(QLatin1Char(')'));
        bool ok = false;
        type = text.mid(4, close - 4).toUInt(&ok, 16);
        if (close < 0 || !ok) return std::nullopt;
        colon = close + 1;
    }
    if (text.mid(colon, 1) != QLatin1String(":")) return std::nullopt;
    const auto bytes = hexBytes(text.mid(colon + 1));
    if (!bytes) return std::nullopt;
    return RegValue{type, *bytes};
}

} // namespace

QString Hive::fold(const QString& s) {
    return s.toCaseFolded();
}

Hive Hive::parse(const QString& text) {
    Hive hive;
    // Joins continued lines first, in one pass: a line ending in "\" goes on in the next,
    // unless it is a section header or a comment.
    QStringList lines;
    QString joined;
    bool continuing = false;
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (continuing) {
            joined += QStringView(line).trimmed();
        } else {
            joined = line;
            const QStringView head = QStringView(line).trimmed();
            continuing = !head.startsWith(QLatin1Char('[')) && !head.startsWith(QLatin1Char(';'));
            if (!continuing) {
                lines << joined;
                continue;
            }
        }
        if (joined.endsWith(QLatin1Char('\\'))) {
            joined.chop(1);
            continue;
        }
        lines << joined;
        continuing = false;
    }
    if (continuing) lines << joined;

    std::map<QString, RegValue>* values = nullptr;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString key = trimmedKey(line.mid(1, line.size() - 2));
            if (key.startsWith(QLatin1Char('-'))) {
                const QString gone = fold(trimmedKey(key.mid(1)));
                std::erase_if(hive.keys_, [&](const auto& kv) {
                    return kv.first == gone || kv.first.startsWith(gone + QLatin1Char('\\'));
                });
                values = nullptr;
            } else {
                values = &hive.keys_[fold(key)];
            }
            continue;
        }
        if (!values) continue;
        qsizetype pos = 0;
        QString name;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (const auto n = quoted(line, pos)) {
            name = *n;
        } else {
            continue;
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('=')) continue;
        const QString data = line.mid(pos + 1).trimmed();
        if (data == QLatin1String("-")) {
            values->erase(fold(name));
        } else if (const auto v = valueData(data)) {
            (*values)[fold(name)] = *v;
        }
    }
    return hive;
}

bool Hive::hasKey(const QString& keyPath) const {
    const QString key = fold(trimmedKey(keyPath));
    if (keys_.count(key)) return true;
    // A key below it: the first one after key + "\" in the order of the map (a sibling
    // such as "key b" sorts between the key and its subkeys).
    const QString below = key + QLatin1Char('\\');
    const auto it = keys_.lower_bound(below);
    return it != keys_.end() && it->first.startsWith(below);
}

const RegValue* Hive::value(const QString& keyPath, const QString& name) const {
    const auto key = keys_.find(fold(trimmedKey(keyPath)));
    if (key == keys_.end()) return nullptr;
    const auto v = key->second.find(fold(name));
    return v == key->second.end() ? nullptr : &v->second;
}

HiveRegistry::HiveRegistry(QString hostPath) : hostPath_(std::move(hostPath)) {}

std::shared_ptr<const Hive> HiveRegistry::load() const {
    const Result<QByteArray> bytes = readRegularFile(hostPath_, MaxHiveBytes, Beyond::Cut);
    if (!bytes.ok()) return std::make_shared<const Hive>();
    return std::make_shared<const Hive>(Hive::parse(QString::fromUtf8(bytes.value())));
}

const HiveRegistry::OpenKey* HiveRegistry::find(HKEY key) {
    if (const auto it = open_.find(key); it != open_.end()) return &it->second;
    const auto root = rootNames().find(key);
    if (root == rootNames().end()) return nullptr;
    OpenKey& k = roots_[key];
    k.path = root->second;
    k.hive = load();
    return &k;
}

long HiveRegistry::RegOpenKeyEx(HKEY root, const QString& subKey, std::uint32_t /*options*/,
                                std::uint32_t access, HKEY& key) {
    key = 0;
    const OpenKey* base = find(root);
    if (!base) return reg::InvalidHandle;
    if ((access & ~ReadRights) != 0) return reg::AccessDenied;
    const QString sub = trimmedKey(subKey);
    const QString path = sub.isEmpty() ? base->path : base->path + QLatin1Char('\\') + sub;
    const bool isRoot = path == base->path && rootNames().count(root);
    if (!isRoot && !base->hive->hasKey(path)) return reg::NotFound;
    key = next_;
    next_ += 4;
    open_[key] = OpenKey{path, base->hive};
    return reg::Success;
}

long HiveRegistry::RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t& type,
                                   QByteArray& data, std::uint32_t& size) {
    const OpenKey* k = find(key);
    if (!k) return reg::InvalidHandle;
    const RegValue* v = k->hive->value(k->path, valueName);
    if (!v) return reg::NotFound;
    type = v->type;
    const auto stored = std::uint32_t(v->data.size());
    if (stored > size) {
        size = stored;
        return reg::MoreData;
    }
    if (data.size() < qsizetype(stored)) data.resize(stored);
    std::copy(v->data.begin(), v->data.end(), data.begin());
    size = stored;
    return reg::Success;
}

long HiveRegistry::RegCloseKey(HKEY key) {
    if (rootNames().count(key)) return reg::Success;
    return open_.erase(key) ? reg::Success : reg::InvalidHandle;
}

std::unique_ptr<Registry> makeHostRegistry(const DosFileSystem& files,
                                           const QString& programFolder) {
    const Result<QString> host =
        files.toHost(withBackslash(programFolder) + QStringLiteral("registry.reg"));
    return std::make_unique<HiveRegistry>(host.valueOr(QString()));
}

} // namespace rt
