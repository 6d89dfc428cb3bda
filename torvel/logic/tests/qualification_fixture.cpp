#include "qualification_fixture.h"

namespace torvel_test {

int ScriptedTieQuestion::Ask(const std::string& intro, const std::vector<std::string>& names) {
    asked.push_back({intro, names});
    if (answers.empty())
        return 0;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

void QualificationTest::SetUp() {
    dir_.WriteValidTournament();
    Standings = {};
    WorkStandings = {};
    GroupTable = {};
    TieQuestion = &question_;
    Open();
}

void QualificationTest::TearDown() {
    TieQuestion = nullptr;
}

void QualificationTest::Open() {
    database_.reset();
    database_ = std::make_unique<TTorvelDatabase>(dir_.Path());
    ASSERT_FALSE(LoadFailed) << LoadFailedReason;
}

void QualificationTest::Reopen() {
    Standings = {};
    WorkStandings = {};
    GroupTable = {};
    Open();
}

torvel_db_jogos::IXMLEquipeType QualificationTest::Side(int match, int side) {
    return Db().Jogos[match].equipes()[side];
}

void QualificationTest::SetScore(int match, int goals0, int goals1) {
    if (TeamOf(match, 0) >= 0 && TeamOf(match, 1) >= 0) {
        ClaimSide(match, 0);
        ClaimSide(match, 1);
    }
    Side(match, 0).gols().SetQuant(goals0);
    Side(match, 1).gols().SetQuant(goals1);
}

int QualificationTest::Quant(int match, int side) {
    return Side(match, side).gols().Quant();
}

void QualificationTest::PlayGroup(int group, const GroupScores& scores) {
    for (int k = 0; k < MatchesPerGroup; ++k)
        SetScore(MatchesPerGroup * group + k, scores.goals[k][0], scores.goals[k][1]);
}

void QualificationTest::PlayAllGroups(const GroupScores& scores) {
    for (int g = 0; g < GroupCount; ++g)
        PlayGroup(g, scores);
}

std::string QualificationTest::Name(int team) {
    return team < 0 ? "(indefinido)" : Db().Selecoes[team].Nome();
}

std::string QualificationTest::Grupo(int team) {
    return Db().Selecoes[team].Grupo();
}

void QualificationTest::SetGrupo(int team, const std::string& grupo) {
    Db().Selecoes[team].SetGrupo(grupo);
}

TGroupRow QualificationTest::Row(int group, const TGroupRow& slots) const {
    TGroupRow row;
    for (int k = 0; k < TeamsPerGroup; ++k)
        row[k] = TeamsPerGroup * group + slots[k];
    return row;
}

} // namespace torvel_test
