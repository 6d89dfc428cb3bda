#include "xml_document.h"

#include "xml_binding.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path, int error) {
    throw EXMLDocumentError(what + " \"" + path + "\": " + std::strerror(error));
}

// A file descriptor closed on every path.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

void WriteAll(int fd, const std::string& data, const std::string& path) {
    size_t written = 0;
    while (written < data.size()) {
        ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowSystemError("Erro ao gravar", path, errno);
        }
        written += static_cast<size_t>(n);
    }
}

// True when the file at path already holds exactly data and now carries the
// time of this save; false when it does not (or cannot be read or touched),
// and the whole file must be written. Saves that change nothing are frequent
// (the team file is saved on every phase shown), and this spares them the
// flush to the disk, while the file stays as safe as it was.
bool RenewIfUnchanged(const std::string& path, const std::string& data) {
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<size_t>(status.st_size) != data.size())
        return false;
    std::string held(data.size(), '\0');
    size_t read = 0;
    while (read < held.size()) {
        const ssize_t n = ::read(file.get(), held.data() + read, held.size() - read);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        read += static_cast<size_t>(n);
    }
    return held == data && ::futimens(file.get(), nullptr) == 0;
}

} // namespace

void WriteFileAtomically(const std::string& path, const std::string& data) {
    if (RenewIfUnchanged(path, data))
        return;
    std::string temporary = path + ".XXXXXX";
    FileHandle file(::mkstemp(temporary.data()));
    if (file.get() < 0)
        ThrowSystemError("Erro ao criar arquivo temporário para", path, errno);
    try {
        WriteAll(file.get(), data, temporary);
        if (::fsync(file.get()) != 0)
            ThrowSystemError("Erro ao gravar", temporary, errno);
        // mkstemp creates the file readable by its owner only; data files are
        // ordinary user files.
        ::fchmod(file.get(), 0644);
        if (::close(file.release()) != 0)
            ThrowSystemError("Erro ao gravar", temporary, errno);
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            ThrowSystemError("Erro ao substituir", path, errno);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

void TXMLDocument::Open() {
    Close();
    constexpr unsigned options =
        pugi::parse_default | pugi::parse_comments | pugi::parse_declaration;
    pugi::xml_parse_result result =
        document_.load_file(FileName.c_str(), options, pugi::encoding_auto);
    if (result.status == pugi::status_file_not_found)
        throw EXMLDocumentError("Arquivo não encontrado: \"" + FileName + "\"");
    if (result.status == pugi::status_io_error)
        throw EXMLDocumentError("Erro ao ler o arquivo \"" + FileName + "\"");
    if (!result) {
        document_.reset();
        std::ostringstream message;
        message << "Erro de XML em \"" << FileName << "\" (posição " << result.offset
                << "): " << result.description();
        throw EXMLDocumentError(message.str());
    }
    if (!document_.document_element()) {
        document_.reset();
        throw EXMLDocumentError("O arquivo \"" + FileName + "\" não contém nenhum elemento");
    }
    encoding_ = result.encoding;
    active_ = true;
}

void TXMLDocument::Close() {
    TXMLLayout::Changed();
    document_.reset();
    encoding_ = pugi::encoding_utf8;
    active_ = false;
}

namespace {

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};

} // namespace

void TXMLDocument::SaveToFile() const {
    StringWriter writer;
    document_.save(writer, "\t", pugi::format_default, encoding_);
    WriteFileAtomically(FileName, writer.text);
}
