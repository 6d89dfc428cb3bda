#include "windows.h"
#include "winreg.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

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

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
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

std::vector<BYTE> Unhex(const std::string& text) {
    std::vector<BYTE> data;
    if (text == "-") {
        return data;
    }
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        data.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
    }
    return data;
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

// The whole registry as kept in its file. A Transaction holds the file lock, reads the
// file and writes it back at the end when something changed.
class Transaction {
public:
    Transaction() : file_(RegistryFile()) {
        std::filesystem::create_directories(file_.parent_path());
        const std::string lockName = file_.string() + ".lock";
        lockFd_ = open(lockName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (lockFd_ < 0 || flock(lockFd_, LOCK_EX) != 0) {
            ok_ = false;
            return;
        }
        Load();
    }

    ~Transaction() {
        if (ok_ && modified_) {
            Store();
        }
        if (lockFd_ >= 0) {
            flock(lockFd_, LOCK_UN);
            close(lockFd_);
        }
    }

    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool ok() const { return ok_; }
    void MarkModified() { modified_ = true; }

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
    void Load() {
        std::ifstream in(file_);
        if (!in) {
            return; // no registry yet: empty
        }
        std::string line;
        Key* current = nullptr;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string tag;
            fields >> tag;
            if (tag == "K") {
                std::string path;
                fields >> path;
                KeyPath names;
                std::stringstream parts(path);
                std::string part;
                while (std::getline(parts, part, '\\')) {
                    names.push_back(Unescape(part));
                }
                bool created = false;
                current = &Create(names, created);
            } else if (tag == "V" && current != nullptr) {
                Value value;
                std::string data, name;
                fields >> value.type >> data;
                fields >> name;
                value.data = Unhex(data);
                current->values[Unescape(name)] = std::move(value);
            }
        }
        modified_ = false;
    }

    void Store() {
        const std::filesystem::path temporary = file_.string() + ".new";
        {
            std::ofstream out(temporary, std::ios::trunc);
            for (const auto& [name, key] : root_.subkeys) {
                Save(out, key, Escape(name));
            }
            out.flush();
            if (!out) {
                ok_ = false;
                return;
            }
        }
        std::error_code error;
        std::filesystem::rename(temporary, file_, error);
        if (error) {
            ok_ = false;
        }
    }

    std::filesystem::path file_;
    int lockFd_ = -1;
    bool ok_ = true;
    bool modified_ = false;
    Key root_;
};

struct OpenKeys {
    std::mutex lock;
    std::map<HKEY, KeyPath> paths;
    ULONG_PTR next = 0x1000;
};

OpenKeys& Opened() {
    static OpenKeys keys;
    return keys;
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

std::mutex& ProcessLock() {
    static std::mutex lock;
    return lock;
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
    return ERROR_SUCCESS;
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
    return ERROR_SUCCESS;
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
    return ERROR_SUCCESS;
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
