#include "data_update.h"

#include "torvel_database.h"
#include "tournament_rules.h"
#include "xml_document.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

std::string DefaultUpdateServer() {
    return std::string("http://") + TORVEL_UPDATE_HOST + ":" + std::to_string(TORVEL_UPDATE_PORT);
}

namespace {

// A folder inside dados/ that is removed with everything left in it, unless
// it must be kept because it holds the only copy of a data file.
class StagingFolder {
public:
    explicit StagingFolder(const std::string& dados) {
        std::string pattern = dados + ".atualizacao-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw EUpdateTransferError("Não foi possível criar uma pasta em \"" + dados + "\"");
        path_ = pattern;
    }
    ~StagingFolder() {
        if (keep_)
            return;
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const fs::path& Path() const { return path_; }
    void Keep() { keep_ = true; }

private:
    fs::path path_;
    bool keep_ = false;
};

// Opens the two documents of the staging folder and checks their contents.
void CheckDocuments(const fs::path& folder) {
    TXMLDocument selecoes;
    TXMLDocument jogos;
    selecoes.FileName = (folder / "selecoes.xml").string();
    jogos.FileName = (folder / "jogos.xml").string();
    try {
        jogos.Open();
        selecoes.Open();
        ValidateTournament(torvel_db_selecoes::GetSelecoes(selecoes.Document()),
                           torvel_db_jogos::Getjogos(jogos.Document()));
    } catch (const std::exception& error) {
        throw EUpdateDataError(error.what());
    }
}

// Moves files over the data files so that either all of them are replaced or,
// after RollBack, none: each file replaced is first set aside in a folder of
// its own, and every step is recorded so it can be undone.
class TFileSwap {
public:
    explicit TFileSwap(fs::path setAside) : setAside_(std::move(setAside)) {}

    // Moves from to to; raises fs::filesystem_error when it cannot.
    void Move(const fs::path& from, const fs::path& to) {
        CreateFolders(to.parent_path());
        Step step{from, to, {}};
        const fs::file_status existing = fs::symlink_status(to);
        if (fs::is_directory(existing))
            throw fs::filesystem_error("é uma pasta", to,
                                       std::make_error_code(std::errc::is_a_directory));
        if (fs::exists(existing)) {
            fs::create_directory(setAside_);
            step.previous = setAside_ / std::to_string(steps_.size());
            fs::rename(to, step.previous);
        }
        steps_.push_back(step);
        fs::rename(from, to);
        steps_.back().moved = true;
    }

    // Puts every data file back where it was and removes the folders created.
    // Returns false when something could not be put back.
    bool RollBack() {
        bool restored = true;
        std::error_code error;
        for (auto step = steps_.rbegin(); step != steps_.rend(); ++step) {
            if (step->moved) {
                fs::rename(step->to, step->from, error);
                restored = restored && !error;
            }
            if (!step->previous.empty()) {
                fs::rename(step->previous, step->to, error);
                restored = restored && !error;
            }
        }
        steps_.clear();
        for (auto folder = createdFolders_.rbegin(); folder != createdFolders_.rend(); ++folder)
            fs::remove(*folder, error);
        createdFolders_.clear();
        return restored;
    }

private:
    struct Step {
        fs::path from, to;
        fs::path previous; // where the replaced file was set aside; empty when none
        bool moved = false;
    };

    // Creates the missing folders of path one by one, recording each; a
    // plain file in the way is an error.
    void CreateFolders(const fs::path& path) {
        if (path.empty() || fs::is_directory(path))
            return;
        CreateFolders(path.parent_path());
        if (fs::create_directory(path))
            createdFolders_.push_back(path);
    }

    fs::path setAside_;
    std::vector<Step> steps_;
    std::vector<fs::path> createdFolders_;
};

} // namespace

TDataUpdate::TDataUpdate(std::string programDir) : dados_(std::move(programDir) + "dados/") {}

void TDataUpdate::Download(const TWebClient& client, const std::string& server) const {
    try {
        client.Get(server + UpdateArchivePath, ArchivePath());
    } catch (const EWebClientError& error) {
        throw EUpdateTransferError(error.what());
    }
}

void TDataUpdate::Install(TTorvelDatabase& database) const {
    StagingFolder staging(dados_);
    const fs::path extracted = staging.Path() / "novos";
    try {
        STCabReader().Extract(ArchivePath(), extracted.string());
    } catch (const ECabReaderError& error) {
        throw EUpdateTransferError(error.what());
    }
    CheckDocuments(extracted);

    TFileSwap swap(staging.Path() / "anteriores");
    try {
        std::vector<fs::path> files;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(extracted))
            if (!entry.is_directory())
                files.push_back(fs::relative(entry.path(), extracted));
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files)
            swap.Move(extracted / file, fs::path(dados_) / file);
        fs::remove(ArchivePath());
    } catch (const fs::filesystem_error& error) {
        if (swap.RollBack())
            throw EUpdateTransferError(error.what());
        staging.Keep();
        throw EUpdateTransferError(std::string(error.what()) +
                                   "; os arquivos anteriores ficaram em " +
                                   staging.Path().string());
    }
    try {
        database.Reload();
    } catch (const std::exception& error) {
        throw EUpdateDataError(error.what());
    }
}
