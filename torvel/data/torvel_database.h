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

    // Sorts match indexes by date and kick-off time with an exchange sort:
    // the order of equal keys is that of this exact procedure.
    void SortMatchesByDate(std::vector<int32_t>& list) const;

    // The folder of the running executable, ending in '/'.
    static std::string ExecutableDir();

private:
    void OpenDocuments();
    void CloseDocuments();
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
