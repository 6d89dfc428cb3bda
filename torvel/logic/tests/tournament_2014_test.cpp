// The 2014 tournament of the shipped data played through with its real
// results: group tables, every knockout slot and the champion.

#include "qualification_fixture.h"
#include "tournament_2014.h"

#include <filesystem>

namespace torvel_test {
namespace {

class Tournament2014 : public QualificationTest {
protected:
    void SetUp() override {
        QualificationTest::SetUp();
        for (const char* name : {"selecoes.xml", "jogos.xml"})
            std::filesystem::copy_file(std::filesystem::path(TORVEL_DADOS_DIR) / name,
                                       dir_.Dados() / name,
                                       std::filesystem::copy_options::overwrite_existing);
        Reopen();
        ComputeInitialStandings();
    }

    int Winner(int match) { return TeamOf(match, Quant(match, 0) > Quant(match, 1) ? 0 : 1); }

    // Checks that the sides resolve to the named teams, then enters the score.
    void Enter(const Result& result) {
        EXPECT_EQ(Name(TeamOf(result.match, 0)), result.team0) << "match " << result.match;
        EXPECT_EQ(Name(TeamOf(result.match, 1)), result.team1) << "match " << result.match;
        SetScore(result.match, result.goals0, result.goals1);
    }
};

TEST_F(Tournament2014, GroupTablesQualifiedTeamsBracketAndChampion) {
    for (const Result& result : GroupResults)
        Enter(result);
    UpdateQualification();
    EXPECT_TRUE(question_.asked.empty()) << "2014 needed no drawing of lots";
    for (int g = 0; g < GroupCount; ++g)
        for (int p = 0; p < TeamsPerGroup; ++p)
            EXPECT_EQ(Name(GroupTable[g][p]), FinalGroupTables[g][p])
                << "group " << g << " place " << p + 1;
    EXPECT_EQ(Standings[GroupTable[0][0]].Points, 7);
    EXPECT_EQ(Standings[GroupTable[0][1]].Points, 7);
    EXPECT_EQ(Standings[GroupTable[6][1]].GoalsFor, 4);

    for (const Result& result : KnockoutResults)
        Enter(result);
    UpdateQualification();
    // The update keeps every result and every slot.
    for (const Result& result : KnockoutResults) {
        EXPECT_EQ(Quant(result.match, 0), result.goals0) << "match " << result.match;
        EXPECT_EQ(Quant(result.match, 1), result.goals1) << "match " << result.match;
        EXPECT_EQ(Name(TeamOf(result.match, 0)), result.team0) << "match " << result.match;
        EXPECT_EQ(Name(TeamOf(result.match, 1)), result.team1) << "match " << result.match;
    }
    EXPECT_EQ(Name(Winner(63)), "Alemanha");
    EXPECT_EQ(Name(Winner(62)), "Holanda");
}

} // namespace
} // namespace torvel_test
