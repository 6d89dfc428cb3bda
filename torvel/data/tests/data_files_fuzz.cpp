// Fuzz target for the data files: the first byte chooses which of the two
// files the rest replaces (even: the team file, odd: the match file); the
// other file is a valid one. The load must either fail with a reason or give
// documents that every binding reads without leaving its bounds.

#include "torvel_database.h"
#include "tournament_fixture.h"

#include <cstdint>
#include <cstdlib>

using namespace torvel_test;

namespace {

void ReadEverything(const TTorvelDatabase& db) {
    for (int t = 0; t < db.Selecoes.Count(); ++t) {
        auto selecao = db.Selecoes[t];
        selecao.Nome();
        for (int p = 0; p < selecao.Convocados().Count(); ++p)
            selecao.Convocados()[p].Nome();
    }
    for (int m = 0; m < db.Jogos.Count(); ++m) {
        auto equipes = db.Jogos[m].equipes();
        for (int s = 0; s < 2; ++s)
            equipes[s].gols().Quant();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TempProgramDir dir;
    static const std::string validTeams = [] {
        pugi::xml_document document;
        MakeTeamDocument(document);
        return ToText(document);
    }();
    static const std::string validMatches = [] {
        pugi::xml_document document;
        MakeMatchDocument(document);
        return ToText(document);
    }();
    if (size == 0)
        return 0;
    const std::string fuzzed(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool teams = data[0] % 2 == 0;
    WriteFile(dir.Dados() / "selecoes.xml", teams ? fuzzed : validTeams);
    WriteFile(dir.Dados() / "jogos.xml", teams ? validMatches : fuzzed);

    TTorvelDatabase db(dir.Path());
    if (LoadFailed) {
        if (LoadFailedReason.empty())
            std::abort();
        return 0;
    }
    ReadEverything(db);
    return 0;
}
