#pragma once
// The tournament database: the two documents, their typed roots and the state
// the windows and computations share for the whole run.

#include "torvel_db_jogos.h"
#include "torvel_db_selecoes.h"
#include "tournament_rules.h"
#include "xml_document.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TTorvelDatabase {
public:
    // Creates the module for the program in programDir (ending in '/') and
    // opens both documents; the module registers itself as TorvelDatabase.
    explicit TTorvelDatabase(const std::string& programDir = ExecutableDir());
    ~TTorvelDatabase();
    TTorvelDatabase(const TTorvelDatabase&) = delete;
    TTorvelDatabase& operator=(const TTorvelDatabase&) = delete;

    TXMLDocument XMLSelecoes;
    TXMLDocument XMLJogos;
    torvel_db_selecoes::IXMLSelecoesType Selecoes;
    torvel_db_jogos::IXMLJogosType Jogos;

    // Opens the match file, then the team file, checks that they describe a
    // tournament the program can keep and sets the typed roots. A failure
    // sets LoadFailed and keeps its description in LoadFailedReason; the
    // documents are then left closed and the roots unset.
    void DataModuleCreate();

    // Opens both documents again from their files, as after the web update
    // replaced them. Throws when they cannot be opened or break the contents
    // rules; the documents are then closed and the roots unset.
    void Reload();

    // Index of the first team whose number is number; -1 when none has it.
    int32_t IndexOfTeam(int32_t number) const;

    // The team at index t, the match at index m and side s (0 or 1) of match
    // m, as Selecoes[t], Jogos[m] and Jogos[m].equipes()[s] give them, without
    // walking the lists. Throw std::out_of_range for an index past the end.
    torvel_db_selecoes::IXMLSelecaoType Team(int32_t t) const;
    torvel_db_jogos::IXMLJogoType Match(int32_t m) const;
    torvel_db_jogos::IXMLEquipeType Side(int32_t m, int32_t s) const;

    // Sorts match indexes by date and kick-off time with an exchange sort:
    // the order of equal keys is that of this exact procedure.
    void SortMatchesByDate(std::vector<int32_t>& list) const;

    // The folder of the running executable, ending in '/'.
    static std::string ExecutableDir();

private:
    void OpenDocuments();
    void CloseDocuments();

    // The items of both documents by position and the team numbers, as of
    // one revision of the documents' layout (TXMLLayout).
    struct TIndex {
        uint64_t revision = 0;
        bool built = false;
        // The roots it was built from.
        pugi::xml_node selecoes, jogos;
        std::vector<pugi::xml_node> teams;
        std::vector<int32_t> teamNumbers;
        std::vector<pugi::xml_node> matches;
        // The first two equipe items of each match; empty nodes where a match
        // has fewer.
        std::vector<std::array<pugi::xml_node, 2>> sides;
    };
    // The index for the documents as they are now, rebuilt when their
    // layout changed since it was built.
    const TIndex& Index() const;
    mutable TIndex index_;
};

// The one database of the program while it exists.
inline TTorvelDatabase* TorvelDatabase = nullptr;

inline std::string ProgramDir;
inline bool LoadFailed = false;
// Why the last load failed, for the user.
inline std::string LoadFailedReason;
inline bool SkipScorerReset = false;
// Match indexes in the order the match table shows them.
inline std::vector<int32_t> MatchRows;

// The group-phase figures of one national team.
struct TeamStats {
    // Level with another team of its group under every criterion applied so far.
    bool Tied = false;
    // The rank a drawing of lots gave the team within a tie; -1 when none.
    int32_t LotRank = 0;
    // Group index, 0 for "A" to 7 for "H".
    int32_t Group = 0;
    int32_t Played = 0;
    int32_t Points = 0;
    int32_t GoalsFor = 0;
    int32_t GoalsAgainst = 0;
};

// The standings of the last update, by team index.
inline std::array<TeamStats, TeamCount> Standings{};
// The scratch table of a mini-league, by team index.
inline std::array<TeamStats, TeamCount> WorkStandings{};
// The team indexes of each group in standing order, first place first.
using TGroupRow = std::array<int32_t, TeamsPerGroup>;
inline std::array<TGroupRow, GroupCount> GroupTable{};

// The overall ranking: team indexes in ranking order, -1 for an empty position.
inline std::array<int32_t, TeamCount> RankingOrder{};
// The figures the overall ranking compared, by team index.
inline std::array<TeamStats, TeamCount> RankingStats{};

// One player to whom goals were attributed; a scorer is a (Team, Shirt) pair.
struct TScorer {
    // Rank number shown, from 1.
    int32_t Position = 0;
    int32_t Team = 0;
    int32_t Shirt = 0;
    // Goals over all matches.
    int32_t Goals = 0;
};
inline std::vector<TScorer> Scorers;
