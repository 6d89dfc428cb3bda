#include "torvel_database.h"

#include "tournament_rules.h"

#include <filesystem>

using namespace torvel_db_selecoes;
using namespace torvel_db_jogos;

TTorvelDatabase::TTorvelDatabase(const std::string& programDir) {
    ProgramDir = programDir;
    TorvelDatabase = this;
    DataModuleCreate();
}

TTorvelDatabase::~TTorvelDatabase() {
    if (TorvelDatabase == this)
        TorvelDatabase = nullptr;
}

std::string TTorvelDatabase::ExecutableDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/";
}

void TTorvelDatabase::DataModuleCreate() {
    try {
        SkipScorerReset = false;
        LoadFailed = false;
        LoadFailedReason.clear();
        OpenDocuments();
    } catch (const std::exception& error) {
        LoadFailed = true;
        LoadFailedReason = error.what();
        CloseDocuments();
    }
}

void TTorvelDatabase::Reload() {
    try {
        OpenDocuments();
    } catch (...) {
        CloseDocuments();
        throw;
    }
}

void TTorvelDatabase::CloseDocuments() {
    Selecoes = {};
    Jogos = {};
    XMLSelecoes.Close();
    XMLJogos.Close();
}

void TTorvelDatabase::OpenDocuments() {
    XMLSelecoes.FileName = ProgramDir + "dados/selecoes.xml";
    XMLJogos.FileName = ProgramDir + "dados/jogos.xml";
    XMLJogos.Open();
    XMLSelecoes.Open();
    IXMLSelecoesType selecoes = GetSelecoes(XMLSelecoes.Document());
    IXMLJogosType jogos = Getjogos(XMLJogos.Document());
    ValidateTournament(selecoes, jogos);
    Selecoes = selecoes;
    Jogos = jogos;
}

int32_t TTorvelDatabase::IndexOfTeam(int32_t number) const {
    int32_t index = 0;
    for (pugi::xml_node node = Selecoes.DOMNode().child(TagSelecao); node;
         node = node.next_sibling(TagSelecao), ++index)
        if (IXMLSelecaoType(node).No() == number)
            return index;
    return -1;
}

void TTorvelDatabase::SortMatchesByDate(std::vector<int32_t>& list) const {
    std::vector<std::string> keys;
    keys.reserve(list.size());
    for (int32_t match : list) {
        IXMLJogoType jogo = Jogos[match];
        keys.push_back(jogo.data() + jogo.hora());
    }
    for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size(); ++j)
            if (keys[i] > keys[j]) {
                std::swap(keys[i], keys[j]);
                std::swap(list[i], list[j]);
            }
}
