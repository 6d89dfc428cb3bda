#include "windows.h"
#include "winreg.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

__attribute__((format(printf, 1, 2))) void DebugLine(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    OutputDebugStringA(line);
}

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
};

struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::map<std::string, Key, CaseInsensitiveLess> subkeys;
    std::map<std::string, Value, CaseInsensitiveLess> values;
};

using KeyPath = std::vector<std::string>;

const char* RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) {
        return "HKEY_CLASSES_ROOT";
    }
    if (root == HKEY_CURRENT_USER) {
        return "HKEY_CURRENT_USER";
    }
    if (root == HKEY_LOCAL_MACHINE) {
        return "HKEY_LOCAL_MACHINE";
    }
    return nullptr;
}

std::filesystem::path RegistryFile() {
    if (const char* redirected = std::getenv("VORN_REGISTRY_FILE"); redirected && *redirected) {
        return redirected;
    }
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = std::filesystem::path(home) / ".local" / "share";
    } else {
        data = "/tmp";
    }
    return data / "vorn-platform" / "registry.txt";
}

// Names and paths are written with %XX escapes for blanks, controls, '%' and bytes
// above 0x7E, so a line splits on blanks.
std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c <= ' ' || c == '%' || c > 0x7E) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::optional<BYTE> HexByte(char high, char low) {
    BYTE value = 0;
    const char digits[2] = {high, low};
    const auto [end, error] = std::from_chars(digits, digits + 2, value, 16);
    if (error != std::errc{} || end != digits + 2) {
        return std::nullopt;
    }
    return value;
}

// Nothing when an escape is not '%' and two hex digits.
std::optional<std::string> Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        const auto byte = i + 2 < text.size() ? HexByte(text[i + 1], text[i + 2]) : std::nullopt;
        if (!byte) {
            return std::nullopt;
        }
        out.push_back(static_cast<char>(*byte));
        i += 2;
    }
    return out;
}

std::string Hex(const std::vector<BYTE>& data) {
    if (data.empty()) {
        return "-";
    }
    std::string out;
    for (BYTE b : data) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        out += hex;
    }
    return out;
}

// Nothing unless the text is "-" or pairs of hex digits.
std::optional<std::vector<BYTE>> Unhex(const std::string& text) {
    std::vector<BYTE> data;
    if (text == "-") {
        return data;
    }
    if (text.empty() || text.size() % 2 != 0) {
        return std::nullopt;
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        const auto byte = HexByte(text[i], text[i + 1]);
        if (!byte) {
            return std::nullopt;
        }
        data.push_back(*byte);
    }
    return data;
}

std::optional<DWORD> Decimal(const std::string& text) {
    DWORD value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The blank-separated fields of a line. Nothing when the line holds a byte that a saved
// line never holds, or more fields than `maxFields`.
std::optional<std::vector<std::string>> Fields(const std::string& line, size_t maxFields) {
    if (std::any_of(line.begin(), line.end(),
                    [](char c) { return c != ' ' && (c < '!' || c > '~'); })) {
        return std::nullopt;
    }
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; in >> field;) {
        fields.push_back(std::move(field));
    }
    if (fields.size() > maxFields) {
        return std::nullopt;
    }
    return fields;
}

// The names of a key line's path, the first a predefined key; nothing when damaged.
std::optional<KeyPath> ParseKeyPath(const std::string& text) {
    KeyPath names;
    std::stringstream parts(text);
    for (std::string part; std::getline(parts, part, '\\');) {
        auto name = Unescape(part);
        if (!name || name->empty()) {
            return std::nullopt;
        }
        names.push_back(std::move(*name));
    }
    if (text.ends_with('\\') || names.empty() ||
        (names[0] != "HKEY_CLASSES_ROOT" && names[0] != "HKEY_CURRENT_USER" &&
         names[0] != "HKEY_LOCAL_MACHINE")) {
        return std::nullopt;
    }
    return names;
}

struct ValueLine {
    std::string name;
    Value value;
};

// "V type data [name]"; nothing when damaged.
std::optional<ValueLine> ParseValue(const std::vector<std::string>& fields) {
    if (fields.size() < 3) {
        return std::nullopt;
    }
    const auto type = Decimal(fields[1]);
    auto data = Unhex(fields[2]);
    auto name = fields.size() == 4 ? Unescape(fields[3]) : std::string();
    if (!type || !data || !name) {
        return std::nullopt;
    }
    return ValueLine{std::move(*name), Value{*type, std::move(*data)}};
}

void Save(std::ostream& out, const Key& key, const std::string& path) {
    out << "K " << path << '\n';
    for (const auto& [name, value] : key.values) {
        out << "V " << value.type << ' ' << Hex(value.data) << ' ' << Escape(name) << '\n';
    }
    for (const auto& [name, subkey] : key.subkeys) {
        Save(out, subkey, path + '\\' + Escape(name));
    }
}

// 0, or the error that ended the reading.
int ReadAll(int fd, std::string& text) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) {
            return 0;
        }
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        } else if (errno != EINTR) {
            return errno;
        }
    }
}

bool WriteAll(int fd, const std::string& text) {
    for (size_t written = 0; written < text.size();) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// Makes a rename in the folder durable.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

// The whole registry as kept in its file. A Transaction holds the file lock and reads the
// file; Commit writes it back when something changed. Reading never throws: a damaged line
// is skipped with a debug line, and what it held is simply not there.
class Transaction {
public:
    Transaction() : file_(RegistryFile()) {
        std::error_code error;
        std::filesystem::create_directories(file_.parent_path(), error);
        const std::string lockName = file_.string() + ".lock";
        lockFd_ = open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd_ < 0 || flock(lockFd_, LOCK_EX) != 0) {
            DebugLine("registry: cannot lock %s: %s\n", lockName.c_str(), std::strerror(errno));
            ok_ = false;
            return;
        }
        ok_ = Load();
    }

    ~Transaction() {
        if (lockFd_ >= 0) {
            flock(lockFd_, LOCK_UN);
            close(lockFd_);
        }
    }

    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool ok() const { return ok_; }
    void MarkModified() { modified_ = true; }

    // Writes the registry back when it changed; false when the file could not be written,
    // which leaves the file as it was.
    bool Commit() {
        if (!ok_ || !modified_) {
            return ok_;
        }
        if (damaged_) {
            // The damaged lines are not written again: the file as it was stays beside it.
            std::error_code error;
            std::filesystem::copy_file(file_, file_.string() + ".damaged",
                                       std::filesystem::copy_options::overwrite_existing, error);
        }
        ok_ = Store();
        modified_ = false;
        return ok_;
    }

    Key* Find(const KeyPath& path) {
        Key* key = &root_;
        for (const std::string& name : path) {
            auto found = key->subkeys.find(name);
            if (found == key->subkeys.end()) {
                return nullptr;
            }
            key = &found->second;
        }
        return key;
    }

    Key& Create(const KeyPath& path, bool& created) {
        Key* key = &root_;
        created = false;
        for (const std::string& name : path) {
            auto [entry, inserted] = key->subkeys.try_emplace(name);
            created = inserted;
            key = &entry->second;
        }
        if (created) {
            modified_ = true;
        }
        return *key;
    }

private:
    bool Load() {
        const int fd = open(file_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            return true; // no registry yet: empty
        }
        std::string text;
        const int error = fd < 0 ? errno : ReadAll(fd, text);
        if (fd >= 0) {
            close(fd);
        }
        if (error != 0) {
            DebugLine("registry: cannot read %s: %s\n", file_.c_str(), std::strerror(error));
            return false;
        }
        Parse(text);
        modified_ = false;
        return true;
    }

    void Parse(const std::string& text) {
        Key* current = nullptr;
        size_t start = 0;
        for (int number = 1; start < text.size(); ++number) {
            const size_t end = text.find('\n', start);
            if (end == std::string::npos) {
                // Every saved line ends with a line break: this one was cut short.
                Skip(number, "is truncated");
                return;
            }
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            const auto fields = Fields(line, 4);
            if (!fields || fields->empty() || ((*fields)[0] != "K" && (*fields)[0] != "V")) {
                Skip(number, "is damaged");
            } else if ((*fields)[0] == "K") {
                const auto path = fields->size() == 2 ? ParseKeyPath((*fields)[1]) : std::nullopt;
                bool created = false;
                current = path ? &Create(*path, created) : nullptr;
                if (!path) {
                    Skip(number, "is damaged");
                }
            } else if (auto value = ParseValue(*fields); !value) {
                Skip(number, "is damaged");
            } else if (current == nullptr) {
                Skip(number, "belongs to no key");
            } else {
                current->values[value->name] = std::move(value->value);
            }
        }
    }

    void Skip(int number, const char* what) {
        DebugLine("registry: line %d of %s %s, skipped\n", number, file_.c_str(), what);
        damaged_ = true;
    }

    // Into a temporary file beside the registry, made durable, then renamed over it: a
    // save that fails or is cut short leaves the registry as it was.
    bool Store() {
        std::ostringstream text;
        for (const auto& [name, key] : root_.subkeys) {
            Save(text, key, Escape(name));
        }
        const std::string temporary = file_.string() + ".new";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        bool written = fd >= 0 && WriteAll(fd, text.str()) && fsync(fd) == 0;
        const int error = errno;
        if (fd >= 0 && close(fd) != 0) {
            written = false;
        }
        if (written && rename(temporary.c_str(), file_.c_str()) == 0) {
            SyncFolder(file_.parent_path());
            return true;
        }
        DebugLine("registry: cannot write %s: %s\n", file_.c_str(),
                  std::strerror(written ? errno : error));
        unlink(temporary.c_str());
        return false;
    }

    std::filesystem::path file_;
    int lockFd_ = -1;
    bool ok_ = true;
    bool modified_ = false;
    bool damaged_ = false;
    Key root_;
};

struct OpenKeys {
    std::mutex lock;
    std::map<HKEY, KeyPath> paths;
    ULONG_PTR next = 0x1000;
};

// Never destroyed: libraries registering or unregistering while the process exits still
// open keys.
OpenKeys& Opened() {
    static OpenKeys* const keys = new OpenKeys;
    return *keys;
}

// The full path of hKey\subKey, or false for a handle that is not open.
bool Resolve(HKEY hKey, LPCSTR subKey, KeyPath& path) {
    if (const char* root = RootName(hKey)) {
        path = {root};
    } else {
        OpenKeys& opened = Opened();
        std::lock_guard guard(opened.lock);
        auto found = opened.paths.find(hKey);
        if (found == opened.paths.end()) {
            return false;
        }
        path = found->second;
    }
    if (subKey != nullptr) {
        std::stringstream parts(subKey);
        std::string part;
        while (std::getline(parts, part, '\\')) {
            if (!part.empty()) {
                path.push_back(part);
            }
        }
    }
    return true;
}

HKEY NewHandle(KeyPath path) {
    OpenKeys& opened = Opened();
    std::lock_guard guard(opened.lock);
    auto handle = reinterpret_cast<HKEY>(opened.next);
    opened.next += 4;
    opened.paths.emplace(handle, std::move(path));
    return handle;
}

// Never destroyed, for the same reason as the open keys.
std::mutex& ProcessLock() {
    static std::mutex* const lock = new std::mutex;
    return *lock;
}

} // namespace

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM,
                            SECURITY_ATTRIBUTES*, PHKEY phkResult, LPDWORD lpdwDisposition) {
    KeyPath path;
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!Resolve(hKey, lpSubKey, path)) {
        return ERROR_INVALID_HANDLE;
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    if (!registry.ok()) {
        return ERROR_CANTWRITE;
    }
    bool created = false;
    registry.Create(path, created);
    if (!registry.Commit()) {
        return ERROR_CANTWRITE;
    }
    if (lpdwDisposition != nullptr) {
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    *phkResult = NewHandle(std::move(path));
    return ERROR_SUCCESS;
}

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    KeyPath path;
    if (phkResult == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!Resolve(hKey, lpSubKey, path)) {
        return ERROR_INVALID_HANDLE;
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    if (!registry.ok()) {
        return ERROR_BADDB;
    }
    if (path.size() > 1 && registry.Find(path) == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    *phkResult = NewHandle(std::move(path));
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
    if (RootName(hKey) != nullptr) {
        return ERROR_SUCCESS;
    }
    OpenKeys& opened = Opened();
    std::lock_guard guard(opened.lock);
    return opened.paths.erase(hKey) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
    KeyPath path;
    if (!Resolve(hKey, nullptr, path)) {
        return ERROR_INVALID_HANDLE;
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    if (!registry.ok()) {
        return ERROR_CANTWRITE;
    }
    Key* key = registry.Find(path);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    Value value{dwType, lpData != nullptr ? std::vector<BYTE>(lpData, lpData + cbData)
                                          : std::vector<BYTE>()};
    key->values[lpValueName != nullptr ? lpValueName : ""] = std::move(value);
    registry.MarkModified();
    return registry.Commit() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    KeyPath path;
    if (!Resolve(hKey, nullptr, path)) {
        return ERROR_INVALID_HANDLE;
    }
    if (lpData != nullptr && lpcbData == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    if (!registry.ok()) {
        return ERROR_BADDB;
    }
    Key* key = registry.Find(path);
    if (key == nullptr) {
        return ERROR_KEY_DELETED;
    }
    auto found = key->values.find(lpValueName != nullptr ? lpValueName : "");
    if (found == key->values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Value& value = found->second;
    if (lpType != nullptr) {
        *lpType = value.type;
    }
    const auto size = static_cast<DWORD>(value.data.size());
    LONG result = ERROR_SUCCESS;
    if (lpData != nullptr) {
        if (*lpcbData < size) {
            result = ERROR_MORE_DATA;
        } else {
            std::copy(value.data.begin(), value.data.end(), lpData);
        }
    }
    if (lpcbData != nullptr) {
        *lpcbData = size;
    }
    return result;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    KeyPath path;
    if (!Resolve(hKey, nullptr, path)) {
        return ERROR_INVALID_HANDLE;
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    Key* key = registry.ok() ? registry.Find(path) : nullptr;
    if (key == nullptr) {
        return registry.ok() ? ERROR_KEY_DELETED : ERROR_CANTWRITE;
    }
    if (key->values.erase(lpValueName != nullptr ? lpValueName : "") == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    registry.MarkModified();
    return registry.Commit() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

namespace {

LONG DeleteKey(HKEY hKey, LPCSTR lpSubKey, bool withSubkeys) {
    KeyPath path;
    if (!Resolve(hKey, lpSubKey, path)) {
        return ERROR_INVALID_HANDLE;
    }
    if (path.size() < 2) {
        return ERROR_ACCESS_DENIED; // the predefined keys stay
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    if (!registry.ok()) {
        return ERROR_CANTWRITE;
    }
    const std::string name = path.back();
    path.pop_back();
    Key* parent = registry.Find(path);
    if (parent == nullptr) {
        return ERROR_FILE_NOT_FOUND;
    }
    auto found = parent->subkeys.find(name);
    if (found == parent->subkeys.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!withSubkeys && !found->second.subkeys.empty()) {
        return ERROR_ACCESS_DENIED;
    }
    parent->subkeys.erase(found);
    registry.MarkModified();
    return registry.Commit() ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

} // namespace

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (lpSubKey == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    return DeleteKey(hKey, lpSubKey, false);
}

LONG WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    return DeleteKey(hKey, lpSubKey, true);
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR,
                          LPDWORD, FILETIME*) {
    KeyPath path;
    if (!Resolve(hKey, nullptr, path)) {
        return ERROR_INVALID_HANDLE;
    }
    if (lpName == nullptr || lpcchName == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    std::lock_guard guard(ProcessLock());
    Transaction registry;
    Key* key = registry.ok() ? registry.Find(path) : nullptr;
    if (key == nullptr) {
        return registry.ok() ? ERROR_KEY_DELETED : ERROR_BADDB;
    }
    if (dwIndex >= key->subkeys.size()) {
        return ERROR_NO_MORE_ITEMS;
    }
    auto entry = std::next(key->subkeys.begin(), dwIndex);
    const std::string& name = entry->first;
    if (name.size() + 1 > *lpcchName) {
        return ERROR_MORE_DATA;
    }
    std::copy(name.begin(), name.end(), lpName);
    lpName[name.size()] = '\0';
    *lpcchName = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}
