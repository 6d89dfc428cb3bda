#include "program_fixture.h"

#include <string>

namespace torvel_test {

void AddSquad(pugi::xml_document& teams, int team, const std::vector<int>& shirts) {
    pugi::xml_node selecao = teams.document_element().first_child();
    for (int i = 0; i < team; ++i)
        selecao = selecao.next_sibling();
    pugi::xml_node squad = selecao.child("Convocados");
    for (int shirt : shirts) {
        pugi::xml_node jogador = squad.append_child("Jogador");
        jogador.append_attribute("No") = shirt;
        jogador.append_child("Nome").text() = ("Jogador " + std::to_string(shirt)).c_str();
    }
}

namespace {
pugi::xml_node Side(pugi::xml_document& matches, int m, int s) {
    pugi::xml_node jogo = matches.document_element().first_child();
    for (int i = 0; i < m; ++i)
        jogo = jogo.next_sibling();
    pugi::xml_node equipe = jogo.child("equipes").first_child();
    return s == 0 ? equipe : equipe.next_sibling();
}
} // namespace

void AddParticipant(pugi::xml_document& matches, int m, int s, int shirt, int gols) {
    pugi::xml_node jogador = Side(matches, m, s).child("artilheiros").append_child("jogador");
    jogador.append_attribute("No") = shirt;
    jogador.append_attribute("Gols") = gols;
}

void SetResult(pugi::xml_document& matches, int m, int goals0, int goals1) {
    Side(matches, m, 0).child("gols").attribute("Quant") = goals0;
    Side(matches, m, 1).child("gols").attribute("Quant") = goals1;
}

pugi::xml_document LoadDocument(const std::filesystem::path& path) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file(path.c_str())) << path;
    return document;
}

ProgramTest::ProgramTest()
    : scriptedMessages([this](const Dialogs::TMessage& message) {
          messages.push_back(message);
          return message.kind == Dialogs::TMessageKind::Question ? answer : QMessageBox::Ok;
      }) {
    MakeTeamDocument(teams);
    MakeMatchDocument(matches);
}

void ProgramTest::Start() {
    dir.WriteTeams(teams);
    dir.WriteMatches(matches);
    program = std::make_unique<TTorvelProgram>(dir.Path());
    program->FormTorvel.show();
}

int ProgramTest::RowOfMatch(int m) const {
    for (size_t r = 0; r < MatchRows.size(); ++r)
        if (MatchRows[r] == m)
            return static_cast<int>(r);
    ADD_FAILURE() << "match " << m << " has no row";
    return 0;
}

pugi::xml_node ProgramTest::DiskSide(int m, int s) const {
    diskMatches_ = LoadDocument(dir.Dados() / "jogos.xml");
    return Side(diskMatches_, m, s);
}

pugi::xml_node ProgramTest::DiskTeam(int t) const {
    diskTeams_ = LoadDocument(dir.Dados() / "selecoes.xml");
    pugi::xml_node selecao = diskTeams_.document_element().first_child();
    for (int i = 0; i < t; ++i)
        selecao = selecao.next_sibling();
    return selecao;
}

} // namespace torvel_test
