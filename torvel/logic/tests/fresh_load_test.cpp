// Edits made through the documents while the program runs must give the same
// teams, results and standings as the same files opened afresh: nothing the
// database keeps to find teams, matches and sides quickly may go stale.

#include "qualification_fixture.h"

#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace torvel_test;

namespace {

// Everything the computations answer about the documents.
struct TOutcome {
    std::string text;

    friend bool operator==(const TOutcome&, const TOutcome&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TOutcome& outcome) {
        return out << outcome.text;
    }
};

TOutcome Outcome(const TTorvelDatabase& db) {
    std::ostringstream text;
    for (int m = 0; m < MatchCount; ++m) {
        text << "match " << m << ":";
        for (int s = 0; s < 2; ++s)
            text << " team " << TeamOf(m, s) << " goals " << GoalsOf(m, s) << " counts "
                 << SideCounts(m, s) << " participants " << db.Side(m, s).artilheiros().Count()
                 << ";";
        text << "\n";
    }
    for (int t = 0; t < TeamCount; ++t) {
        const TeamStats& stats = Standings[t];
        text << "team " << t << " No " << db.Team(t).No() << " found at "
             << db.IndexOfTeam(db.Team(t).No()) << " Grupo " << db.Team(t).Grupo() << " played "
             << stats.Played << " points " << stats.Points << " goals " << stats.GoalsFor << "-"
             << stats.GoalsAgainst << " tied " << stats.Tied << "\n";
    }
    for (int g = 0; g < GroupCount; ++g) {
        text << "group " << g << ":";
        for (int32_t team : GroupTable[g])
            text << " " << team;
        text << "\n";
    }
    return {text.str()};
}

class FreshLoadTest : public QualificationTest {
protected:
    void SetUp() override {
        QualificationTest::SetUp();
        ComputeInitialStandings();
    }

    // Brings the standings up to date and returns what they say now.
    TOutcome Live() {
        UpdateQualification();
        return Outcome(Db());
    }

    // Saves both documents, opens them again as the program does at start
    // and returns what they say then.
    TOutcome Fresh() {
        Db().XMLJogos.SaveToFile();
        Db().XMLSelecoes.SaveToFile();
        Reopen();
        ComputeInitialStandings();
        UpdateQualification();
        return Outcome(Db());
    }

    // Renumbers team t and every group side that names it.
    void Renumber(int t, int number) {
        const int old = Db().Team(t).No();
        Db().Selecoes[t].SetNo(number);
        for (int m = 0; m < GroupMatchCount; ++m)
            for (int s = 0; s < 2; ++s)
                if (Side(m, s).Ident() == old)
                    Side(m, s).SetIdent(number);
    }
};

TEST_F(FreshLoadTest, GroupCorrectionsAndKnockoutRetypes) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 1, 2);
    SetScore(49, 3, 0);
    SetScore(56, 2, 0);
    Live();
    // A group correction that changes who qualified from group A, then a
    // retyped last-16 result that changes a quarter-final team.
    SetScore(0, 5, 0);
    SetScore(3, 0, 4);
    Live();
    SetScore(48, 0, 3);
    SetScore(49, 1, 0);
    const TOutcome live = Live();
    EXPECT_EQ(live, Fresh());
}

TEST_F(FreshLoadTest, TeamNumbersRewrittenWhileRunning) {
    PlayAllGroups(ReverseOrder);
    std::vector<std::pair<int, int>> sidesOfTeam6;
    for (int m = 0; m < GroupMatchCount; ++m)
        for (int s = 0; s < 2; ++s)
            if (TeamOf(m, s) == 6)
                sidesOfTeam6.emplace_back(m, s);
    ASSERT_EQ(sidesOfTeam6.size(), 3u);
    const int number = Db().Team(6).No();
    Renumber(6, 9006);
    EXPECT_EQ(Db().IndexOfTeam(9006), 6);
    EXPECT_EQ(Db().IndexOfTeam(number), -1);
    for (const auto& [m, s] : sidesOfTeam6)
        EXPECT_EQ(TeamOf(m, s), 6) << "match " << m;
    const TOutcome live = Live();
    EXPECT_NE(live.text.find("team 6 No 9006 found at 6 "), std::string::npos) << live;
    EXPECT_EQ(live, Fresh());
}

TEST_F(FreshLoadTest, ParticipantsAddedAndRemovedLikeTheLineupDoes) {
    PlayAllGroups(ReverseOrder);
    UpdateQualification();
    SetScore(48, 2, 1);
    for (int shirt : {9, 10, 11}) {
        const torvel_db_jogos::IXMLJogadorType jogador = Side(48, 0).artilheiros().Add();
        jogador.SetNo(shirt);
        jogador.SetGols(shirt == 10 ? 2 : 0);
    }
    Side(48, 0).artilheiros().Delete(0);
    const torvel_db_jogos::IXMLJogadorType inserted = Side(0, 1).artilheiros().Insert(0);
    inserted.SetNo(4);
    inserted.SetGols(1);
    // The side lists have moved; every side must still be the one in the file.
    for (int m = 0; m < MatchCount; ++m)
        for (int s = 0; s < 2; ++s)
            ASSERT_EQ(Db().Side(m, s), Db().Jogos[m].equipes()[s]) << m << " " << s;
    const TOutcome live = Live();
    EXPECT_EQ(live, Fresh());
}

TEST_F(FreshLoadTest, ReloadOfFilesWithTheTeamsInAnotherOrder) {
    PlayAllGroups(ReverseOrder);
    const TOutcome before = Live();
    // As the web update does: new files on disk, both documents opened again
    // in the same database. Teams 0 and 1 trade places in the team file.
    pugi::xml_document teams;
    teams.load_file((dir_.Path() + "dados/selecoes.xml").c_str());
    pugi::xml_node first = teams.document_element().child("Selecao");
    teams.document_element().insert_move_after(first, first.next_sibling("Selecao"));
    dir_.WriteTeams(teams);
    Db().Reload();
    ComputeInitialStandings();
    EXPECT_EQ(Db().Team(0).No(), 102);
    EXPECT_EQ(Db().IndexOfTeam(101), 1);
    EXPECT_EQ(TeamOf(0, 0), 1);
    const TOutcome live = Live();
    EXPECT_NE(live, before);
    EXPECT_EQ(live, Fresh());
}

} // namespace
