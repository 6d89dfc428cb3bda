#include "torvel_database.h"

#include "tournament_rules.h"

#include <algorithm>
#include <filesystem>
#include <utility>

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

const TTorvelDatabase::TIndex& TTorvelDatabase::Index() const {
    if (index_.built && index_.revision == TXMLLayout::Revision() &&
        index_.selecoes == Selecoes.DOMNode() && index_.jogos == Jogos.DOMNode())
        return index_;
    TIndex index;
    index.selecoes = Selecoes.DOMNode();
    index.jogos = Jogos.DOMNode();
    for (pugi::xml_node node = Selecoes.DOMNode().child(TagSelecao); node;
         node = node.next_sibling(TagSelecao)) {
        index.teams.push_back(node);
        index.teamNumbers.push_back(IXMLSelecaoType(node).No());
    }
    for (pugi::xml_node node = Jogos.DOMNode().child(TagJogo); node;
         node = node.next_sibling(TagJogo)) {
        index.matches.push_back(node);
        const pugi::xml_node first = node.child("equipes").child(TagEquipe);
        index.sides.push_back({first, first.next_sibling(TagEquipe)});
    }
    // Reading a number creates a missing attribute, which moves no revision.
    index.revision = TXMLLayout::Revision();
    index.built = true;
    index_ = std::move(index);
    return index_;
}

int32_t TTorvelDatabase::IndexOfTeam(int32_t number) const {
    const std::vector<int32_t>& numbers = Index().teamNumbers;
    const auto found = std::find(numbers.begin(), numbers.end(), number);
    return found == numbers.end() ? -1 : static_cast<int32_t>(found - numbers.begin());
}

IXMLSelecaoType TTorvelDatabase::Team(int32_t t) const {
    const TIndex& index = Index();
    if (t < 0 || static_cast<size_t>(t) >= index.teams.size())
        return Selecoes[t]; // throws as the list does
    return IXMLSelecaoType(index.teams[t]);
}

IXMLJogoType TTorvelDatabase::Match(int32_t m) const {
    const TIndex& index = Index();
    if (m < 0 || static_cast<size_t>(m) >= index.matches.size())
        return Jogos[m]; // throws as the list does
    return IXMLJogoType(index.matches[m]);
}

IXMLEquipeType TTorvelDatabase::Side(int32_t m, int32_t s) const {
    const TIndex& index = Index();
    if (m < 0 || static_cast<size_t>(m) >= index.sides.size() || s < 0 || s > 1 ||
        !index.sides[m][s])
        return Match(m).equipes()[s]; // creates or throws as the lists do
    return IXMLEquipeType(index.sides[m][s]);
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
