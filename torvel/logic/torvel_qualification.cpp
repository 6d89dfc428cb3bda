#include "torvel_qualification.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

using namespace torvel_db_selecoes;
using namespace torvel_db_jogos;

namespace {

TTorvelDatabase& Database() {
    if (!TorvelDatabase)
        throw std::logic_error("the tournament database is not open");
    return *TorvelDatabase;
}

IXMLEquipeType SideOf(int32_t m, int32_t s) {
    return Database().Side(m, s);
}

// The team indexes of both sides of a match; -1 for a side not yet known.
using TMatchTeams = std::array<int32_t, 2>;

TMatchTeams TeamsOf(int32_t m) {
    return {TeamOf(m, 0), TeamOf(m, 1)};
}

bool Known(const TMatchTeams& teams) {
    return teams[0] >= 0 && teams[1] >= 0;
}

// The record of a pairing on a side: the two team numbers, side 0 first.
std::string PairingText(const TMatchTeams& teams) {
    const TTorvelDatabase& database = Database();
    return std::to_string(database.Team(teams[0]).No()) + " " +
           std::to_string(database.Team(teams[1]).No());
}

// Whether the side of match m holds what was entered for these teams.
bool BelongsTo(int32_t m, const IXMLEquipeType& equipe, const TMatchTeams& teams) {
    if (m < FirstKnockoutMatch)
        return true;
    return Known(teams) && equipe.HasConfronto() && equipe.Confronto() == PairingText(teams);
}

int32_t CountedGoals(int32_t m, int32_t s, const TMatchTeams& teams) {
    const IXMLEquipeType equipe = SideOf(m, s);
    return BelongsTo(m, equipe, teams) ? equipe.gols().Quant() : -1;
}

// A result or a participant is stored on the side.
bool HoldsEntry(const IXMLEquipeType& equipe) {
    return equipe.gols().Quant() >= 0 || equipe.artilheiros().Count() > 0;
}

// Each team meets the three others of its group once.
constexpr int32_t GroupMatchesPerTeam = TeamsPerGroup - 1;

bool BothPlayed(int32_t quant0, int32_t quant1) {
    return quant0 >= 0 && quant1 >= 0;
}

int32_t GoalDifference(const TeamStats& stats) {
    return stats.GoalsFor - stats.GoalsAgainst;
}

// Every group match of every group has a result, as of the last ranking.
bool GroupsComplete() {
    for (const TGroupRow& row : GroupTable)
        for (int32_t team : row)
            if (Standings[team].Played < GroupMatchesPerTeam)
                return false;
    return true;
}

bool GroupComplete(const TGroupRow& row) {
    return std::all_of(row.begin(), row.end(),
                       [](int32_t team) { return Standings[team].Played >= GroupMatchesPerTeam; });
}

void ReadLotRank(int32_t team) {
    const std::string grupo = Database().Team(team).Grupo();
    if (grupo.size() > 1)
        if (std::optional<int32_t> rank = LotRankOf(grupo))
            WorkStandings[team].LotRank = *rank;
}

void CountMatch(int32_t t0, int32_t t1, int32_t q0, int32_t q1) {
    ReadLotRank(t0);
    ReadLotRank(t1);
    TeamStats& a = WorkStandings[t0];
    TeamStats& b = WorkStandings[t1];
    ++a.Played;
    ++b.Played;
    a.GoalsFor += q0;
    b.GoalsAgainst += q0;
    b.GoalsFor += q1;
    a.GoalsAgainst += q1;
    if (q0 > q1) {
        a.Points += 3;
    } else if (q0 < q1) {
        b.Points += 3;
    } else {
        ++a.Points;
        ++b.Points;
    }
}

// Whether the teams at i and j of a mini-league swap places; marks them Tied
// when no rule separates them.
bool Exchange(int32_t i, int32_t j, bool byLot) {
    TeamStats& a = WorkStandings[i];
    TeamStats& b = WorkStandings[j];
    if (a.Points != b.Points)
        return a.Points < b.Points;
    if (GoalDifference(a) != GoalDifference(b))
        return GoalDifference(a) < GoalDifference(b);
    if (!byLot) {
        if (a.GoalsFor == b.GoalsFor) {
            a.Tied = b.Tied = true;
            return false;
        }
        return a.GoalsFor < b.GoalsFor;
    }
    if (a.LotRank == b.LotRank || a.LotRank < 0 || b.LotRank < 0) {
        a.Tied = b.Tied = true;
        return false;
    }
    a.Tied = b.Tied = false;
    return a.LotRank > b.LotRank;
}

// Level neighbours in a group row: both still tied, equal points and equal
// goal difference.
bool Level(int32_t a, int32_t b) {
    const TeamStats& x = Standings[a];
    const TeamStats& y = Standings[b];
    return x.Tied && y.Tied && x.Points == y.Points && GoalDifference(x) == GoalDifference(y);
}

// Calls onRun(run, start) for every run of level neighbours in row, in order,
// with the run's teams in their row order and the position of its first.
// onRun may rewrite the row at the run's positions.
template <typename OnRun> void ForEachLevelRun(TGroupRow& row, OnRun onRun) {
    std::vector<int32_t> run;
    int32_t start = -1;
    bool open = false;
    for (int32_t k = 0; k < TeamsPerGroup - 1; ++k) {
        const int32_t a = row[k];
        const int32_t b = row[k + 1];
        if (Level(a, b)) {
            if (!open)
                start = k;
            run.push_back(a);
            open = true;
        } else {
            open = false;
        }
        if ((!open || k == TeamsPerGroup - 2) && !run.empty()) {
            run.push_back(k == TeamsPerGroup - 2 && open ? b : a);
            onRun(run, start);
            run.clear();
            open = false;
        }
    }
}

std::string GroupLetter(int32_t team) {
    return Database().Team(team).Grupo().substr(0, 1);
}

std::string TieIntro(int32_t choices, int32_t place, const std::string& letter) {
    return "Existem " + std::to_string(choices) + " seleções empatadas em disputa pelo " +
           std::to_string(place) + " .º lugar do grupo " + letter +
           ". Informe qual destas seleções foi sorteada para ocupar a posição.";
}

// Puts each place of the run but the last to the user; the chosen team takes
// the place and the others move on to the next question.
void AskRun(std::vector<int32_t>& run, int32_t start) {
    const int32_t n = static_cast<int32_t>(run.size());
    for (int32_t p = 1; p < n; ++p) {
        std::vector<std::string> names;
        for (int32_t k = p - 1; k < n; ++k)
            names.push_back(Database().Team(run[k]).Nome());
        if (!TieQuestion)
            throw ETieQuestionError("no tie question is installed");
        const int chosen = TieQuestion->Ask(
            TieIntro(static_cast<int32_t>(names.size()), start + p, GroupLetter(run[0])), names);
        if (chosen < 0 || chosen >= static_cast<int>(names.size()))
            throw ETieQuestionError("the tie answer " + std::to_string(chosen) +
                                    " names no offered team");
        const int32_t c = p - 1 + chosen;
        if (c != p - 1)
            std::swap(run[p - 1], run[c]);
    }
}

} // namespace

void MiniTable(std::span<int32_t> teams, int32_t first, int32_t last, bool byLot) {
    for (int32_t t : teams) {
        TeamStats& stats = WorkStandings[t];
        stats.Tied = false;
        stats.LotRank = -1;
        stats.Played = stats.Points = stats.GoalsFor = stats.GoalsAgainst = 0;
    }
    const auto listed = [&](int32_t t) {
        return std::find(teams.begin(), teams.end(), t) != teams.end();
    };
    for (int32_t m = first; m <= last; ++m) {
        const TMatchTeams t = TeamsOf(m);
        if (!listed(t[0]) || !listed(t[1]))
            continue;
        const int32_t q0 = CountedGoals(m, 0, t);
        const int32_t q1 = CountedGoals(m, 1, t);
        if (BothPlayed(q0, q1))
            CountMatch(t[0], t[1], q0, q1);
    }
    for (size_t i = 0; i < teams.size(); ++i)
        for (size_t j = i + 1; j < teams.size(); ++j)
            if (Exchange(teams[i], teams[j], byLot))
                std::swap(teams[i], teams[j]);
}

namespace {

// The team on side s of match m, as TeamOf gives it; a later-round side
// takes the teams of the earlier match it refers to from earlierTeams(e).
template <typename EarlierTeams>
int32_t ResolveSide(int32_t m, int32_t s, const EarlierTeams& earlierTeams) {
    const IXMLEquipeType e = SideOf(m, s);
    if (m < FirstKnockoutMatch)
        return Database().IndexOfTeam(e.Ident());
    if (m < FirstLaterRoundMatch) {
        if (!GroupsComplete())
            return -1;
        const int32_t p = e.Pos() - 1;
        return GroupTable[GroupIndexOf(e.Grupo())][p];
    }
    const int32_t k = e.Pos();
    const int32_t earlier = e.Ident();
    const TMatchTeams teams = earlierTeams(earlier);
    const int32_t q0 = CountedGoals(earlier, 0, teams);
    if (q0 < 0)
        return -1;
    const int32_t q1 = CountedGoals(earlier, 1, teams);
    if (q1 < 0 || q0 == q1)
        return -1;
    const int32_t winner = q0 > q1 ? 0 : 1;
    return teams[k == 1 ? winner : 1 - winner];
}

// The teams of every match as TeamOf gives them, resolved in match order so
// that a later-round side reuses the teams of the earlier match it refers to
// instead of resolving the knockout tree below it again.
std::vector<TMatchTeams> AllMatchTeams() {
    const int32_t count = Database().Jogos.Count();
    std::vector<TMatchTeams> teams;
    teams.reserve(static_cast<size_t>(count));
    const auto earlierTeams = [&teams](int32_t earlier) {
        return earlier >= 0 && static_cast<size_t>(earlier) < teams.size() ? teams[earlier]
                                                                           : TeamsOf(earlier);
    };
    for (int32_t m = 0; m < count; ++m)
        teams.push_back({ResolveSide(m, 0, earlierTeams), ResolveSide(m, 1, earlierTeams)});
    return teams;
}

} // namespace

int32_t TeamOf(int32_t m, int32_t s) {
    return ResolveSide(m, s, TeamsOf);
}

bool SideCounts(int32_t m, int32_t s) {
    return m < FirstKnockoutMatch || BelongsTo(m, SideOf(m, s), TeamsOf(m));
}

int32_t GoalsOf(int32_t m, int32_t s) {
    return m < FirstKnockoutMatch ? SideOf(m, s).gols().Quant() : CountedGoals(m, s, TeamsOf(m));
}

void ClaimSide(int32_t m, int32_t s) {
    if (m < FirstKnockoutMatch)
        return;
    const TMatchTeams teams = TeamsOf(m);
    if (!Known(teams))
        throw std::logic_error("the teams of match " + std::to_string(m) + " are not known");
    const IXMLEquipeType equipe = SideOf(m, s);
    if (BelongsTo(m, equipe, teams))
        return;
    equipe.gols().SetQuant(-1);
    equipe.artilheiros().Clear();
    equipe.SetConfronto(PairingText(teams));
}

void RecordUnrecordedResults() {
    const int32_t count = Database().Jogos.Count();
    for (int32_t m = FirstKnockoutMatch; m < count; ++m) {
        const TMatchTeams teams = TeamsOf(m);
        if (!Known(teams))
            continue; // such an entry never counts until one for known teams replaces it
        for (int32_t s = 0; s < 2; ++s) {
            const IXMLEquipeType equipe = SideOf(m, s);
            if (!equipe.HasConfronto() && HoldsEntry(equipe))
                equipe.SetConfronto(PairingText(teams));
        }
    }
}

void BuildGroupTable() {
    std::array<int32_t, GroupCount> counter{};
    const TTorvelDatabase& database = Database();
    for (int32_t i = 0; i < TeamCount; ++i) {
        const int32_t g = GroupIndexOf(database.Team(i).Grupo());
        Standings[i].Group = g;
        GroupTable[g][counter[g]++] = i;
        WorkStandings[i] = Standings[i];
    }
}

void ResetParticipantGoals(const torvel_db_jogos::IXMLEquipeType& equipe) {
    const torvel_db_jogos::IXMLArtilheirosType artilheiros = equipe.artilheiros();
    for (int32_t k = 0; k < artilheiros.Count(); ++k)
        artilheiros[k].SetGols(-1);
}

void ResetUnplayedParticipantGoals() {
    // Only participants' goals change here, which no match's teams depend on.
    const std::vector<TMatchTeams> allTeams = AllMatchTeams();
    for (int32_t m = 0; m < static_cast<int32_t>(allTeams.size()); ++m) {
        const TMatchTeams& teams = allTeams[m];
        if (!Known(teams) || CountedGoals(m, 0, teams) != -1 || CountedGoals(m, 1, teams) != -1)
            continue;
        // What was entered for other teams is theirs and stays untouched.
        for (int32_t s = 0; s < 2; ++s)
            if (const IXMLEquipeType equipe = SideOf(m, s); BelongsTo(m, equipe, teams))
                ResetParticipantGoals(equipe);
    }
}

namespace {

// The mini-league of teams over the six matches of group g.
void GroupMiniTable(std::span<int32_t> teams, int32_t g, bool byLot) {
    const int32_t first = MatchesPerGroup * g;
    MiniTable(teams, first, first + MatchesPerGroup - 1, byLot);
}

} // namespace

void RankGroups() {
    for (int32_t g = 0; g < GroupCount; ++g)
        GroupMiniTable(GroupTable[g], g, false);
    Standings = WorkStandings;
}

void RankHeadToHead() {
    for (int32_t g = 0; g < GroupCount; ++g) {
        TGroupRow& row = GroupTable[g];
        ForEachLevelRun(row, [&](std::vector<int32_t>& run, int32_t start) {
            GroupMiniTable(run, g, true);
            for (size_t p = 0; p < run.size(); ++p) {
                Standings[run[p]].Tied = WorkStandings[run[p]].Tied;
                row[start + p] = run[p];
            }
        });
    }
}

void DecideTiesByLot() {
    for (TGroupRow& row : GroupTable) {
        if (!GroupComplete(row))
            continue;
        ForEachLevelRun(row, [&](std::vector<int32_t>& run, int32_t start) {
            AskRun(run, start);
            for (size_t i = 0; i < run.size(); ++i) {
                row[start + i] = run[i];
                const IXMLSelecaoType selecao = Database().Team(run[i]);
                selecao.SetGrupo(selecao.Grupo().substr(0, 1) + std::to_string(i));
            }
        });
    }
}

void UpdateQualification() {
    BuildGroupTable();
    RankGroups();
    RankHeadToHead();
    DecideTiesByLot();
    // Judged by the finished group table, as the knockout sides depend on it.
    ResetUnplayedParticipantGoals();
    Database().XMLSelecoes.SaveToFile();
}

void ComputeInitialStandings() {
    BuildGroupTable();
    RankGroups();
    RankHeadToHead();
    RecordUnrecordedResults();
}
