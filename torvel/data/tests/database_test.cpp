#include "torvel_database.h"
#include "tournament_fixture.h"
#include "tournament_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>

using namespace torvel_test;

class Database : public ::testing::Test {
protected:
    TempProgramDir dir;

    std::string Key(const TTorvelDatabase& db, int32_t match) {
        return db.Jogos[match].data() + db.Jogos[match].hora();
    }
};

TEST_F(Database, OpensAValidTournamentBesideTheProgram) {
    dir.WriteValidTournament();
    TTorvelDatabase db(dir.Path());
    EXPECT_FALSE(LoadFailed) << LoadFailedReason;
    EXPECT_EQ(TorvelDatabase, &db);
    EXPECT_EQ(ProgramDir, dir.Path());
    EXPECT_EQ(db.XMLJogos.FileName, dir.Path() + "dados/jogos.xml");
    EXPECT_EQ(db.Selecoes.Count(), 32);
    EXPECT_EQ(db.Jogos.Count(), 64);
    EXPECT_EQ(db.Selecoes[5].Nome(), "Time 5");
}

TEST_F(Database, IndexOfTeamFindsTheFirstTeamWithTheNumber) {
    dir.WriteValidTournament();
    TTorvelDatabase db(dir.Path());
    EXPECT_EQ(db.IndexOfTeam(101), 0);
    EXPECT_EQ(db.IndexOfTeam(132), 31);
    EXPECT_EQ(db.IndexOfTeam(7), -1);
    db.Selecoes[9].SetNo(104);
    EXPECT_EQ(db.IndexOfTeam(104), 3);
    db.Selecoes[2].SetNo(104);
    EXPECT_EQ(db.IndexOfTeam(104), 2);
}

// Team, Match and Side answer what walking the lists answers, also after items
// were added or removed through the bindings and after the files were opened
// again.
TEST_F(Database, PositionalLookupsFollowTheListsAsTheyChange) {
    dir.WriteValidTournament();
    TTorvelDatabase db(dir.Path());
    const auto expectListsMatch = [&](const char* when) {
        for (int t = 0; t < db.Selecoes.Count(); ++t) {
            ASSERT_EQ(db.Team(t), db.Selecoes[t]) << when << ", team " << t;
            EXPECT_EQ(db.IndexOfTeam(db.Selecoes[t].No()), t) << when << ", team " << t;
        }
        for (int m = 0; m < db.Jogos.Count(); ++m) {
            ASSERT_EQ(db.Match(m), db.Jogos[m]) << when << ", match " << m;
            for (int s = 0; s < db.Jogos[m].equipes().Count(); ++s)
                ASSERT_EQ(db.Side(m, s), db.Jogos[m].equipes()[s]) << when << ", match " << m;
        }
    };
    expectListsMatch("opened");
    EXPECT_THROW(db.Team(32), std::out_of_range);
    EXPECT_THROW(db.Match(-1), std::out_of_range);
    EXPECT_THROW(db.Side(0, 2), std::out_of_range);

    db.Selecoes.Delete(0);
    EXPECT_EQ(db.IndexOfTeam(101), -1);
    EXPECT_EQ(db.IndexOfTeam(102), 0);
    expectListsMatch("first team deleted");
    db.Selecoes.Insert(5).SetNo(555);
    EXPECT_EQ(db.IndexOfTeam(555), 5);
    expectListsMatch("team inserted");
    db.Jogos.Remove(db.Jogos[3]);
    db.Jogos.Add();
    db.Jogos[0].equipes().Clear();
    expectListsMatch("matches removed, added and emptied");
    EXPECT_THROW(db.Side(0, 0), std::out_of_range);
    EXPECT_THROW(db.Side(63, 1), std::out_of_range) << "the added match has no sides";

    db.Reload();
    expectListsMatch("reloaded");
    EXPECT_EQ(db.IndexOfTeam(101), 0);
}

TEST_F(Database, SortMatchesByDateIsTheExchangeSort) {
    dir.WriteValidTournament();
    TTorvelDatabase db(dir.Path());

    std::vector<int32_t> empty;
    db.SortMatchesByDate(empty);
    EXPECT_TRUE(empty.empty());
    std::vector<int32_t> one{17};
    db.SortMatchesByDate(one);
    EXPECT_EQ(one, std::vector<int32_t>{17});

    std::vector<int32_t> group(48);
    std::iota(group.begin(), group.end(), 0);
    db.SortMatchesByDate(group);
    std::vector<int32_t> sorted = group;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted[0], 0);
    EXPECT_EQ(sorted[47], 47);
    EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
    for (size_t i = 1; i < group.size(); ++i)
        EXPECT_LE(Key(db, group[i - 1]), Key(db, group[i])) << "position " << i;
    EXPECT_NE(group, sorted) << "the fixture's dates are not in index order";

    // Matches 1 and 2 share a date and time; match 3 is earlier. Exchanging
    // position 0 with position 2 carries match 1 behind match 2: a stable
    // sort would give 3, 1, 2.
    db.Jogos[1].Setdata("20140620");
    db.Jogos[1].Sethora("1600");
    db.Jogos[2].Setdata("20140620");
    db.Jogos[2].Sethora("1600");
    db.Jogos[3].Setdata("20140615");
    std::vector<int32_t> ties{1, 2, 3};
    db.SortMatchesByDate(ties);
    EXPECT_EQ(ties, (std::vector<int32_t>{3, 2, 1}));

    // The key is compared as text: a later date wins whatever the time.
    db.Jogos[4].Setdata("20140621");
    db.Jogos[4].Sethora("0100");
    std::vector<int32_t> dates{4, 1};
    db.SortMatchesByDate(dates);
    EXPECT_EQ(dates, (std::vector<int32_t>{1, 4}));
}

TEST_F(Database, AbsentMatchFileFailsTheLoadWithoutOpeningTheTeamFile) {
    pugi::xml_document teams;
    MakeTeamDocument(teams);
    dir.WriteTeams(teams);
    TTorvelDatabase db(dir.Path());
    EXPECT_TRUE(LoadFailed);
    EXPECT_NE(LoadFailedReason.find("jogos.xml"), std::string::npos) << LoadFailedReason;
    EXPECT_FALSE(db.XMLJogos.Active());
    EXPECT_FALSE(db.XMLSelecoes.Active());
    EXPECT_FALSE(db.Selecoes);
    EXPECT_FALSE(db.Jogos);
}

TEST_F(Database, MalformedFileFailsTheLoad) {
    dir.WriteValidTournament();
    WriteFile(dir.Dados() / "selecoes.xml", "<Selecoes><Selecao No=\"1\"></Selecoes>");
    TTorvelDatabase db(dir.Path());
    EXPECT_TRUE(LoadFailed);
    EXPECT_NE(LoadFailedReason.find("selecoes.xml"), std::string::npos) << LoadFailedReason;
    EXPECT_FALSE(db.Selecoes);
}

// Each case breaks one rule of a valid tournament; the load must fail and say
// what is wrong.
struct BrokenRule {
    const char* name;
    std::function<void(pugi::xml_node teams, pugi::xml_node matches)> breakIt;
    const char* reasonPart;
};

void PrintTo(const BrokenRule& rule, std::ostream* out) {
    *out << rule.name;
}

class RuleBreakingFiles : public ::testing::TestWithParam<BrokenRule> {};

pugi::xml_node Nth(pugi::xml_node parent, int index) {
    pugi::xml_node child = parent.first_child();
    while (index-- > 0)
        child = child.next_sibling();
    return child;
}

pugi::xml_node Side(pugi::xml_node matches, int match, int side) {
    return Nth(Nth(matches, match).child("equipes"), side);
}

TEST_P(RuleBreakingFiles, FailTheLoadWithAReason) {
    TempProgramDir dir;
    pugi::xml_document teams;
    pugi::xml_document matches;
    MakeTeamDocument(teams);
    MakeMatchDocument(matches);
    GetParam().breakIt(teams.document_element(), matches.document_element());
    dir.WriteTeams(teams);
    dir.WriteMatches(matches);
    TTorvelDatabase db(dir.Path());
    EXPECT_TRUE(LoadFailed);
    EXPECT_NE(LoadFailedReason.find(GetParam().reasonPart), std::string::npos) << LoadFailedReason;
    EXPECT_FALSE(db.Selecoes);
    EXPECT_FALSE(db.Jogos);
}

INSTANTIATE_TEST_SUITE_P(
    Database, RuleBreakingFiles,
    ::testing::Values(
        BrokenRule{"ThirtyOneTeams",
                   [](pugi::xml_node t, pugi::xml_node) { t.remove_child(t.last_child()); },
                   "32 seleções"},
        BrokenRule{"RepeatedNumber",
                   [](pugi::xml_node t, pugi::xml_node) { Nth(t, 20).attribute("No") = 101; },
                   "101 se repete"},
        BrokenRule{"TeamOutOfGroupOrder",
                   [](pugi::xml_node t, pugi::xml_node) { Nth(t, 4).child("Grupo").text() = "A"; },
                   "grupo B"},
        BrokenRule{"GroupLetterOutsideAToH",
                   [](pugi::xml_node t, pugi::xml_node) { Nth(t, 31).child("Grupo").text() = "I"; },
                   "grupo H"},
        BrokenRule{"TeamNumberNotAnInteger",
                   [](pugi::xml_node t, pugi::xml_node) { Nth(t, 3).attribute("No") = "x"; },
                   "selecoes.xml"},
        BrokenRule{"SixtyFiveMatches",
                   [](pugi::xml_node, pugi::xml_node m) { m.append_copy(m.last_child()); },
                   "64 jogos"},
        BrokenRule{"GroupMatchWithTeamOfAnotherGroup",
                   [](pugi::xml_node, pugi::xml_node m) { Side(m, 7, 1).attribute("Ident") = 101; },
                   "índice 7"},
        BrokenRule{"GroupMatchWithUnknownTeam",
                   [](pugi::xml_node, pugi::xml_node m) { Side(m, 0, 0).attribute("Ident") = 999; },
                   "999"},
        BrokenRule{"SideWithoutGoalCount",
                   [](pugi::xml_node, pugi::xml_node m) {
                       pugi::xml_node side = Side(m, 30, 1);
                       side.remove_child("gols");
                   },
                   "Quant"},
        BrokenRule{"OneSideOnly",
                   [](pugi::xml_node, pugi::xml_node m) {
                       pugi::xml_node equipes = Nth(m, 12).child("equipes");
                       equipes.remove_child(equipes.last_child());
                   },
                   "duas equipes"},
        BrokenRule{"LastSixteenPlaceFive",
                   [](pugi::xml_node, pugi::xml_node m) { Side(m, 50, 0).attribute("Pos") = 5; },
                   "índice 50"},
        BrokenRule{
            "LastSixteenGroupI",
            [](pugi::xml_node, pugi::xml_node m) { Side(m, 55, 1).attribute("Grupo") = "I"; },
            "índice 55"},
        BrokenRule{"LaterRoundNamingALaterMatch",
                   [](pugi::xml_node, pugi::xml_node m) { Side(m, 60, 0).attribute("Ident") = 61; },
                   "índice 60"},
        BrokenRule{"LaterRoundNamingAGroupMatch",
                   [](pugi::xml_node, pugi::xml_node m) { Side(m, 56, 1).attribute("Ident") = 3; },
                   "índice 56"}),
    [](const ::testing::TestParamInfo<BrokenRule>& info) { return info.param.name; });
