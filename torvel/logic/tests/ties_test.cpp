// Ties decided by lot: the questions put to the user and the stored answers.

#include "qualification_fixture.h"

#include <pugixml.hpp>

namespace torvel_test {
namespace {

using TieByLot = QualificationTest;

// Slots 0 and 1 level in everything at the top, their own match drawn; slot 3
// third, slot 2 fourth.
constexpr GroupScores LevelPairOnTop = {{{1, 1}, {0, 1}, {1, 0}, {0, 1}, {0, 1}, {1, 0}}};
constexpr GroupScores AllGoalless = {{{0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}};

std::string Intro(int choices, int place, const std::string& letter) {
    return "Existem " + std::to_string(choices) + " seleções empatadas em disputa pelo " +
           std::to_string(place) + " .º lugar do grupo " + letter +
           ". Informe qual destas seleções foi sorteada para ocupar a posição.";
}

// The Grupo texts of the team file as saved.
std::vector<std::string> SavedGrupos(const TempProgramDir& dir) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file((dir.Dados() / "selecoes.xml").c_str()));
    std::vector<std::string> grupos;
    for (pugi::xml_node selecao : document.child("Selecoes").children("Selecao"))
        grupos.push_back(selecao.child_value("Grupo"));
    return grupos;
}

TEST_F(TieByLot, LevelPairAtTheTopGivesOneQuestionForFirstPlace) {
    PlayGroup(0, LevelPairOnTop);
    question_.answers = {1};
    UpdateQualification();
    ASSERT_EQ(question_.asked.size(), 1u);
    EXPECT_EQ(question_.asked[0].intro, Intro(2, 1, "A"));
    EXPECT_EQ(question_.asked[0].names, (std::vector<std::string>{"Time 0", "Time 1"}));
    EXPECT_EQ(GroupTable[0], Row(0, {1, 0, 3, 2}));
    EXPECT_EQ(Grupo(1), "A0");
    EXPECT_EQ(Grupo(0), "A1");
    EXPECT_EQ(Grupo(2), "A") << "teams outside the tie keep their letter";
    const std::vector<std::string> saved = SavedGrupos(dir_);
    EXPECT_EQ(saved[0], "A1");
    EXPECT_EQ(saved[1], "A0");
}

TEST_F(TieByLot, StoredDecisionHoldsAndIsNotAskedAgain) {
    PlayGroup(0, LevelPairOnTop);
    question_.answers = {1};
    UpdateQualification();
    UpdateQualification();
    EXPECT_EQ(question_.asked.size(), 1u);
    EXPECT_EQ(GroupTable[0], Row(0, {1, 0, 3, 2}));
    EXPECT_FALSE(Standings[0].Tied);
    EXPECT_FALSE(Standings[1].Tied);
    Db().XMLJogos.SaveToFile();
    Reopen();
    ComputeInitialStandings();
    UpdateQualification();
    EXPECT_EQ(question_.asked.size(), 1u) << "the decision was saved in the team file";
    EXPECT_EQ(GroupTable[0], Row(0, {1, 0, 3, 2}));
}

TEST_F(TieByLot, AllGoallessGroupGivesThreeQuestions) {
    PlayGroup(0, AllGoalless);
    question_.answers = {3, 0, 1};
    UpdateQualification();
    ASSERT_EQ(question_.asked.size(), 3u);
    EXPECT_EQ(question_.asked[0].intro, Intro(4, 1, "A"));
    EXPECT_EQ(question_.asked[0].names,
              (std::vector<std::string>{"Time 0", "Time 1", "Time 2", "Time 3"}));
    // Time 3 took first place and Time 0 moved to its position in the list.
    EXPECT_EQ(question_.asked[1].intro, Intro(3, 2, "A"));
    EXPECT_EQ(question_.asked[1].names, (std::vector<std::string>{"Time 1", "Time 2", "Time 0"}));
    EXPECT_EQ(question_.asked[2].intro, Intro(2, 3, "A"));
    EXPECT_EQ(question_.asked[2].names, (std::vector<std::string>{"Time 2", "Time 0"}));
    EXPECT_EQ(GroupTable[0], Row(0, {3, 1, 0, 2}));
    EXPECT_EQ(Grupo(3), "A0");
    EXPECT_EQ(Grupo(1), "A1");
    EXPECT_EQ(Grupo(0), "A2");
    EXPECT_EQ(Grupo(2), "A3");

    UpdateQualification();
    EXPECT_EQ(question_.asked.size(), 3u) << "a second run without changes asks nothing";
    EXPECT_EQ(GroupTable[0], Row(0, {3, 1, 0, 2}));
}

TEST_F(TieByLot, TieOfLaterPlacesNamesTheirPlace) {
    // Group B: slot 0 wins everything, the other three drew all their matches.
    PlayGroup(1, {{{1, 0}, {0, 0}, {1, 0}, {0, 0}, {0, 1}, {0, 0}}});
    UpdateQualification();
    ASSERT_EQ(question_.asked.size(), 2u);
    EXPECT_EQ(question_.asked[0].intro, Intro(3, 2, "B"));
    EXPECT_EQ(question_.asked[1].intro, Intro(2, 3, "B"));
    EXPECT_EQ(GroupTable[1], Row(1, {0, 1, 2, 3}));
    EXPECT_EQ(Grupo(4), "B");
    EXPECT_EQ(Grupo(5), "B0");
    EXPECT_EQ(Grupo(6), "B1");
    EXPECT_EQ(Grupo(7), "B2");
}

TEST_F(TieByLot, IncompleteGroupAsksNothing) {
    PlayGroup(0, LevelPairOnTop);
    Side(1, 0).gols().SetQuant(-1);
    Side(1, 1).gols().SetQuant(-1);
    UpdateQualification();
    EXPECT_TRUE(question_.asked.empty());
    EXPECT_EQ(GroupTable[0][0], 0);
    EXPECT_EQ(GroupTable[0][1], 1);
    EXPECT_TRUE(Standings[0].Tied);
    EXPECT_TRUE(Standings[1].Tied);
    EXPECT_EQ(Grupo(0), "A");
}

TEST_F(TieByLot, LowerCaseLetterKeepsItsCase) {
    for (int team = 0; team < TeamsPerGroup; ++team)
        SetGrupo(team, "a");
    PlayGroup(0, LevelPairOnTop);
    UpdateQualification();
    ASSERT_EQ(question_.asked.size(), 1u);
    EXPECT_EQ(question_.asked[0].intro, Intro(2, 1, "a"));
    EXPECT_EQ(Grupo(0), "a0");
    EXPECT_EQ(Grupo(1), "a1");
    EXPECT_EQ(Standings[0].Group, 0);
}

TEST_F(TieByLot, TieWithoutAQuestionToAskIsAnError) {
    PlayGroup(0, LevelPairOnTop);
    TieQuestion = nullptr;
    EXPECT_THROW(UpdateQualification(), ETieQuestionError);
}

TEST_F(TieByLot, AnswerOutsideTheOfferedTeamsIsAnError) {
    PlayGroup(0, LevelPairOnTop);
    question_.answers = {2};
    EXPECT_THROW(UpdateQualification(), ETieQuestionError);
    EXPECT_EQ(Grupo(0), "A");
}

TEST_F(TieByLot, UpdateSavesTheTeamFileEvenWithoutChanges) {
    const std::filesystem::path file = dir_.Dados() / "selecoes.xml";
    std::filesystem::remove(file);
    UpdateQualification();
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(SavedGrupos(dir_).size(), static_cast<size_t>(TeamCount));
}

} // namespace
} // namespace torvel_test
