// Generated tournaments with a fixed seed: whatever the results, the
// standings keep their invariants.

#include "qualification_fixture.h"

#include <algorithm>
#include <random>
#include <set>

namespace torvel_test {
namespace {

// Answers every tie question with a random offered team.
class RandomTieQuestion : public TTieQuestion {
public:
    explicit RandomTieQuestion(std::mt19937& random) : random_(random) {}
    int asked = 0;
    int Ask(const std::string&, const std::vector<std::string>& names) override {
        ++asked;
        return std::uniform_int_distribution<int>(0, static_cast<int>(names.size()) - 1)(random_);
    }

private:
    std::mt19937& random_;
};

struct Reckoning {
    int played = 0, wins = 0, draws = 0, goalsFor = 0, goalsAgainst = 0;
};

class RandomTournaments : public QualificationTest {
protected:
    // Enters random group results, every one of them when complete, and
    // random knockout results, draws included; returns each team's figures
    // reckoned from the entered scores.
    std::vector<Reckoning> Generate(std::mt19937& random, bool complete) {
        std::uniform_int_distribution<int> goals(0, 3);
        std::bernoulli_distribution unplayed(0.15);
        std::vector<Reckoning> reckoning(TeamCount);
        for (int team = 0; team < TeamCount; ++team)
            SetGrupo(team, std::string(1, static_cast<char>('A' + team / TeamsPerGroup)));
        for (int m = 0; m < GroupMatchCount; ++m) {
            if (!complete && unplayed(random)) {
                SetScore(m, -1, -1);
                continue;
            }
            const int q0 = goals(random);
            const int q1 = goals(random);
            SetScore(m, q0, q1);
            Reckoning& a = reckoning[Side(m, 0).Ident() - 101];
            Reckoning& b = reckoning[Side(m, 1).Ident() - 101];
            ++a.played;
            ++b.played;
            a.goalsFor += q0;
            a.goalsAgainst += q1;
            b.goalsFor += q1;
            b.goalsAgainst += q0;
            if (q0 == q1) {
                ++a.draws;
                ++b.draws;
            } else {
                ++(q0 > q1 ? a : b).wins;
            }
        }
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
            SetScore(m, goals(random), goals(random));
        return reckoning;
    }
};

TEST_F(RandomTournaments, StandingsKeepTheirInvariants) {
    std::mt19937 random(20140612);
    RandomTieQuestion answers(random);
    TieQuestion = &answers;
    int completeRuns = 0;
    for (int run = 0; run < 80; ++run) {
        const bool complete = run % 2 == 0;
        const std::vector<Reckoning> reckoning = Generate(random, complete);
        UpdateQualification();
        for (int g = 0; g < GroupCount; ++g) {
            TGroupRow sorted = GroupTable[g];
            std::sort(sorted.begin(), sorted.end());
            ASSERT_EQ(sorted, Row(g, {0, 1, 2, 3})) << "run " << run << " group " << g;
            for (int p = 0; p + 1 < TeamsPerGroup; ++p) {
                const TeamStats& upper = Standings[GroupTable[g][p]];
                const TeamStats& lower = Standings[GroupTable[g][p + 1]];
                ASSERT_GE(upper.Points, lower.Points) << "run " << run << " group " << g;
                if (upper.Points == lower.Points) {
                    ASSERT_GE(upper.GoalsFor - upper.GoalsAgainst,
                              lower.GoalsFor - lower.GoalsAgainst)
                        << "run " << run << " group " << g;
                }
            }
        }
        for (int t = 0; t < TeamCount; ++t) {
            const Reckoning& r = reckoning[t];
            ASSERT_EQ(Standings[t].Played, r.played) << "run " << run << " team " << t;
            ASSERT_EQ(Standings[t].Points, 3 * r.wins + r.draws) << "run " << run << " team " << t;
            ASSERT_EQ(Standings[t].GoalsFor, r.goalsFor) << "run " << run << " team " << t;
            ASSERT_EQ(Standings[t].GoalsAgainst, r.goalsAgainst) << "run " << run << " team " << t;
        }
        std::set<int> lastSixteen;
        for (int m = FirstKnockoutMatch; m < FirstLaterRoundMatch; ++m)
            for (int s = 0; s < 2; ++s) {
                const int team = TeamOf(m, s);
                if (!complete) {
                    ASSERT_EQ(team, -1) << "run " << run;
                    continue;
                }
                const int group = GroupIndexOf(Side(m, s).Grupo());
                ASSERT_EQ(team, GroupTable[group][Side(m, s).Pos() - 1]) << "run " << run;
                lastSixteen.insert(team);
            }
        if (complete) {
            ++completeRuns;
            ASSERT_EQ(lastSixteen.size(), 16u) << "run " << run;
            // The decisions are stored: the next update asks nothing and
            // leaves no complete group with a tie.
            const int askedBefore = answers.asked;
            UpdateQualification();
            ASSERT_EQ(answers.asked, askedBefore) << "run " << run;
            for (int t = 0; t < TeamCount; ++t)
                ASSERT_FALSE(Standings[t].Tied) << "run " << run << " team " << t;
        }
    }
    EXPECT_EQ(completeRuns, 40);
    EXPECT_GT(answers.asked, 0) << "the generated results include ties by lot";
    TieQuestion = &question_;
}

} // namespace
} // namespace torvel_test
