#include "tournament_rules.h"

#include <algorithm>
#include <set>
#include <vector>

using namespace torvel_db_selecoes;
using namespace torvel_db_jogos;

int GroupIndexOf(const std::string& grupo) {
    if (grupo.empty())
        return -1;
    char letter = grupo[0];
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    return letter >= 'A' && letter < 'A' + GroupCount ? letter - 'A' : -1;
}

std::optional<int32_t> LotRankOf(const std::string& grupo) {
    if (grupo.size() < 2)
        return std::nullopt;
    try {
        return ParseInt32(grupo.c_str() + 1, "Selecao", "Grupo");
    } catch (const EXMLConversionError&) {
        return std::nullopt;
    }
}

namespace {

[[noreturn]] void Fail(const std::string& message) {
    throw ETournamentDataError(message);
}

std::string MatchName(int index) {
    return "jogo de índice " + std::to_string(index);
}

// Reads every team's number, checking the numbers and the group layout.
std::vector<int32_t> ValidateTeams(const IXMLSelecoesType& selecoes) {
    if (selecoes.Count() != TeamCount)
        Fail("selecoes.xml: são esperadas " + std::to_string(TeamCount) + " seleções, há " +
             std::to_string(selecoes.Count()));
    std::vector<int32_t> numbers;
    std::set<int32_t> seen;
    int i = 0;
    for (pugi::xml_node node = selecoes.DOMNode().child(TagSelecao); node;
         node = node.next_sibling(TagSelecao), ++i) {
        IXMLSelecaoType selecao(node);
        const int32_t number = selecao.No();
        if (!seen.insert(number).second)
            Fail("selecoes.xml: o número " + std::to_string(number) + " se repete");
        const int expectedGroup = i / TeamsPerGroup;
        if (GroupIndexOf(selecao.Grupo()) != expectedGroup)
            Fail("selecoes.xml: a seleção de índice " + std::to_string(i) + " (nº " +
                 std::to_string(number) + ") deveria estar no grupo " +
                 std::string(1, static_cast<char>('A' + expectedGroup)) +
                 " (quatro seleções por grupo, listadas grupo a grupo)");
        numbers.push_back(number);
    }
    return numbers;
}

void ValidateSide(const IXMLEquipeType& equipe, int match, const std::vector<int32_t>& numbers) {
    if (equipe.gols().Quant() < -1)
        Fail("jogos.xml: " + MatchName(match) + " tem um placar negativo");
    IXMLArtilheirosType artilheiros = equipe.artilheiros();
    for (pugi::xml_node node = artilheiros.DOMNode().child(torvel_db_jogos::TagJogador); node;
         node = node.next_sibling(torvel_db_jogos::TagJogador)) {
        torvel_db_jogos::IXMLJogadorType jogador(node);
        jogador.No();
        jogador.Gols();
    }
    if (match < FirstKnockoutMatch) {
        const int32_t ident = equipe.Ident();
        const int group = match / MatchesPerGroup;
        const auto first = numbers.begin() + group * TeamsPerGroup;
        if (std::find(first, first + TeamsPerGroup, ident) == first + TeamsPerGroup)
            Fail("jogos.xml: " + MatchName(match) + " nomeia a seleção nº " +
                 std::to_string(ident) + ", que não pertence ao grupo " +
                 std::string(1, static_cast<char>('A' + group)));
    } else if (match < FirstLaterRoundMatch) {
        const int32_t pos = equipe.Pos();
        if (GroupIndexOf(equipe.Grupo()) < 0 || pos < 1 || pos > TeamsPerGroup)
            Fail("jogos.xml: " + MatchName(match) +
                 " deve nomear um grupo de A a H e uma posição de 1 a 4");
    } else {
        const int32_t ident = equipe.Ident();
        equipe.Pos();
        if (ident < FirstKnockoutMatch || ident >= match)
            Fail("jogos.xml: " + MatchName(match) + " deve nomear um jogo eliminatório anterior");
    }
}

void ValidateMatches(const IXMLJogosType& jogos, const std::vector<int32_t>& numbers) {
    if (jogos.Count() != MatchCount)
        Fail("jogos.xml: são esperados " + std::to_string(MatchCount) + " jogos, há " +
             std::to_string(jogos.Count()));
    int match = 0;
    for (pugi::xml_node node = jogos.DOMNode().child(TagJogo); node;
         node = node.next_sibling(TagJogo), ++match) {
        IXMLEquipesType equipes = IXMLJogoType(node).equipes();
        if (equipes.Count() < 2)
            Fail("jogos.xml: " + MatchName(match) + " deve ter duas equipes");
        for (int side = 0; side < 2; ++side)
            ValidateSide(equipes[side], match, numbers);
    }
}

} // namespace

void ValidateTournament(const IXMLSelecoesType& selecoes, const IXMLJogosType& jogos) {
    std::vector<int32_t> numbers;
    try {
        numbers = ValidateTeams(selecoes);
    } catch (const EXMLConversionError& error) {
        Fail(std::string("selecoes.xml: ") + error.what());
    }
    try {
        ValidateMatches(jogos, numbers);
    } catch (const EXMLConversionError& error) {
        Fail(std::string("jogos.xml: ") + error.what());
    }
}
