#include "torvel_ranking.h"

#include "torvel_qualification.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

constexpr int32_t QualifiedPerGroup = 2;

TTorvelDatabase& Database() {
    if (!TorvelDatabase)
        throw std::logic_error("the tournament database is not open");
    return *TorvelDatabase;
}

int32_t GoalDifference(const TeamStats& stats) {
    return stats.GoalsFor - stats.GoalsAgainst;
}

void Place(std::span<const int32_t> teams, size_t firstPosition) {
    std::copy(teams.begin(), teams.end(), RankingOrder.begin() + firstPosition);
}

// The record of the scorer, appended with no goals when there is none yet.
TScorer& ScorerOf(int32_t team, int32_t shirt) {
    const auto found = std::find_if(Scorers.begin(), Scorers.end(), [&](const TScorer& scorer) {
        return scorer.Team == team && scorer.Shirt == shirt;
    });
    if (found != Scorers.end())
        return *found;
    return Scorers.emplace_back(TScorer{0, team, shirt, 0});
}

void SortAndNumberScorers() {
    for (size_t i = 0; i < Scorers.size(); ++i)
        for (size_t j = i + 1; j < Scorers.size(); ++j)
            if (Scorers[i].Goals < Scorers[j].Goals)
                std::swap(Scorers[i], Scorers[j]);
    int32_t position = 0;
    for (size_t k = 0; k < Scorers.size(); ++k) {
        if (k == 0 || Scorers[k].Goals != Scorers[k - 1].Goals)
            ++position;
        Scorers[k].Position = position;
    }
}

} // namespace

bool RankingLevel(int32_t a, int32_t b) {
    const TeamStats& x = RankingStats[a];
    const TeamStats& y = RankingStats[b];
    return x.Tied && y.Tied && x.Points == y.Points && GoalDifference(x) == GoalDifference(y);
}

void ResolveTies(std::span<int32_t> list, int32_t first, int32_t last) {
    size_t start = 0;
    while (start < list.size()) {
        size_t end = start + 1;
        while (end < list.size() && RankingLevel(list[end - 1], list[end]))
            ++end;
        if (end - start > 1)
            MiniTable(list.subspan(start, end - start), first, last, true);
        start = end;
    }
}

void OverallRanking() {
    RankingOrder.fill(-1);
    UpdateQualification();

    std::vector<int32_t> everyone;
    std::vector<int32_t> qualified;
    for (const TGroupRow& row : GroupTable) {
        everyone.insert(everyone.end(), row.begin(), row.end());
        qualified.insert(qualified.end(), row.begin(), row.begin() + QualifiedPerGroup);
    }
    const std::vector<int32_t> groupOrder = everyone;

    MiniTable(everyone, 0, GroupMatchCount - 1, false);
    RankingStats = WorkStandings;

    std::vector<int32_t> eliminated;
    std::copy_if(everyone.begin(), everyone.end(), std::back_inserter(eliminated), [&](int32_t t) {
        return std::find(qualified.begin(), qualified.end(), t) == qualified.end();
    });
    ResolveTies(eliminated, 0, GroupMatchCount - 1);
    Place(eliminated, RankingOrder.size() - eliminated.size());

    MiniTable(qualified, FirstKnockoutMatch, MatchCount - 1, false);
    int32_t first = FirstKnockoutMatch;
    if (WorkStandings[qualified.front()].Points == 0) {
        // No knockout result has given points yet: everyone by all matches.
        qualified = groupOrder;
        first = 0;
        MiniTable(qualified, first, MatchCount - 1, false);
    }
    RankingStats = WorkStandings;
    ResolveTies(qualified, first, MatchCount - 1);
    Place(qualified, 0);
}

bool ScorerRanking() {
    UpdateQualification();
    Scorers.clear();
    int32_t attributed = 0;
    int32_t scored = 0;
    const torvel_db_jogos::IXMLJogosType jogos = Database().Jogos;
    for (int32_t m = 0; m < jogos.Count(); ++m)
        for (int32_t s = 0; s < 2; ++s) {
            // A side counts only for the teams that played it, so its goals
            // go to the squad of the team that scored them.
            const int32_t team = TeamOf(m, s);
            if (team < 0 || !SideCounts(m, s))
                continue;
            const torvel_db_jogos::IXMLEquipeType equipe = jogos[m].equipes()[s];
            scored += std::max(equipe.gols().Quant(), 0);
            const torvel_db_jogos::IXMLArtilheirosType participants = equipe.artilheiros();
            for (int32_t k = 0; k < participants.Count(); ++k) {
                const int32_t shirt = participants[k].No();
                const int32_t gols = participants[k].Gols();
                if (gols > 0) {
                    ScorerOf(team, shirt).Goals += gols;
                    attributed += gols;
                }
            }
        }
    SortAndNumberScorers();
    return attributed == scored;
}

torvel_db_selecoes::IXMLJogadorType SquadPlayer(int32_t team, int32_t shirt) {
    const torvel_db_selecoes::IXMLConvocadosType squad = Database().Selecoes[team].Convocados();
    for (int32_t i = 0; i < squad.Count(); ++i)
        if (squad[i].No() == shirt)
            return squad[i];
    return {};
}
