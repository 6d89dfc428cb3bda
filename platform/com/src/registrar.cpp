#include "com/registrar.h"

#include "com/text.h"
#include "windows.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

namespace com {

namespace {

enum class Flag { None, NoRemove, ForceRemove, Delete };

struct ScriptValue {
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

struct ScriptKey {
    Flag flag = Flag::None;
    std::string name;
    std::optional<ScriptValue> value; // the default value
    std::vector<std::pair<std::string, ScriptValue>> namedValues;
    std::vector<ScriptKey> children;
};

struct ScriptRoot {
    HKEY root;
    ScriptKey key;
};

struct SyntaxError {};

struct Token {
    std::string text;
    bool quoted = false;
    bool Is(const char* symbol) const { return !quoted && text == symbol; }
};

class ScriptParser {
public:
    explicit ScriptParser(std::string text) : text_(std::move(text)) {}

    std::vector<ScriptRoot> Parse() {
        std::vector<ScriptRoot> roots;
        for (Token token = Next(); !token.text.empty() || token.quoted; token = Next()) {
            ScriptRoot root{Root(token.text), {}};
            if (!Next().Is("{")) {
                throw SyntaxError{};
            }
            Block(root.key);
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    static HKEY Root(const std::string& name) {
        if (name == "HKCR" || name == "HKEY_CLASSES_ROOT") {
            return HKEY_CLASSES_ROOT;
        }
        if (name == "HKCU" || name == "HKEY_CURRENT_USER") {
            return HKEY_CURRENT_USER;
        }
        if (name == "HKLM" || name == "HKEY_LOCAL_MACHINE") {
            return HKEY_LOCAL_MACHINE;
        }
        throw SyntaxError{};
    }

    // The entries of a block, after its opening brace, up to its closing brace.
    void Block(ScriptKey& owner) {
        for (;;) {
            Token token = Next();
            if (token.Is("}")) {
                return;
            }
            if (token.text.empty() && !token.quoted) {
                throw SyntaxError{};
            }
            if (token.Is("val")) {
                std::string name = Next().text;
                if (!Next().Is("=")) {
                    throw SyntaxError{};
                }
                owner.namedValues.emplace_back(std::move(name), Value());
                continue;
            }
            ScriptKey key;
            if (token.Is("NoRemove") || token.Is("ForceRemove") || token.Is("Delete")) {
                key.flag = token.text == "NoRemove"      ? Flag::NoRemove
                           : token.text == "ForceRemove" ? Flag::ForceRemove
                                                         : Flag::Delete;
                token = Next();
            }
            key.name = token.text;
            if (Peek().Is("=")) {
                Next();
                key.value = Value();
            }
            if (Peek().Is("{")) {
                Next();
                Block(key);
            }
            owner.children.push_back(std::move(key));
        }
    }

    ScriptValue Value() {
        const Token type = Next();
        const std::string text = Next().text;
        ScriptValue value;
        if (type.Is("s")) {
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
        } else if (type.Is("d")) {
            value.type = REG_DWORD;
            const auto number = static_cast<DWORD>(std::stoul(text, nullptr, 0));
            for (int i = 0; i < 4; ++i) {
                value.data.push_back(static_cast<BYTE>(number >> (8 * i)));
            }
        } else if (type.Is("b")) {
            value.type = REG_BINARY;
            for (size_t i = 0; i + 1 < text.size(); i += 2) {
                value.data.push_back(static_cast<BYTE>(std::stoi(text.substr(i, 2), nullptr, 16)));
            }
        } else {
            throw SyntaxError{};
        }
        return value;
    }

    Token Peek() {
        const size_t saved = position_;
        Token token = Next();
        position_ = saved;
        return token;
    }

    // Braces, '=', quoted text ('' stands for a quote), or a run of other characters.
    // A GUID in braces is one word.
    Token Next() {
        while (position_ < text_.size() &&
               std::isspace(static_cast<unsigned char>(text_[position_]))) {
            ++position_;
        }
        if (position_ >= text_.size()) {
            return {};
        }
        const char c = text_[position_];
        if (c == '{' && GuidFromString(std::string_view(text_).substr(position_, 38))) {
            position_ += 38;
            return {text_.substr(position_ - 38, 38)};
        }
        if (c == '{' || c == '}' || c == '=') {
            ++position_;
            return {std::string(1, c)};
        }
        if (c == '\'') {
            return Quoted();
        }
        const size_t start = position_;
        while (position_ < text_.size() &&
               !std::isspace(static_cast<unsigned char>(text_[position_])) &&
               text_[position_] != '=' && text_[position_] != '{' && text_[position_] != '}') {
            ++position_;
        }
        return {text_.substr(start, position_ - start)};
    }

    Token Quoted() {
        Token token{{}, true};
        ++position_;
        for (;;) {
            if (position_ >= text_.size()) {
                throw SyntaxError{};
            }
            if (text_[position_] == '\'') {
                if (position_ + 1 < text_.size() && text_[position_ + 1] == '\'') {
                    token.text.push_back('\'');
                    position_ += 2;
                    continue;
                }
                ++position_;
                return token;
            }
            token.text.push_back(text_[position_++]);
        }
    }

    std::string text_;
    size_t position_ = 0;
};

HRESULT FromWin32(LONG error) {
    return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

HRESULT SetValue(HKEY key, const char* name, const ScriptValue& value) {
    return FromWin32(RegSetValueExA(key, name, 0, value.type, value.data.data(),
                                    static_cast<DWORD>(value.data.size())));
}

HRESULT RegisterKey(HKEY parent, const ScriptKey& entry) {
    if (entry.flag == Flag::Delete || entry.flag == Flag::ForceRemove) {
        const LONG deleted = RegDeleteTreeA(parent, entry.name.c_str());
        if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
            return FromWin32(deleted);
        }
        if (entry.flag == Flag::Delete) {
            return S_OK;
        }
    }
    HKEY key = nullptr;
    const LONG created =
        RegCreateKeyExA(parent, entry.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (created != ERROR_SUCCESS) {
        return FromWin32(created);
    }
    HRESULT hr = entry.value ? SetValue(key, nullptr, *entry.value) : S_OK;
    for (size_t i = 0; SUCCEEDED(hr) && i < entry.namedValues.size(); ++i) {
        hr = SetValue(key, entry.namedValues[i].first.c_str(), entry.namedValues[i].second);
    }
    for (size_t i = 0; SUCCEEDED(hr) && i < entry.children.size(); ++i) {
        hr = RegisterKey(key, entry.children[i]);
    }
    RegCloseKey(key);
    return hr;
}

HRESULT UnregisterKey(HKEY parent, const ScriptKey& entry) {
    if (entry.flag == Flag::Delete) {
        return S_OK;
    }
    if (entry.flag == Flag::ForceRemove) {
        const LONG deleted = RegDeleteTreeA(parent, entry.name.c_str());
        return deleted == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(deleted);
    }
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(parent, entry.name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (opened == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    if (opened != ERROR_SUCCESS) {
        return FromWin32(opened);
    }
    HRESULT hr = S_OK;
    for (size_t i = 0; SUCCEEDED(hr) && i < entry.children.size(); ++i) {
        hr = UnregisterKey(key, entry.children[i]);
    }
    for (const auto& [name, value] : entry.namedValues) {
        RegDeleteValueA(key, name.c_str());
    }
    RegCloseKey(key);
    if (FAILED(hr) || entry.flag == Flag::NoRemove) {
        return hr;
    }
    // A key that still has subkeys it did not create here is shared: it stays.
    const LONG deleted = RegDeleteKeyA(parent, entry.name.c_str());
    return deleted == ERROR_ACCESS_DENIED ? S_OK : FromWin32(deleted);
}

} // namespace

HRESULT CRegObject::AddReplacement(LPCSTR key, LPCSTR item) {
    if (key == nullptr || item == nullptr) {
        return E_INVALIDARG;
    }
    replacements_[key] = item;
    return S_OK;
}

HRESULT CRegObject::ClearReplacements() {
    replacements_.clear();
    return S_OK;
}

HRESULT CRegObject::StringRegister(LPCSTR script) {
    return Run(script, true);
}

HRESULT CRegObject::StringUnregister(LPCSTR script) {
    return Run(script, false);
}

HRESULT CRegObject::ResourceRegister(HMODULE module, UINT nID, LPCSTR szType) {
    return RunResource(module, nID, szType, true);
}

HRESULT CRegObject::ResourceUnregister(HMODULE module, UINT nID, LPCSTR szType) {
    return RunResource(module, nID, szType, false);
}

HRESULT CRegObject::RunResource(HMODULE module, UINT nID, LPCSTR szType, bool registering) {
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(nID), szType);
    if (info == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, info)));
    const std::string script(data, SizeofResource(module, info));
    return Run(script.c_str(), registering);
}

HRESULT CRegObject::Run(LPCSTR script, bool registering) {
    if (script == nullptr) {
        return E_INVALIDARG;
    }
    // %NAME% becomes its replacement, %% a percent sign.
    std::string text;
    for (const char* p = script; *p != '\0'; ++p) {
        if (*p != '%') {
            text.push_back(*p);
            continue;
        }
        const char* end = std::strchr(p + 1, '%');
        if (end == nullptr) {
            return DISP_E_EXCEPTION;
        }
        const std::string name(p + 1, end);
        if (name.empty()) {
            text.push_back('%');
        } else {
            auto replacement = replacements_.find(name);
            if (replacement == replacements_.end()) {
                return DISP_E_EXCEPTION;
            }
            text += replacement->second;
        }
        p = end;
    }

    std::vector<ScriptRoot> roots;
    try {
        roots = ScriptParser(std::move(text)).Parse();
    } catch (const SyntaxError&) {
        return DISP_E_EXCEPTION;
    } catch (const std::logic_error&) { // a malformed number
        return DISP_E_EXCEPTION;
    }
    for (const ScriptRoot& root : roots) {
        for (const ScriptKey& key : root.key.children) {
            const HRESULT hr =
                registering ? RegisterKey(root.root, key) : UnregisterKey(root.root, key);
            if (FAILED(hr)) {
                return hr;
            }
        }
    }
    return S_OK;
}

} // namespace com
