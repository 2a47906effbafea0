#include "platform/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>

#include "imaging/byte_order.h"

namespace {

constexpr int kRootCount = 3;
constexpr const char* kRootNames[kRootCount] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                "HKEY_LOCAL_MACHINE"};
constexpr char kStoreFolder[] = "tavelo";
constexpr char kStoreFile[] = "registry.reg";
constexpr char kStoreHeading[] =
    "; Tavelo Desktop settings. One [section] per key; values are dword:, hex: or \"text\".\n";
constexpr char kDwordPrefix[] = "dword:";
constexpr char kHexPrefix[] = "hex:";
constexpr std::size_t kDwordSize = 4;

enum class ValueType : std::uint8_t { Binary, String, Dword };

struct CStoredValue {
    std::string name;  // empty: the key's default value
    ValueType type = ValueType::Binary;
    std::vector<std::uint8_t> bytes;
};

struct CStoredKey {
    std::string path;  // root name and key path, separated by backslashes
    std::vector<CStoredValue> values;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

bool SameName(const std::string& a, const std::string& b) {
    return Lower(a) == Lower(b);
}

// "a\\b\" and "\a\b" both name the key a\b.
std::string NormalizeKeyPath(const std::string& path) {
    std::string normal;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end > start) {
            if (!normal.empty()) {
                normal += '\\';
            }
            normal.append(path, start, end - start);
        }
        start = end + 1;
    }
    return normal;
}

std::string FullKeyPath(const CRegistryHandle& key) {
    std::string full = kRootNames[static_cast<int>(key.root)];
    if (!key.path.empty()) {
        full += '\\' + key.path;
    }
    return full;
}

std::string Quote(const std::string& text) {
    std::string quoted = "\"";
    for (const unsigned char c : text) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            quoted += escape;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + '"';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> Unquote(const std::string& line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != '"') {
        return std::nullopt;
    }
    std::string text;
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return text;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++pos >= line.size()) {
            return std::nullopt;
        }
        if (line[pos] == 'x' && pos + 2 < line.size()) {
            const int high = HexDigit(line[pos + 1]);
            const int low = HexDigit(line[pos + 2]);
            if (high < 0 || low < 0) {
                return std::nullopt;
            }
            text += static_cast<char>(high * 16 + low);
            pos += 2;
        } else {
            text += line[pos];
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ParseHexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (pos + 1 >= text.size()) {
            return std::nullopt;
        }
        const int high = HexDigit(text[pos]);
        const int low = HexDigit(text[pos + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        pos += 2;
        if (pos < text.size() && text[pos++] != ',') {
            return std::nullopt;
        }
    }
    return bytes;
}

std::optional<CStoredValue> ParseValueLine(const std::string& line) {
    CStoredValue value;
    std::size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else {
        std::optional<std::string> name = Unquote(line, pos);
        if (!name) {
            return std::nullopt;
        }
        value.name = *name;
    }
    if (pos >= line.size() || line[pos] != '=') {
        return std::nullopt;
    }
    const std::string data = line.substr(pos + 1);
    if (data.rfind(kDwordPrefix, 0) == 0) {
        const std::string digits = data.substr(std::strlen(kDwordPrefix));
        if (digits.size() != 2 * kDwordSize) {
            return std::nullopt;
        }
        std::uint32_t number = 0;
        for (const char c : digits) {
            const int digit = HexDigit(c);
            if (digit < 0) {
                return std::nullopt;
            }
            number = number * 16 + static_cast<std::uint32_t>(digit);
        }
        value.type = ValueType::Dword;
        value.bytes.resize(kDwordSize);
        StoreLittleEndian32(value.bytes.data(), number);
        return value;
    }
    if (data.rfind(kHexPrefix, 0) == 0) {
        std::optional<std::vector<std::uint8_t>> bytes =
            ParseHexBytes(data.substr(std::strlen(kHexPrefix)));
        if (!bytes) {
            return std::nullopt;
        }
        value.type = ValueType::Binary;
        value.bytes = std::move(*bytes);
        return value;
    }
    std::size_t textPos = 0;
    std::optional<std::string> text = Unquote(data, textPos);
    if (!text || textPos != data.size()) {
        return std::nullopt;
    }
    value.type = ValueType::String;
    value.bytes.assign(text->begin(), text->end());
    value.bytes.push_back(0);
    return value;
}

std::string FormatValue(const CStoredValue& value) {
    std::string line = value.name.empty() ? std::string("@") : Quote(value.name);
    line += '=';
    switch (value.type) {
        case ValueType::Dword: {
            std::uint8_t stored[kDwordSize] = {};
            std::copy_n(value.bytes.begin(), std::min(kDwordSize, value.bytes.size()), stored);
            const std::uint32_t number = LoadLittleEndian32(stored);
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x", number);
            line += kDwordPrefix;
            line += digits;
            break;
        }
        case ValueType::String: {
            std::string text(value.bytes.begin(), value.bytes.end());
            text.resize(std::strlen(text.c_str()));  // the stored terminator is implied
            line += Quote(text);
            break;
        }
        case ValueType::Binary: {
            line += kHexPrefix;
            for (std::size_t i = 0; i < value.bytes.size(); ++i) {
                char byte[4];
                std::snprintf(byte, sizeof byte, i == 0 ? "%02x" : ",%02x", value.bytes[i]);
                line += byte;
            }
            break;
        }
    }
    return line;
}

// The whole store, read afresh for every operation so that two running copies see each
// other's changes.
class CRegistryFile {
public:
    // False when the file exists but cannot be read.
    [[nodiscard]] bool Load() {
        m_keys.clear();
        QFile file(QString::fromStdString(RegistryFilePath()));
        if (!file.exists()) {
            return true;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        CStoredKey* current = nullptr;
        while (!file.atEnd()) {
            std::string line = file.readLine().toStdString();
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
                line.pop_back();
            }
            if (line.empty() || line[0] == ';') {
                continue;
            }
            if (line[0] == '[' && line.back() == ']') {
                current = &AddKey(NormalizeKeyPath(line.substr(1, line.size() - 2)));
                continue;
            }
            if (current == nullptr) {
                continue;
            }
            if (std::optional<CStoredValue> value = ParseValueLine(line)) {
                SetValue(*current, std::move(*value));
            }
        }
        return true;
    }

    [[nodiscard]] bool Save() const {
        const QString path = QString::fromStdString(RegistryFilePath());
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            return false;
        }
        std::string content = kStoreHeading;
        for (const CStoredKey& key : m_keys) {
            content += "\n[" + key.path + "]\n";
            for (const CStoredValue& value : key.values) {
                content += FormatValue(value) + '\n';
            }
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        const QByteArray bytes = QByteArray::fromStdString(content);
        return file.write(bytes) == bytes.size() && file.commit();
    }

    CStoredKey* FindKey(const std::string& fullPath) {
        for (CStoredKey& key : m_keys) {
            if (SameName(key.path, fullPath)) {
                return &key;
            }
        }
        return nullptr;
    }

    // A key exists when it was made, or a key below it was.
    bool KeyExists(const std::string& fullPath) const {
        const std::string wanted = Lower(fullPath);
        if (wanted.find('\\') == std::string::npos) {
            return true;  // a root
        }
        for (const CStoredKey& key : m_keys) {
            const std::string path = Lower(key.path);
            if (path == wanted || path.rfind(wanted + '\\', 0) == 0) {
                return true;
            }
        }
        return false;
    }

    CStoredKey& AddKey(const std::string& fullPath) {
        if (CStoredKey* key = FindKey(fullPath)) {
            return *key;
        }
        m_keys.push_back(CStoredKey{fullPath, {}});
        return m_keys.back();
    }

    static CStoredValue* FindValue(CStoredKey& key, const std::string& name) {
        for (CStoredValue& value : key.values) {
            if (SameName(value.name, name)) {
                return &value;
            }
        }
        return nullptr;
    }

    static void SetValue(CStoredKey& key, CStoredValue value) {
        if (CStoredValue* existing = FindValue(key, value.name)) {
            existing->type = value.type;
            existing->bytes = std::move(value.bytes);
        } else {
            key.values.push_back(std::move(value));
        }
    }

private:
    std::vector<CStoredKey> m_keys;
};

bool StoreValue(const std::optional<CRegistryHandle>& handle, const std::string& name,
                ValueType type, std::vector<std::uint8_t> bytes) {
    CRegistryFile store;
    if (!handle || !store.Load()) {
        return false;
    }
    CStoredKey* key = store.FindKey(FullKeyPath(*handle));
    if (key == nullptr) {
        key = store.KeyExists(FullKeyPath(*handle)) ? &store.AddKey(FullKeyPath(*handle)) : nullptr;
    }
    if (key == nullptr) {
        return false;  // the key was deleted since it was opened
    }
    CRegistryFile::SetValue(*key, CStoredValue{name, type, std::move(bytes)});
    return store.Save();
}

}  // namespace

std::string RegistryFilePath() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome)) {
        configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    return (configHome + '/' + QLatin1String(kStoreFolder) + '/' + QLatin1String(kStoreFile))
        .toStdString();
}

CRegistryKey::CRegistryKey(int rootIndex, const std::string& keyPath, bool create) {
    m_open = OpenKey(RootFromIndex(rootIndex), keyPath, m_key, create);
}

CRegistryKey::~CRegistryKey() {
    m_key.reset();
}

std::optional<RegistryRoot> CRegistryKey::RootFromIndex(int rootIndex) {
    if (rootIndex < 0 || rootIndex >= kRootCount) {
        return std::nullopt;
    }
    return static_cast<RegistryRoot>(rootIndex);
}

bool CRegistryKey::OpenKey(std::optional<RegistryRoot> root, const std::string& keyPath,
                           std::optional<CRegistryHandle>& key, bool create) {
    if (!root) {
        return false;
    }
    const CRegistryHandle handle{*root, NormalizeKeyPath(keyPath)};
    CRegistryFile store;
    if (!store.Load()) {
        return false;
    }
    if (!store.KeyExists(FullKeyPath(handle))) {
        if (!create) {
            return false;
        }
        store.AddKey(FullKeyPath(handle));
        if (!store.Save()) {
            return false;
        }
    }
    key = handle;
    return true;
}

bool CRegistryKey::SetBinary(const void* data, std::uint32_t size, const std::string& valueName) {
    if (data == nullptr && size > 0) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return StoreValue(m_key, valueName, ValueType::Binary,
                      std::vector<std::uint8_t>(bytes, bytes + size));
}

bool CRegistryKey::SetString(const char* text, const std::string& valueName) {
    if (text == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> bytes(text, text + std::strlen(text) + 1);
    return StoreValue(m_key, valueName, ValueType::String, std::move(bytes));
}

bool CRegistryKey::SetDword(std::uint32_t value, const std::string& valueName) {
    std::vector<std::uint8_t> bytes(kDwordSize);
    StoreLittleEndian32(bytes.data(), value);
    return StoreValue(m_key, valueName, ValueType::Dword, std::move(bytes));
}

bool CRegistryKey::ReadNamedValue(void* buffer, std::uint32_t& size, const std::string& valueName) {
    CRegistryFile store;
    if (!m_key || !store.Load()) {
        return false;
    }
    CStoredKey* key = store.FindKey(FullKeyPath(*m_key));
    CStoredValue* value = key != nullptr ? CRegistryFile::FindValue(*key, valueName) : nullptr;
    if (value == nullptr || value->bytes.size() > size || (buffer == nullptr && size > 0)) {
        return false;
    }
    if (!value->bytes.empty()) {
        std::memcpy(buffer, value->bytes.data(), value->bytes.size());
    }
    size = static_cast<std::uint32_t>(value->bytes.size());
    return true;
}

bool CRegistryKey::QueryValue(void* buffer, std::uint32_t& size, const char* valueName) {
    if (valueName != nullptr) {
        return ReadNamedValue(buffer, size, valueName);
    }
    // The default text: whatever the read gives, the caller is told it went well.
    std::uint32_t read = size;
    if (ReadNamedValue(buffer, read, std::string())) {
        size = read;
    } else if (buffer != nullptr && size > 0) {
        static_cast<char*>(buffer)[0] = '\0';
        size = 1;
    }
    return true;
}

bool CRegistryKey::ReadValue(void* buffer, std::uint32_t& size, const char* valueName) {
    return QueryValue(buffer, size, valueName);
}

bool CRegistryKey::ReadValueDirect(void* buffer, std::uint32_t& size, const char* valueName) {
    return ReadNamedValue(buffer, size, valueName != nullptr ? valueName : std::string());
}

bool CRegistryKey::DeleteValue(const std::string& valueName) {
    CRegistryFile store;
    if (!m_key || !store.Load()) {
        return false;
    }
    CStoredKey* key = store.FindKey(FullKeyPath(*m_key));
    if (key == nullptr || CRegistryFile::FindValue(*key, valueName) == nullptr) {
        return false;
    }
    std::erase_if(key->values,
                  [&](const CStoredValue& value) { return SameName(value.name, valueName); });
    return store.Save();
}

std::string ReadProgramSetting(const std::string& valueName) {
    // Folder paths and the like: a few kilobytes at most.
    constexpr std::uint32_t kLargestSetting = 64 * 1024;
    CRegistryKey key(kRootCurrentUser, kProgramKeyPath, false);
    std::vector<char> text(kLargestSetting, '\0');
    std::uint32_t size = kLargestSetting;
    if (!key.IsOpen() || !key.ReadValueDirect(text.data(), size, valueName.c_str()) || size == 0) {
        return {};
    }
    return std::string(text.data(), strnlen(text.data(), size));
}

bool WriteProgramSetting(const std::string& valueName, const std::string& text) {
    CRegistryKey key(kRootCurrentUser, kProgramKeyPath, true);
    return key.IsOpen() && key.SetString(text.c_str(), valueName);
}
