#pragma once
// Group standings, ties decided by lot and the qualification of the teams into
// the knockout matches. The state is the documents of TorvelDatabase and the
// standings tables beside them; nothing here touches a window. The question
// about a tie goes through TieQuestion, which the program points at the tie
// dialog.

#include "torvel_database.h"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// Asks the user which of the tied teams the lot placed.
class TTieQuestion {
public:
    // Shows intro with one choice per name, in this order, and returns the
    // index of the chosen one.
    virtual int Ask(const std::string& intro, const std::vector<std::string>& names) = 0;

protected:
    ~TTieQuestion() = default;
};

// Where UpdateQualification puts its questions; not owned.
inline TTieQuestion* TieQuestion = nullptr;

// Raised when a tie must be put to the user and no question is installed, or
// the answer names no offered team.
class ETieQuestionError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// A mini-league of the listed teams over the matches first to last (both
// included), computed into WorkStandings; sorts teams in place by points,
// goal difference, then goals scored (byLot false) or the stored lot ranks
// (byLot true), marking as Tied the teams these leave level.
void MiniTable(std::span<int32_t> teams, int32_t first, int32_t last, bool byLot);

// The index of the team on side s of match m; -1 while it is undetermined.
// A knockout winner or loser is known only from a result that counts.
int32_t TeamOf(int32_t m, int32_t s);

// A knockout side's stored result and participants belong to the two teams
// they were entered for, recorded on the side; they count only while the
// match has those teams again. Nothing that no longer counts is removed: it
// comes back with its teams, and only an entry for other teams replaces it.

// Whether the stored result and participants of side s of match m belong to
// the teams the match has now; always for a group match.
bool SideCounts(int32_t m, int32_t s);
// The goals of side s of match m as they count: the stored goals when the
// side counts, else -1 (no result).
int32_t GoalsOf(int32_t m, int32_t s);
// Side s of match m is about to receive an entry for the teams it has now: a
// side that does not count loses its stored result and participants and
// records these teams. Throws std::logic_error while the teams are unknown.
void ClaimSide(int32_t m, int32_t s);
// Every knockout side that holds a result or participants but records no
// teams is taken to belong to the teams its match has now, and records them;
// in match order, so that each match is judged by the earlier ones.
void RecordUnrecordedResults();

// Every group row filled from the Grupo letters, in team-index order.
void BuildGroupTable();
// Every participant of the side loses the goals attributed to him.
void ResetParticipantGoals(const torvel_db_jogos::IXMLEquipeType& equipe);
// Participants of matches without a result lose their goals. Results and
// participants of matches whose teams are unknown stay as they are.
void ResetUnplayedParticipantGoals();
// Each group ranked by points, goal difference and goals scored.
void RankGroups();
// The level teams of each group ordered by their matches among themselves and
// their stored lot ranks.
void RankHeadToHead();
// The ties left in complete groups are put to the user and the answers stored
// as lot ranks in Grupo.
void DecideTiesByLot();

// Brings standings, ties and knockout teams up to date and saves the team file.
void UpdateQualification();

// The group standings of the documents as they were just opened, and the
// knockout results recorded with the teams the file gives them
// (RecordUnrecordedResults). Run once after every successful load, before the
// first UpdateQualification, so that the first update judges the knockout
// sides by the real group results.
void ComputeInitialStandings();
