#include "tournament_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace torvel_test {

namespace {

constexpr int GroupPairings[6][2] = {{0, 1}, {2, 3}, {0, 2}, {3, 1}, {3, 0}, {1, 2}};
// Group letter and place of each side of the last 16.
constexpr struct {
    char group0;
    int pos0;
    char group1;
    int pos1;
} LastSixteen[8] = {{'A', 1, 'B', 2}, {'C', 1, 'D', 2}, {'B', 1, 'A', 2}, {'D', 1, 'C', 2},
                    {'E', 1, 'F', 2}, {'G', 1, 'H', 2}, {'F', 1, 'E', 2}, {'H', 1, 'G', 2}};
// Earlier match index and place (1 winner, 2 loser) of each side of 56 to 63.
constexpr struct {
    int ident0;
    int pos0;
    int ident1;
    int pos1;
} LaterRounds[8] = {{48, 1, 49, 1}, {52, 1, 53, 1}, {50, 1, 51, 1}, {54, 1, 55, 1},
                    {56, 1, 57, 1}, {58, 1, 59, 1}, {60, 2, 61, 2}, {60, 1, 61, 1}};

// YYYYMMDD of the given day counted from 1 June 2014 (31 is 1 July).
std::string DateText(int dayOfJune) {
    char text[9];
    std::snprintf(text, sizeof text, "2014%02d%02d", dayOfJune > 30 ? 7 : 6,
                  dayOfJune > 30 ? dayOfJune - 30 : dayOfJune);
    return text;
}

pugi::xml_node AddJogo(pugi::xml_node root, int index, int day, const char* hora) {
    pugi::xml_node jogo = root.append_child("jogo");
    jogo.append_attribute("No") = index + 1;
    jogo.append_child("data").text() = DateText(day).c_str();
    jogo.append_child("hora").text() = hora;
    jogo.append_child("estadio").text() = ("Estádio " + std::to_string(index % 12 + 1)).c_str();
    jogo.append_child("equipes");
    return jogo;
}

void AddEquipe(pugi::xml_node jogo, int no, int ident, int pos, const std::string& grupo) {
    pugi::xml_node equipe = jogo.child("equipes").append_child("equipe");
    equipe.append_attribute("No") = no;
    equipe.append_attribute("Ident") = ident;
    equipe.append_attribute("Pos") = pos;
    equipe.append_attribute("Grupo") = grupo.c_str();
    equipe.append_child("gols").append_attribute("Quant") = -1;
    equipe.append_child("artilheiros");
}

} // namespace

void MakeTeamDocument(pugi::xml_document& document) {
    document.reset();
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = document.append_child("Selecoes");
    for (int i = 0; i < 32; ++i) {
        pugi::xml_node selecao = root.append_child("Selecao");
        selecao.append_attribute("No") = 101 + i;
        selecao.append_child("Nome").text() = ("Time " + std::to_string(i)).c_str();
        selecao.append_child("Grupo").text() =
            std::string(1, static_cast<char>('A' + i / 4)).c_str();
        selecao.append_child("Bandeira").text() = ("time" + std::to_string(i) + ".jpg").c_str();
        selecao.append_child("Convocados");
    }
}

void MakeMatchDocument(pugi::xml_document& document) {
    document.reset();
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = document.append_child("jogos");
    static const char* const groupTimes[4] = {"1300", "1600", "1900", "2200"};
    for (int g = 0; g < 8; ++g)
        for (int k = 0; k < 6; ++k) {
            // Round r of the group is played on day 12 + 4r + g / 2; the two
            // matches of the last round kick off together.
            const int round = k / 2;
            const char* hora = round == 2 ? (g % 2 ? "1700" : "1300") : groupTimes[(g + k) % 4];
            pugi::xml_node jogo = AddJogo(root, 6 * g + k, 12 + 4 * round + g / 2, hora);
            for (int side = 0; side < 2; ++side)
                AddEquipe(jogo, side + 1, 101 + 4 * g + GroupPairings[k][side], 0, "");
        }
    for (int k = 0; k < 8; ++k) {
        pugi::xml_node jogo = AddJogo(root, 48 + k, 28 + k / 2, k % 2 ? "1700" : "1300");
        AddEquipe(jogo, 1, 0, LastSixteen[k].pos0, std::string(1, LastSixteen[k].group0));
        AddEquipe(jogo, 2, 0, LastSixteen[k].pos1, std::string(1, LastSixteen[k].group1));
    }
    for (int k = 0; k < 8; ++k) {
        pugi::xml_node jogo = AddJogo(root, 56 + k, 34 + k, "1700");
        AddEquipe(jogo, 1, LaterRounds[k].ident0, LaterRounds[k].pos0, "");
        AddEquipe(jogo, 2, LaterRounds[k].ident1, LaterRounds[k].pos1, "");
    }
}

std::string ToText(const pugi::xml_document& document) {
    std::ostringstream text;
    document.save(text, "\t", pugi::format_default, pugi::encoding_utf8);
    return text.str();
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempProgramDir::TempProgramDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "torvel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    std::filesystem::create_directory(Dados());
}

TempProgramDir::~TempProgramDir() {
    std::error_code ignored;
    std::filesystem::permissions(Dados(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void TempProgramDir::WriteValidTournament() const {
    pugi::xml_document teams;
    MakeTeamDocument(teams);
    WriteTeams(teams);
    pugi::xml_document matches;
    MakeMatchDocument(matches);
    WriteMatches(matches);
}

void TempProgramDir::WriteTeams(const pugi::xml_document& document) const {
    WriteFile(Dados() / "selecoes.xml", ToText(document));
}

void TempProgramDir::WriteMatches(const pugi::xml_document& document) const {
    WriteFile(Dados() / "jogos.xml", ToText(document));
}

} // namespace torvel_test
