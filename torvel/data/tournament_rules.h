#pragma once
// The shape every tournament the program keeps must have. The computations
// index teams and matches by position, so the documents are checked once when
// they are opened instead of at every read.

#include "torvel_db_jogos.h"
#include "torvel_db_selecoes.h"

#include <optional>
#include <stdexcept>

inline constexpr int TeamCount = 32;
inline constexpr int GroupCount = 8;
inline constexpr int TeamsPerGroup = 4;
inline constexpr int MatchesPerGroup = 6;
inline constexpr int GroupMatchCount = GroupCount * MatchesPerGroup;
inline constexpr int FirstKnockoutMatch = GroupMatchCount;
inline constexpr int FirstLaterRoundMatch = FirstKnockoutMatch + 8;
inline constexpr int MatchCount = 64;

class ETournamentDataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The group index (0 for "A" to 7 for "H") named by the first character of a
// group text, compared in upper case; -1 when it names no group.
int GroupIndexOf(const std::string& grupo);

// The rank a drawing of lots stored after the group letter ("C2" gives 2);
// none when there is no rank or it is not a decimal integer ("C", "Cx").
std::optional<int32_t> LotRankOf(const std::string& grupo);

// Throws ETournamentDataError describing the first rule the documents break:
// 32 teams with distinct numbers, listed group by group, four in each of the
// groups A to H; 64 matches, each with two sides carrying a goal count; group
// matches between teams of their own group; last-16 sides naming a group and
// a place 1 to 4; every later side naming an earlier knockout match.
void ValidateTournament(const torvel_db_selecoes::IXMLSelecoesType& selecoes,
                        const torvel_db_jogos::IXMLJogosType& jogos);
