#include "data_update.h"

#include "torvel_database.h"
#include "tournament_rules.h"
#include "xml_document.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string DefaultUpdateServer() {
    return std::string("http://") + TORVEL_UPDATE_HOST + ":" + std::to_string(TORVEL_UPDATE_PORT);
}

namespace {

// A folder inside dados/ that is removed with everything left in it.
class StagingFolder {
public:
    explicit StagingFolder(const std::string& dados) {
        std::string pattern = dados + ".atualizacao-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw EUpdateTransferError("Não foi possível criar uma pasta em \"" + dados + "\"");
        path_ = pattern;
    }
    ~StagingFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
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

// Moves every file of the staging folder to the same relative place in dados.
void MoveInto(const fs::path& staging, const fs::path& dados) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(staging)) {
        if (entry.is_directory())
            continue;
        const fs::path target = dados / fs::relative(entry.path(), staging);
        fs::create_directories(target.parent_path());
        fs::rename(entry.path(), target);
    }
}

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
    try {
        STCabReader().Extract(ArchivePath(), staging.Path().string());
    } catch (const ECabReaderError& error) {
        throw EUpdateTransferError(error.what());
    }
    CheckDocuments(staging.Path());
    try {
        MoveInto(staging.Path(), dados_);
        fs::remove(ArchivePath());
    } catch (const fs::filesystem_error& error) {
        throw EUpdateTransferError(error.what());
    }
    try {
        database.Reload();
    } catch (const std::exception& error) {
        throw EUpdateDataError(error.what());
    }
}
