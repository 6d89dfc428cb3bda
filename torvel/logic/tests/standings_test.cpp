// Group standings: the mini-league, its exchange sort and the head-to-head
// runs of level teams.

#include "qualification_fixture.h"

namespace torvel_test {
namespace {

using Standing = QualificationTest;

// Team slots of group A: matches 0 (0-1), 1 (2-3), 2 (0-2), 3 (3-1), 4 (3-0), 5 (1-2).

// Slots 0 and 1 level in everything, their own match drawn; 2 and 3 lose to
// both and draw with each other.
constexpr GroupScores LevelPairOnTop = {{{1, 1}, {0, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}}};

void RankOnly() {
    BuildGroupTable();
    RankGroups();
    RankHeadToHead();
}

TEST_F(Standing, GroupWithoutPlayedMatchIsOneRunOfFourThatStaysTied) {
    UpdateQualification();
    for (int g = 0; g < GroupCount; ++g) {
        EXPECT_EQ(GroupTable[g], Row(g, {0, 1, 2, 3})) << "group " << g;
        for (int team : GroupTable[g]) {
            const TeamStats& s = Standings[team];
            EXPECT_TRUE(s.Tied) << team;
            EXPECT_EQ(s.Group, g);
            EXPECT_EQ(s.Played, 0);
            EXPECT_EQ(s.Points, 0);
            EXPECT_EQ(s.GoalsFor, 0);
            EXPECT_EQ(s.GoalsAgainst, 0);
        }
    }
    EXPECT_TRUE(question_.asked.empty());
}

TEST_F(Standing, DrawGivesOnePointEachAndWinThree) {
    SetScore(0, 1, 1);
    SetScore(1, 2, 0);
    UpdateQualification();
    const TeamStats& drew0 = Standings[0];
    const TeamStats& drew1 = Standings[1];
    for (const TeamStats* s : {&drew0, &drew1}) {
        EXPECT_EQ(s->Played, 1);
        EXPECT_EQ(s->Points, 1);
        EXPECT_EQ(s->GoalsFor, 1);
        EXPECT_EQ(s->GoalsAgainst, 1);
    }
    EXPECT_EQ(Standings[2].Points, 3);
    EXPECT_EQ(Standings[2].GoalsFor, 2);
    EXPECT_EQ(Standings[2].GoalsAgainst, 0);
    EXPECT_EQ(Standings[3].Points, 0);
    EXPECT_EQ(Standings[3].GoalsAgainst, 2);
    EXPECT_EQ(GroupTable[0], Row(0, {2, 1, 0, 3}));
}

TEST_F(Standing, ScoreOnOneSideOnlyCountsForNobody) {
    Side(0, 0).gols().SetQuant(2);
    Side(1, 1).gols().SetQuant(3);
    UpdateQualification();
    for (int team = 0; team < TeamsPerGroup; ++team) {
        EXPECT_EQ(Standings[team].Played, 0) << team;
        EXPECT_EQ(Standings[team].Points, 0) << team;
        EXPECT_EQ(Standings[team].GoalsFor, 0) << team;
    }
}

TEST_F(Standing, GoalDifferenceOutranksGoalsScored) {
    // All on 3 points but slot 1: slot 0 +2 with 2 goals, slot 2 +1 with 4,
    // slot 3 0 with 4.
    SetScore(0, 2, 0);
    SetScore(1, 4, 3);
    SetScore(3, 1, 0);
    UpdateQualification();
    EXPECT_EQ(GroupTable[0], Row(0, {0, 2, 3, 1}));
    for (int team = 0; team < TeamsPerGroup; ++team)
        EXPECT_FALSE(Standings[team].Tied) << team;
}

TEST_F(Standing, GoalsScoredSeparateEqualPointsAndDifference) {
    SetScore(0, 1, 1);
    SetScore(1, 2, 2);
    UpdateQualification();
    EXPECT_EQ(GroupTable[0], Row(0, {2, 3, 0, 1}));
    for (int team = 0; team < TeamsPerGroup; ++team)
        EXPECT_TRUE(Standings[team].Tied) << team;
}

TEST_F(Standing, HeadToHeadWinnerOfALevelPairGoesFirst) {
    // Slots 0 and 1: 4 points, 1-1 in goals, 0 beat 1, but the exchange sort
    // leaves 1 above 0. Slot 3 has 5 points and drew with both: in a
    // head-to-head of the three it would fall behind 0, so it must not join.
    PlayGroup(0, {{{1, 0}, {0, 2}, {0, 1}, {0, 0}, {0, 0}, {1, 0}}});
    BuildGroupTable();
    RankGroups();
    EXPECT_EQ(GroupTable[0], Row(0, {3, 1, 0, 2}));
    EXPECT_TRUE(Standings[0].Tied);
    EXPECT_TRUE(Standings[1].Tied);
    RankHeadToHead();
    EXPECT_EQ(GroupTable[0], Row(0, {3, 0, 1, 2}));
    for (int team = 0; team < TeamsPerGroup; ++team)
        EXPECT_FALSE(Standings[team].Tied) << team;
    EXPECT_EQ(Standings[0].Points, 4) << "overall figures stay in Standings";
    EXPECT_EQ(Standings[0].Played, 3);
}

TEST_F(Standing, LotRanksOrderAFullyLevelPair) {
    PlayGroup(0, LevelPairOnTop);
    SetGrupo(0, "A1");
    SetGrupo(1, "A0");
    RankOnly();
    EXPECT_EQ(GroupTable[0], Row(0, {1, 0, 2, 3}));
    EXPECT_FALSE(Standings[0].Tied);
    EXPECT_FALSE(Standings[1].Tied);
}

TEST_F(Standing, FullyLevelPairWithoutLotRanksStaysTied) {
    PlayGroup(0, LevelPairOnTop);
    SetGrupo(1, "A0");
    RankOnly();
    EXPECT_EQ(GroupTable[0], Row(0, {0, 1, 2, 3}));
    EXPECT_TRUE(Standings[0].Tied);
    EXPECT_TRUE(Standings[1].Tied);
}

TEST_F(Standing, InvalidLotRankCountsAsNone) {
    PlayGroup(0, LevelPairOnTop);
    SetGrupo(0, "Ax");
    SetGrupo(1, "A0");
    RankOnly();
    EXPECT_EQ(GroupTable[0], Row(0, {0, 1, 2, 3}));
    EXPECT_TRUE(Standings[1].Tied);
    EXPECT_EQ(Standings[0].LotRank, -1);
    EXPECT_EQ(Standings[1].LotRank, 0);
}

// Slots 0 and 1 drew 2-2, 2 and 3 drew 0-0; every team won and lost once:
// all on 4 points and goal difference 0, the first pair with more goals.
constexpr GroupScores TwoLevelPairs = {{{2, 2}, {0, 0}, {1, 0}, {0, 1}, {1, 0}, {0, 1}}};

TEST_F(Standing, TwoLevelPairsFormOneRunOfFour) {
    PlayGroup(0, TwoLevelPairs);
    SetGrupo(2, "A0");
    SetGrupo(0, "A1");
    SetGrupo(3, "A2");
    SetGrupo(1, "A3");
    BuildGroupTable();
    RankGroups();
    EXPECT_EQ(GroupTable[0], Row(0, {0, 1, 2, 3}));
    for (int team = 0; team < TeamsPerGroup; ++team)
        EXPECT_TRUE(Standings[team].Tied) << team;
    RankHeadToHead();
    // Two runs of two would keep each pair in its half.
    EXPECT_EQ(GroupTable[0], Row(0, {2, 0, 3, 1}));
    for (int team = 0; team < TeamsPerGroup; ++team)
        EXPECT_FALSE(Standings[team].Tied) << team;
}

TEST_F(Standing, TwoLevelPairsWithoutLotRanksAreAskedAsOneRun) {
    PlayGroup(0, TwoLevelPairs);
    UpdateQualification();
    ASSERT_EQ(question_.asked.size(), 3u);
    EXPECT_EQ(question_.asked[0].names.size(), 4u);
}

TEST_F(Standing, TeamsWithMorePointsDoNotJoinALevelPairBelow) {
    // Every team scored 3 and conceded 3; slots 0 and 1 have 6 points, 0 beat
    // 1; slots 2 and 3 have 3 points, 2 beat 3. A run of all four would find
    // 0 and 1 level in its mini-league (6 points, difference 0 each) and ask.
    PlayGroup(0, {{{2, 0}, {2, 0}, {1, 0}, {0, 1}, {3, 0}, {2, 1}}});
    UpdateQualification();
    EXPECT_TRUE(question_.asked.empty());
    EXPECT_EQ(GroupTable[0], Row(0, {0, 1, 2, 3}));
    for (int team = 0; team < TeamsPerGroup; ++team)
        EXPECT_FALSE(Standings[team].Tied) << team;
}

TEST_F(Standing, LevelPairsOnDifferentPointsAreAskedSeparately) {
    PlayGroup(0, LevelPairOnTop);
    UpdateQualification();
    ASSERT_EQ(question_.asked.size(), 2u);
    EXPECT_EQ(question_.asked[0].names, (std::vector<std::string>{"Time 0", "Time 1"}));
    EXPECT_NE(question_.asked[0].intro.find("disputa pelo 1 .º lugar"), std::string::npos);
    EXPECT_EQ(question_.asked[1].names, (std::vector<std::string>{"Time 2", "Time 3"}));
    EXPECT_NE(question_.asked[1].intro.find("disputa pelo 3 .º lugar"), std::string::npos);
}

TEST_F(Standing, MiniTableCountsOnlyMatchesAmongTheListedTeams) {
    PlayGroup(0, ReverseOrder);
    BuildGroupTable();
    std::vector<int32_t> teams = {0, 2};
    MiniTable(teams, 0, 5, true);
    EXPECT_EQ(teams, (std::vector<int32_t>{2, 0}));
    EXPECT_EQ(WorkStandings[2].Played, 1);
    EXPECT_EQ(WorkStandings[2].Points, 3);
    EXPECT_EQ(WorkStandings[0].GoalsAgainst, 1);
    std::vector<int32_t> none = {0, 2};
    MiniTable(none, 5, 4, false);
    EXPECT_EQ(WorkStandings[2].Played, 0) << "an empty range counts nothing";
}

} // namespace
} // namespace torvel_test
