// Knockout qualification: resolving the sides of the knockout matches and
// clearing the results of matches whose teams are not known.

#include "qualification_fixture.h"

#include <set>

namespace torvel_test {
namespace {

using Knockout = QualificationTest;

constexpr int FirstQuarterFinal = 56; // winners of 48 and 49
constexpr int FirstSemiFinal = 60;    // winners of 56 and 57
constexpr int ThirdPlace = 62;        // losers of 60 and 61
constexpr int Final = 63;             // winners of 60 and 61

void AddParticipant(const torvel_db_jogos::IXMLEquipeType& side, int number, int goals) {
    const torvel_db_jogos::IXMLJogadorType jogador = side.artilheiros().Add();
    jogador.SetNo(number);
    jogador.SetGols(goals);
}

TEST_F(Knockout, EveryKnockoutSideIsUndeterminedUntilTheLastGroupResult) {
    PlayAllGroups(ReverseOrder);
    SetScore(GroupMatchCount - 1, -1, -1);
    UpdateQualification();
    for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
        for (int s = 0; s < 2; ++s)
            EXPECT_EQ(TeamOf(m, s), -1) << "match " << m << " side " << s;

    SetScore(GroupMatchCount - 1, 0, 1);
    UpdateQualification();
    // Slot 3 wins every group, slot 2 is runner-up; match 48 is 1A against 2B.
    EXPECT_EQ(GroupTable[0], Row(0, {3, 2, 1, 0}));
    EXPECT_EQ(TeamOf(48, 0), 3);
    EXPECT_EQ(TeamOf(48, 1), 6);
    EXPECT_EQ(TeamOf(50, 1), 2) << "2A";
    EXPECT_EQ(TeamOf(55, 1), 26) << "2G";
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), -1) << "no last-16 result yet";
}

TEST_F(Knockout, GroupMatchSidesAreTheTeamsNamedByIdent) {
    EXPECT_EQ(TeamOf(0, 0), 0);
    EXPECT_EQ(TeamOf(0, 1), 1);
    EXPECT_EQ(TeamOf(9, 0), 7) << "match 9 is slot 3 of group B against slot 1";
    EXPECT_EQ(TeamOf(9, 1), 5);
    Side(0, 0).SetIdent(999);
    EXPECT_EQ(TeamOf(0, 0), -1);
}

TEST_F(Knockout, QuarterFinalSideWithPosOneIsTheWinnerOfItsLastSixteenMatch) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 1, 2);
    SetScore(49, 3, 0);
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), TeamOf(48, 1));
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), 6);
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 1), TeamOf(49, 0));
}

TEST_F(Knockout, DrawnKnockoutMatchLeavesItsSuccessorsUnresolved) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    for (int m = 48; m < 56; ++m)
        SetScore(m, 1, 0);
    SetScore(FirstQuarterFinal, 2, 2);
    SetScore(57, 1, 0);
    EXPECT_EQ(TeamOf(FirstSemiFinal, 0), -1);
    EXPECT_EQ(TeamOf(FirstSemiFinal, 1), TeamOf(57, 0));
    SetScore(FirstSemiFinal, 1, 0);
    EXPECT_EQ(TeamOf(Final, 0), -1) << "the winner's side of the semi-final is not known";
    EXPECT_EQ(TeamOf(ThirdPlace, 0), -1)
        << "a result stored for a match with an unknown side counts nowhere, not even its loser";
    SetScore(FirstQuarterFinal, 2, 1);
    EXPECT_EQ(TeamOf(FirstSemiFinal, 0), TeamOf(48, 0));
    EXPECT_EQ(GoalsOf(FirstSemiFinal, 0), -1) << "the semi-final result had no teams when stored";
    SetScore(FirstSemiFinal, 1, 0);
    EXPECT_EQ(TeamOf(Final, 0), TeamOf(48, 0));
    EXPECT_EQ(TeamOf(ThirdPlace, 0), TeamOf(57, 0));
}

TEST_F(Knockout, ThirdPlaceMatchGetsTheSemiFinalLosers) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    for (int m = 48; m < FirstSemiFinal; ++m)
        SetScore(m, 2, 1);
    SetScore(FirstSemiFinal, 0, 1);
    SetScore(61, 3, 1);
    EXPECT_EQ(TeamOf(ThirdPlace, 0), TeamOf(FirstSemiFinal, 0));
    EXPECT_EQ(TeamOf(ThirdPlace, 1), TeamOf(61, 1));
    EXPECT_EQ(TeamOf(Final, 0), TeamOf(FirstSemiFinal, 1));
    EXPECT_EQ(TeamOf(Final, 1), TeamOf(61, 0));
    std::set<int> four = {TeamOf(ThirdPlace, 0), TeamOf(ThirdPlace, 1), TeamOf(Final, 0),
                          TeamOf(Final, 1)};
    EXPECT_EQ(four.size(), 4u);
    EXPECT_FALSE(four.contains(-1));
}

TEST_F(Knockout, ResultOfAnUndeterminedMatchStaysAndCountsNowhere) {
    PlayAllGroups(ReverseOrder);
    SetScore(0, -1, -1);
    SetScore(48, 2, 1);
    AddParticipant(Side(48, 0), 9, 2);
    AddParticipant(Side(48, 1), 10, 1);
    SetScore(FirstQuarterFinal, 1, 0);
    AddParticipant(Side(FirstQuarterFinal, 1), 7, 0);
    const std::string before = ToText(Db().XMLJogos.Document());
    UpdateQualification();
    EXPECT_EQ(ToText(Db().XMLJogos.Document()), before) << "the update clears nothing";
    for (int m : {48, FirstQuarterFinal})
        for (int s = 0; s < 2; ++s) {
            EXPECT_FALSE(SideCounts(m, s)) << "match " << m << " side " << s;
            EXPECT_EQ(GoalsOf(m, s), -1) << "match " << m << " side " << s;
        }

    // The results were stored while no team was known: they belong to no
    // pairing and stay without effect when the teams become known.
    SetScore(0, 1, 0);
    UpdateQualification();
    ASSERT_GE(TeamOf(48, 0), 0);
    EXPECT_FALSE(SideCounts(48, 0));
    EXPECT_EQ(GoalsOf(48, 0), -1);
    EXPECT_EQ(Quant(48, 0), 2);
    EXPECT_EQ(Side(48, 0).artilheiros().Count(), 1);
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), -1);
}

TEST_F(Knockout, ResultAfterADrawnMatchStaysAndReturnsWithItsTeams) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 2, 1);
    SetScore(49, 1, 0);
    SetScore(FirstQuarterFinal, 1, 0);
    AddParticipant(Side(FirstQuarterFinal, 0), 7, 1);
    SetScore(48, 1, 1);
    UpdateQualification();
    EXPECT_EQ(Quant(48, 0), 1) << "both teams of the drawn match are known";
    EXPECT_EQ(Quant(49, 0), 1);
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), -1);
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 0), -1);
    EXPECT_EQ(Quant(FirstQuarterFinal, 0), 1) << "stored for its teams, kept in the document";
    EXPECT_EQ(Quant(FirstQuarterFinal, 1), 0);
    ASSERT_EQ(Side(FirstQuarterFinal, 0).artilheiros().Count(), 1);
    EXPECT_EQ(Side(FirstQuarterFinal, 0).artilheiros()[0].Gols(), 1);

    SetScore(48, 2, 1);
    UpdateQualification();
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 0), 1);
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 1), 0);
    EXPECT_EQ(TeamOf(FirstSemiFinal, 0), TeamOf(48, 0));
    EXPECT_EQ(Side(FirstQuarterFinal, 0).artilheiros()[0].Gols(), 1);
}

TEST_F(Knockout, ParticipantsOfAnUnplayedMatchLoseTheirGoals) {
    AddParticipant(Side(0, 0), 9, 2);
    AddParticipant(Side(0, 1), 4, 0);
    AddParticipant(Side(1, 0), 11, 1);
    SetScore(1, 1, 0);
    UpdateQualification();
    EXPECT_EQ(Side(0, 0).artilheiros().Count(), 1) << "participants of a known match stay";
    EXPECT_EQ(Side(0, 0).artilheiros()[0].Gols(), -1);
    EXPECT_EQ(Side(0, 1).artilheiros()[0].Gols(), -1);
    EXPECT_EQ(Side(1, 0).artilheiros()[0].Gols(), 1) << "a played match keeps its goals";
}

TEST_F(Knockout, LastSixteenResultWaitsWhileAGroupIsReopened) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 2, 0);
    SetScore(5, -1, -1);
    UpdateQualification();
    EXPECT_EQ(TeamOf(48, 0), -1);
    EXPECT_EQ(GoalsOf(48, 0), -1);
    UpdateQualification();
    EXPECT_EQ(Quant(48, 0), 2) << "no update removes it";
    SetScore(5, ReverseOrder.goals[5][0], ReverseOrder.goals[5][1]);
    UpdateQualification();
    EXPECT_EQ(GoalsOf(48, 0), 2);
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), TeamOf(48, 0));
}

// The pairing of a knockout result is recorded on each side as the two team
// numbers, and the result follows it rather than the match slot.
TEST_F(Knockout, ResultCountsOnlyForThePairingItWasEnteredFor) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    // 48 is 1A v 2B (teams 3 and 6), 50 is 1B v 2A (teams 7 and 2).
    SetScore(48, 3, 2);
    SetScore(49, 1, 0);
    SetScore(50, 0, 1);
    SetScore(FirstQuarterFinal, 2, 0);
    AddParticipant(Side(FirstQuarterFinal, 0), 10, 2);
    EXPECT_EQ(Side(48, 0).Confronto(), "104 107");
    EXPECT_EQ(Side(48, 1).Confronto(), "104 107");
    EXPECT_EQ(Side(FirstQuarterFinal, 1).Confronto(), "104 112");
    EXPECT_FALSE(Side(0, 0).HasConfronto()) << "a group match has fixed teams";

    // Slot 2 now beats slot 3: group A ends 2, 3, 1, 0.
    SetScore(1, 1, 0);
    const std::string stored = ToText(Db().XMLJogos.Document());
    UpdateQualification();
    EXPECT_EQ(ToText(Db().XMLJogos.Document()), stored);
    ASSERT_EQ(TeamOf(48, 0), 2);
    ASSERT_EQ(TeamOf(50, 1), 3);
    for (int m : {48, 50, FirstQuarterFinal})
        for (int s = 0; s < 2; ++s) {
            EXPECT_FALSE(SideCounts(m, s)) << "match " << m;
            EXPECT_EQ(GoalsOf(m, s), -1) << "match " << m;
        }
    EXPECT_EQ(GoalsOf(49, 0), 1) << "other pairings are untouched";
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), -1) << "48 counts no winner";
    EXPECT_EQ(TeamOf(58, 0), -1) << "nor does 50";

    // Entering 48 for the new pairing replaces its old result; the quarter-final
    // then has the new winner and still none of the old results.
    SetScore(48, 1, 0);
    EXPECT_EQ(Side(48, 0).Confronto(), "103 107");
    EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), 2);
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 0), -1);
    EXPECT_EQ(Quant(FirstQuarterFinal, 0), 2);

    // Undoing the group correction and the new entry brings everything back.
    SetScore(1, 0, 1);
    UpdateQualification();
    SetScore(48, 3, 2);
    EXPECT_EQ(Side(48, 0).Confronto(), "104 107");
    EXPECT_EQ(GoalsOf(50, 1), 1);
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 0), 2);
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 1), 0);
    ASSERT_EQ(Side(FirstQuarterFinal, 0).artilheiros().Count(), 1);
    EXPECT_EQ(Side(FirstQuarterFinal, 0).artilheiros()[0].Gols(), 2);
    EXPECT_EQ(TeamOf(FirstSemiFinal, 0), 3);
}

TEST_F(Knockout, ClaimingASideReplacesOnlyAnEntryForOtherTeams) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 2, 1);
    AddParticipant(Side(48, 0), 9, 2);
    const std::string stored = ToText(Db().XMLJogos.Document());
    ClaimSide(48, 0);
    ClaimSide(0, 0);
    EXPECT_EQ(ToText(Db().XMLJogos.Document()), stored) << "both sides already count";

    Side(48, 0).SetConfronto("999 107");
    EXPECT_FALSE(SideCounts(48, 0));
    ClaimSide(48, 0);
    EXPECT_TRUE(SideCounts(48, 0));
    EXPECT_EQ(Side(48, 0).Confronto(), "104 107");
    EXPECT_EQ(Quant(48, 0), -1);
    EXPECT_EQ(Side(48, 0).artilheiros().Count(), 0);
    EXPECT_EQ(Quant(48, 1), 1) << "the other side keeps its own entry";

    EXPECT_THROW(ClaimSide(FirstQuarterFinal, 0), std::logic_error) << "its teams are unknown";
}

TEST_F(Knockout, AMalformedRecordedPairingCountsForNoTeams) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 2, 1);
    for (const char* record : {"", "104", "104 107 1", "104  107", "0104 107", "x y"}) {
        Side(48, 1).SetConfronto(record);
        EXPECT_FALSE(SideCounts(48, 1)) << "'" << record << "'";
        EXPECT_EQ(TeamOf(FirstQuarterFinal, 0), -1) << "'" << record << "'";
    }
}

// Knockout results entered for a complete group phase, saved in both files.
class KnockoutAcrossRestart : public QualificationTest {
protected:
    void SetUp() override {
        QualificationTest::SetUp();
        PlayAllGroups(ReverseOrder);
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
            SetScore(m, 1 + m % 2, 2 - m % 2);
        AddParticipant(Side(Final, 0), 10, 1);
        Db().XMLJogos.SaveToFile();
        Db().XMLSelecoes.SaveToFile();
        Reopen();
    }

    void ExpectKnockoutResults(int except = -1) {
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m) {
            if (m == except)
                continue;
            EXPECT_EQ(Quant(m, 0), 1 + m % 2) << "match " << m;
            EXPECT_EQ(Quant(m, 1), 2 - m % 2) << "match " << m;
        }
        ASSERT_EQ(Side(Final, 0).artilheiros().Count(), 1);
        EXPECT_EQ(Side(Final, 0).artilheiros()[0].Gols(), 1);
    }
};

TEST_F(KnockoutAcrossRestart, InitialStandingsKeepKnockoutResultsThroughAScoreEntry) {
    ComputeInitialStandings();
    UpdateQualification();
    ExpectKnockoutResults();
    // A score entry saves the match file as it is in memory.
    SetScore(ThirdPlace, 4, 0);
    Db().XMLJogos.SaveToFile();
    Reopen();
    ComputeInitialStandings();
    UpdateQualification();
    EXPECT_EQ(Quant(ThirdPlace, 0), 4);
    EXPECT_EQ(Quant(ThirdPlace, 1), 0);
    ExpectKnockoutResults(ThirdPlace);
    EXPECT_NE(TeamOf(Final, 0), -1);
}

TEST_F(KnockoutAcrossRestart, WithoutInitialStandingsTheFirstUpdateStillClearsNothing) {
    const std::string stored = ReadFile(dir_.Dados() / "jogos.xml");
    UpdateQualification();
    Db().XMLJogos.SaveToFile();
    EXPECT_EQ(ReadFile(dir_.Dados() / "jogos.xml"), stored);
    ExpectKnockoutResults();
}

TEST_F(KnockoutAcrossRestart, AFileWithoutRecordedPairingsGetsThoseItGivesAtOpen) {
    // The file as written before pairings were recorded; the semi-final 61
    // holds a result although 58 is drawn, so its teams are unknown.
    SetScore(58, 1, 1);
    SetScore(61, 3, 0);
    for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
        for (int s = 0; s < 2; ++s)
            Side(m, s).DOMNode().remove_attribute("Confronto");
    Db().XMLJogos.SaveToFile();
    Reopen();
    ComputeInitialStandings();
    Db().XMLJogos.SaveToFile();
    const pugi::xml_document saved = [&] {
        pugi::xml_document document;
        document.load_file((dir_.Dados() / "jogos.xml").c_str());
        return document;
    }();
    const auto disk = [&](int m, int s) {
        pugi::xml_node jogo = saved.document_element().first_child();
        for (int i = 0; i < m; ++i)
            jogo = jogo.next_sibling();
        pugi::xml_node equipe = jogo.child("equipes").first_child();
        return s == 0 ? equipe : equipe.next_sibling();
    };
    for (int s = 0; s < 2; ++s) {
        EXPECT_STREQ(disk(48, s).attribute("Confronto").value(), "104 107");
        EXPECT_STREQ(disk(FirstQuarterFinal, s).attribute("Confronto").value(),
                     "107 112") // winners of 48 (1-2) and 49 (2-1)
            << s;
        EXPECT_FALSE(disk(61, s).attribute("Confronto")) << "no teams to record";
        EXPECT_FALSE(disk(5, s).attribute("Confronto")) << "group match";
    }
    EXPECT_EQ(GoalsOf(FirstQuarterFinal, 0), Quant(FirstQuarterFinal, 0));
    EXPECT_EQ(GoalsOf(61, 0), -1);
    EXPECT_EQ(Quant(61, 0), 3);
    EXPECT_GE(TeamOf(Final, 0), 0) << "the final's teams come from 60 and 61";
    EXPECT_EQ(TeamOf(Final, 1), -1);
}

TEST_F(KnockoutAcrossRestart, InitialStandingsMatchThoseOfAnUpdate) {
    ComputeInitialStandings();
    const auto initialTable = GroupTable;
    const auto initialStandings = Standings;
    UpdateQualification();
    EXPECT_EQ(GroupTable, initialTable);
    for (int t = 0; t < TeamCount; ++t) {
        EXPECT_EQ(Standings[t].Points, initialStandings[t].Points) << t;
        EXPECT_EQ(Standings[t].Played, initialStandings[t].Played) << t;
    }
    EXPECT_EQ(TeamOf(48, 0), 3);
}

} // namespace
} // namespace torvel_test
