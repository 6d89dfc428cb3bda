// The overall ranking of the national teams and the ranking of the scorers.

#include "qualification_fixture.h"
#include "torvel_ranking.h"

#include <algorithm>
#include <set>

namespace torvel_test {
namespace {

// Slots 0, 1 and 2 beat slot 3 by 6, 5 and 4 goals and beat one another in a
// circle by 1-0: three teams on 6 points, the third with goal difference +4.
constexpr GroupScores Circle = {{{1, 0}, {4, 0}, {0, 1}, {0, 5}, {0, 6}, {1, 0}}};

class Ranking : public QualificationTest {
protected:
    void SetUp() override {
        QualificationTest::SetUp();
        RankingOrder = {};
        RankingStats = {};
        Scorers.clear();
    }

    std::set<int32_t> Teams(size_t from, size_t to) const {
        return {RankingOrder.begin() + from, RankingOrder.begin() + to};
    }
    static std::set<int32_t> Slot(int slot) {
        std::set<int32_t> teams;
        for (int g = 0; g < GroupCount; ++g)
            teams.insert(TeamsPerGroup * g + slot);
        return teams;
    }
    // Every group complete: group A plays Circle, the others ReverseOrder.
    void PlayCircleAndReverse() {
        PlayAllGroups(ReverseOrder);
        PlayGroup(0, Circle);
    }
    void AddScorer(int match, int side, int shirt, int goals) {
        const torvel_db_jogos::IXMLJogadorType jogador = Side(match, side).artilheiros().Add();
        jogador.SetNo(shirt);
        jogador.SetGols(goals);
    }
};

TEST_F(Ranking, WithoutResultsEveryTeamIsLevelInGroupTableOrder) {
    OverallRanking();
    for (int i = 0; i < TeamCount; ++i) {
        EXPECT_EQ(RankingOrder[i], i) << "position " << i;
        EXPECT_TRUE(RankingStats[i].Tied);
        if (i > 0) {
            EXPECT_TRUE(RankingLevel(RankingOrder[i - 1], RankingOrder[i]));
        }
    }
}

TEST_F(Ranking, BeforeAnyKnockoutResultAllTeamsAreRankedByAllMatches) {
    PlayCircleAndReverse();
    OverallRanking();
    // Seven group winners on 9 points, then group A's three teams on 6 points
    // with goal differences +6, +5 and +4: the third of group A is tenth,
    // above the runners-up of the other groups.
    std::set<int32_t> winners = Slot(3);
    winners.erase(3);
    EXPECT_EQ(Teams(0, 7), winners);
    EXPECT_EQ(RankingOrder[7], 0);
    EXPECT_EQ(RankingOrder[8], 1);
    EXPECT_EQ(RankingOrder[9], 2);
    EXPECT_EQ(RankingStats[2].Points, 6);
    std::set<int32_t> runnersUp = Slot(2);
    runnersUp.erase(2);
    EXPECT_EQ(Teams(10, 17), runnersUp);
    EXPECT_EQ(RankingOrder[31], 3) << "group A's fourth lost by 15 goals";
    EXPECT_EQ(Teams(0, TeamCount).size(), static_cast<size_t>(TeamCount));
}

TEST_F(Ranking, AKnockoutDrawSplitsQualifiedAndEliminated) {
    PlayCircleAndReverse();
    UpdateQualification();
    ASSERT_EQ(TeamOf(48, 0), 0) << "1A";
    ASSERT_EQ(TeamOf(48, 1), 6) << "2B";
    SetScore(48, 1, 1);
    OverallRanking();

    std::set<int32_t> qualified{0, 1};
    for (int g = 1; g < GroupCount; ++g) {
        qualified.insert(TeamsPerGroup * g + 3);
        qualified.insert(TeamsPerGroup * g + 2);
    }
    EXPECT_EQ(Teams(0, 16), qualified);
    EXPECT_EQ(Teams(0, 2), (std::set<int32_t>{0, 6})) << "the draw gave them a point each";
    EXPECT_EQ(RankingStats[0].Points, 1);
    EXPECT_EQ(RankingStats[6].GoalsFor, 1);
    EXPECT_TRUE(RankingLevel(RankingOrder[0], RankingOrder[1]));
    EXPECT_FALSE(RankingLevel(RankingOrder[1], RankingOrder[2]));
    // The third of group A, tenth before, now heads the eliminated teams by
    // its group figures.
    EXPECT_EQ(RankingOrder[16], 2);
    EXPECT_EQ(RankingStats[2].Points, 6);
    std::set<int32_t> thirds = Slot(1);
    thirds.erase(1);
    EXPECT_EQ(Teams(17, 24), thirds);
    EXPECT_EQ(RankingOrder[31], 3);
}

TEST_F(Ranking, KnockoutWinnersRankAboveTheirLosers) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 2, 0);
    SetScore(49, 0, 3);
    OverallRanking();
    EXPECT_EQ(Teams(0, 2), (std::set<int32_t>{TeamOf(48, 0), TeamOf(49, 1)}));
    EXPECT_EQ(RankingOrder[0], TeamOf(49, 1)) << "the bigger win comes first";
    EXPECT_EQ(RankingOrder[15], TeamOf(49, 0)) << "the heavier defeat comes last";
}

TEST_F(Ranking, TiedRunIsOrderedByItsMatchesUpToTheLastEntry) {
    // Team 0 beat team 1; the ranking figures leave them level.
    SetScore(0, 1, 0);
    for (int32_t t = 0; t < TeamCount; ++t)
        RankingStats[t] = {true, -1, t / TeamsPerGroup, 0, 3, 1, 1};
    RankingStats[8].Points = 9;
    RankingStats[12].Points = 6;
    std::vector<int32_t> list{8, 12, 1, 0};
    ResolveTies(list, 0, GroupMatchCount - 1);
    EXPECT_EQ(list, (std::vector<int32_t>{8, 12, 0, 1})) << "a run of two at the end";

    RankingStats[12].Points = 3;
    list = {8, 12, 1, 0};
    ResolveTies(list, 0, GroupMatchCount - 1);
    EXPECT_EQ(list, (std::vector<int32_t>{8, 0, 12, 1})) << "a run of three at the end";
}

TEST_F(Ranking, TiedRunOfAllThirtyTwoIncludesTheLastEntry) {
    SetScore(0, 1, 0);
    for (int32_t t = 0; t < TeamCount; ++t)
        RankingStats[t].Tied = true;
    std::vector<int32_t> list;
    for (int32_t t = 2; t < TeamCount; ++t)
        list.push_back(t);
    list.push_back(1);
    list.push_back(0);
    ResolveTies(list, 0, GroupMatchCount - 1);
    EXPECT_EQ(list.front(), 0) << "the last entry took part and won its match";
    EXPECT_EQ(list.back(), 1);
}

TEST_F(Ranking, UntiedNeighboursAreLeftAlone) {
    SetScore(0, 1, 0);
    RankingStats[0] = {false, -1, 0, 0, 3, 1, 0};
    RankingStats[1] = {false, -1, 0, 0, 3, 1, 0};
    std::vector<int32_t> list{1, 0};
    ResolveTies(list, 0, GroupMatchCount - 1);
    EXPECT_EQ(list, (std::vector<int32_t>{1, 0}));
    RankingStats[1].Tied = RankingStats[0].Tied = true;
    RankingStats[1].GoalsAgainst = 1;
    ResolveTies(list, 0, GroupMatchCount - 1);
    EXPECT_EQ(list, (std::vector<int32_t>{1, 0})) << "different goal difference";
}

TEST_F(Ranking, ScorersShareAPositionAndTheNextCountTakesTheNextNumber) {
    SetScore(0, 3, 2);
    AddScorer(0, 0, 9, 1);
    AddScorer(0, 0, 10, 2);
    AddScorer(0, 1, 7, 2);
    SetScore(1, 3, 0);
    AddScorer(1, 0, 11, 3);
    EXPECT_TRUE(ScorerRanking());
    ASSERT_EQ(Scorers.size(), 4u);
    const int32_t positions[] = {1, 2, 2, 3};
    const int32_t goals[] = {3, 2, 2, 1};
    for (size_t k = 0; k < Scorers.size(); ++k) {
        EXPECT_EQ(Scorers[k].Position, positions[k]) << k;
        EXPECT_EQ(Scorers[k].Goals, goals[k]) << k;
    }
    EXPECT_EQ(Scorers[0].Team, 2);
    EXPECT_EQ(Scorers[0].Shirt, 11);
    EXPECT_EQ(Scorers[3].Shirt, 9);
}

TEST_F(Ranking, GoalsAccumulateOverTheMatchesOfATeam) {
    // Team 0 plays matches 0, 2 and 4 of group A, on side 0, 0 and 1.
    SetScore(0, 1, 0);
    AddScorer(0, 0, 9, 1);
    SetScore(2, 2, 2);
    AddScorer(2, 0, 9, 2);
    AddScorer(2, 1, 5, 2);
    SetScore(4, 0, 1);
    AddScorer(4, 1, 9, 1);
    EXPECT_TRUE(ScorerRanking());
    ASSERT_EQ(Scorers.size(), 2u);
    EXPECT_EQ(Scorers[0].Team, 0);
    EXPECT_EQ(Scorers[0].Shirt, 9);
    EXPECT_EQ(Scorers[0].Goals, 4);
    EXPECT_EQ(Scorers[1].Team, 2);
    EXPECT_EQ(Scorers[1].Goals, 2);
}

TEST_F(Ranking, TheSameShirtInTwoTeamsGivesTwoScorers) {
    SetScore(0, 1, 1);
    AddScorer(0, 0, 9, 1);
    AddScorer(0, 1, 9, 1);
    AddScorer(0, 1, 4, 0);
    EXPECT_TRUE(ScorerRanking());
    ASSERT_EQ(Scorers.size(), 2u) << "a participant without goals is no scorer";
    EXPECT_EQ(Scorers[0].Team, 0);
    EXPECT_EQ(Scorers[1].Team, 1);
    EXPECT_EQ(Scorers[0].Position, 1);
    EXPECT_EQ(Scorers[1].Position, 1);
}

TEST_F(Ranking, KnockoutGoalsCountForTheTeamPlayingThere) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 0, 2);
    AddScorer(48, 1, 20, 2);
    EXPECT_FALSE(ScorerRanking()) << "the group goals are attributed to nobody";
    ASSERT_EQ(Scorers.size(), 1u);
    EXPECT_EQ(Scorers[0].Team, TeamOf(48, 1));
    EXPECT_EQ(Scorers[0].Goals, 2);
}

TEST_F(Ranking, KnockoutResultOfAnotherPairingCountsInNeitherRanking) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 3, 2); // teams 3 and 6
    AddScorer(48, 0, 10, 3);
    AddScorer(48, 1, 10, 2);
    const auto scorers = [] {
        std::set<std::pair<int32_t, int32_t>> found;
        for (const TScorer& scorer : Scorers)
            found.insert({scorer.Team, scorer.Goals});
        return found;
    };
    OverallRanking();
    EXPECT_EQ(RankingOrder[0], 3);
    EXPECT_EQ(RankingStats[3].Played, 1) << "ranked by the knockout match";
    ScorerRanking();
    EXPECT_EQ(scorers(), (std::set<std::pair<int32_t, int32_t>>{{3, 3}, {6, 2}}));

    // Slot 2 now beats slot 3, so 48 becomes team 2 against team 6.
    SetScore(1, 1, 0);
    OverallRanking();
    ASSERT_EQ(TeamOf(48, 0), 2);
    for (int32_t team : {2, 3, 6})
        EXPECT_EQ(RankingStats[team].Played, 3) << "group matches only, team " << team;
    ScorerRanking();
    EXPECT_TRUE(Scorers.empty()) << "the goals of 3 v 6 belong to no squad of 2 v 6";

    SetScore(1, 0, 1);
    OverallRanking();
    EXPECT_EQ(RankingOrder[0], 3);
    EXPECT_EQ(RankingStats[3].Played, 1);
    ScorerRanking();
    EXPECT_EQ(scorers(), (std::set<std::pair<int32_t, int32_t>>{{3, 3}, {6, 2}}));
}

TEST_F(Ranking, ScorerRankingIsTrueExactlyWhenAttributedGoalsMatchTheResults) {
    EXPECT_TRUE(ScorerRanking()) << "no goals at all";
    EXPECT_TRUE(Scorers.empty());

    SetScore(0, 2, 0);
    AddScorer(0, 0, 9, 1);
    EXPECT_FALSE(ScorerRanking()) << "one goal attributed to nobody";
    ASSERT_EQ(Scorers.size(), 1u);

    Side(0, 0).artilheiros()[0].SetGols(3);
    EXPECT_FALSE(ScorerRanking()) << "more goals attributed than scored";

    Side(0, 0).artilheiros()[0].SetGols(2);
    EXPECT_TRUE(ScorerRanking());
    EXPECT_EQ(Scorers.size(), 1u) << "the ranking starts afresh";
}

TEST_F(Ranking, GoalsOfAnUnplayedMatchAreDroppedByTheUpdate) {
    AddScorer(0, 0, 9, 2);
    EXPECT_TRUE(ScorerRanking());
    EXPECT_TRUE(Scorers.empty());
    EXPECT_EQ(Side(0, 0).artilheiros()[0].Gols(), -1);
}

} // namespace
} // namespace torvel_test
