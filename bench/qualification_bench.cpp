// UpdateQualification on a complete tournament (the shipped 2014 data with a
// result in every match), next to the same standings and knockout sides
// computed from the same attributes read straight from pugixml.

#include "torvel_qualification.h"

#include "ratio_reporter.h"
#include "shipped_data_copy.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Settles every tie by taking the first team offered.
class FirstTeam : public TTieQuestion {
public:
    int Ask(const std::string&, const std::vector<std::string>&) override { return 0; }
};

// The shipped tournament with a result in every match (no knockout draws),
// brought up to date once so that the ties are decided.
class CompleteTournament {
public:
    CompleteTournament() : database_(data_.ProgramDir()) {
        if (LoadFailed)
            throw std::runtime_error(LoadFailedReason);
        for (int m = 0; m < MatchCount; ++m) {
            const torvel_db_jogos::IXMLEquipesType equipes = database_.Jogos[m].equipes();
            const bool knockout = m >= FirstKnockoutMatch;
            equipes[0].gols().SetQuant(knockout ? 1 + m % 2 : m * 7 % 4);
            equipes[1].gols().SetQuant(knockout ? 2 - m % 2 : (m * 5 + 1) % 3);
        }
        TieQuestion = &question_;
        ComputeInitialStandings();
        UpdateQualification();
    }
    ~CompleteTournament() { TieQuestion = nullptr; }
    TTorvelDatabase& Database() { return database_; }

private:
    ShippedDataCopy data_;
    TTorvelDatabase database_;
    FirstTeam question_;
};

void BM_UpdateQualification(benchmark::State& state) {
    CompleteTournament tournament;
    for (auto _ : state)
        UpdateQualification();
}
BENCHMARK(BM_UpdateQualification)->Unit(benchmark::kMicrosecond);

// Everything UpdateQualification does but the save of the team file.
void BM_UpdateQualificationWithoutSave(benchmark::State& state) {
    CompleteTournament tournament;
    for (auto _ : state) {
        BuildGroupTable();
        RankGroups();
        RankHeadToHead();
        DecideTiesByLot();
        ResetUnplayedParticipantGoals();
        benchmark::DoNotOptimize(GroupTable);
    }
}
BENCHMARK(BM_UpdateQualificationWithoutSave)->Unit(benchmark::kMicrosecond);

// The baseline: group tables by points, goal difference and goals scored, and
// the teams of every knockout side, from nodes read straight from pugixml.
struct Baseline {
    std::vector<pugi::xml_node> teams;
    std::vector<std::array<pugi::xml_node, 2>> sides;
    std::array<TeamStats, TeamCount> stats{};
    std::array<TGroupRow, GroupCount> rows{};

    explicit Baseline(TTorvelDatabase& database) {
        for (pugi::xml_node selecao : database.Selecoes.DOMNode().children("Selecao"))
            teams.push_back(selecao);
        for (pugi::xml_node jogo : database.Jogos.DOMNode().children("jogo")) {
            pugi::xml_node first = jogo.child("equipes").child("equipe");
            sides.push_back({first, first.next_sibling("equipe")});
        }
    }

    static int Quant(pugi::xml_node side) { return side.child("gols").attribute("Quant").as_int(); }

    int IndexOfTeam(int number) const {
        for (size_t i = 0; i < teams.size(); ++i)
            if (teams[i].attribute("No").as_int() == number)
                return static_cast<int>(i);
        return -1;
    }

    int TeamOf(int m, int s) const {
        const pugi::xml_node side = sides[m][s];
        if (m < FirstKnockoutMatch)
            return IndexOfTeam(side.attribute("Ident").as_int());
        if (m < FirstLaterRoundMatch)
            return rows[GroupIndexOf(side.attribute("Grupo").as_string())]
                       [side.attribute("Pos").as_int() - 1];
        const int earlier = side.attribute("Ident").as_int();
        const int q0 = Quant(sides[earlier][0]);
        const int q1 = Quant(sides[earlier][1]);
        if (q0 < 0 || q1 < 0 || q0 == q1)
            return -1;
        const int winner = q0 > q1 ? 0 : 1;
        return TeamOf(earlier, side.attribute("Pos").as_int() == 1 ? winner : 1 - winner);
    }

    int Compute() {
        stats = {};
        std::array<int, GroupCount> counter{};
        for (int i = 0; i < TeamCount; ++i) {
            const int g = GroupIndexOf(teams[i].child_value("Grupo"));
            rows[g][counter[g]++] = i;
        }
        for (int m = 0; m < GroupMatchCount; ++m) {
            const int t0 = TeamOf(m, 0);
            const int t1 = TeamOf(m, 1);
            const int q0 = Quant(sides[m][0]);
            const int q1 = Quant(sides[m][1]);
            if (q0 < 0 || q1 < 0)
                continue;
            ++stats[t0].Played;
            ++stats[t1].Played;
            stats[t0].GoalsFor += q0;
            stats[t0].GoalsAgainst += q1;
            stats[t1].GoalsFor += q1;
            stats[t1].GoalsAgainst += q0;
            stats[t0].Points += q0 > q1 ? 3 : q0 == q1 ? 1 : 0;
            stats[t1].Points += q1 > q0 ? 3 : q0 == q1 ? 1 : 0;
        }
        for (TGroupRow& row : rows)
            std::stable_sort(row.begin(), row.end(), [&](int a, int b) {
                const TeamStats& x = stats[a];
                const TeamStats& y = stats[b];
                if (x.Points != y.Points)
                    return x.Points > y.Points;
                if (x.GoalsFor - x.GoalsAgainst != y.GoalsFor - y.GoalsAgainst)
                    return x.GoalsFor - x.GoalsAgainst > y.GoalsFor - y.GoalsAgainst;
                return x.GoalsFor > y.GoalsFor;
            });
        int known = 0;
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
            known += (TeamOf(m, 0) >= 0) + (TeamOf(m, 1) >= 0);
        return known;
    }
};

void BM_BaselinePugixmlStandingsAndSides(benchmark::State& state) {
    CompleteTournament tournament;
    Baseline baseline(tournament.Database());
    if (baseline.Compute() != 2 * (MatchCount - FirstKnockoutMatch))
        state.SkipWithError("the baseline left knockout sides unresolved");
    for (auto _ : state)
        benchmark::DoNotOptimize(baseline.Compute());
}
BENCHMARK(BM_BaselinePugixmlStandingsAndSides)->Unit(benchmark::kMicrosecond);

// The save alone, for the share it takes of an update.
void BM_SaveTeamFile(benchmark::State& state) {
    CompleteTournament tournament;
    for (auto _ : state)
        tournament.Database().XMLSelecoes.SaveToFile();
}
BENCHMARK(BM_SaveTeamFile)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return bench::RunWithRatios(argc, argv,
                                {{"qualification", "BM_UpdateQualificationWithoutSave",
                                  "BM_BaselinePugixmlStandingsAndSides"}});
}
