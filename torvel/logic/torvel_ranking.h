#pragma once
// The overall ranking of the national teams and the ranking of the scorers,
// computed from the documents into RankingOrder, RankingStats and Scorers.

#include "torvel_database.h"

#include <cstdint>
#include <span>

// Fills RankingOrder and RankingStats: the teams of the knockout phase by
// their knockout results, the others by their group results; all 32 teams by
// all their matches while no knockout result has given points.
void OverallRanking();

// Every run of neighbours of list that are level in RankingStats is ordered
// by the matches first to last among its teams, then by their lot ranks.
void ResolveTies(std::span<int32_t> list, int32_t first, int32_t last);

// Teams a and b are level in RankingStats: both tied, with equal points and
// equal goal difference.
bool RankingLevel(int32_t a, int32_t b);

// Fills Scorers with every player to whom goals were attributed, most goals
// first; true when the attributed goals equal the goals of all results.
bool ScorerRanking();

// The squad player of the team wearing the shirt, or a null handle.
torvel_db_selecoes::IXMLJogadorType SquadPlayer(int32_t team, int32_t shirt);
