#pragma once
// An open tournament database over a temporary program folder, with the
// standings tables cleared as at program start and a scripted tie question.

#include "torvel_qualification.h"
#include "tournament_fixture.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace torvel_test {

// Answers tie questions from a script and records every question.
class ScriptedTieQuestion : public TTieQuestion {
public:
    struct Question {
        std::string intro;
        std::vector<std::string> names;
    };
    std::vector<Question> asked;
    // Answers in order; once they run out the first team is taken, as when
    // the user just presses OK.
    std::deque<int> answers;

    int Ask(const std::string& intro, const std::vector<std::string>& names) override;
};

// The results of the six matches of a group, in match-index order.
struct GroupScores {
    int goals[MatchesPerGroup][2];
};

// Group slots 3, 2, 1, 0 finish first to fourth, each a clear step apart.
inline constexpr GroupScores ReverseOrder = {{{0, 1}, {0, 1}, {0, 1}, {1, 0}, {1, 0}, {0, 1}}};

class QualificationTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the documents in the program folder as the program does at start.
    void Open();
    // Closes the database and opens the files again, as after a restart.
    void Reopen();

    TTorvelDatabase& Db() { return *database_; }
    torvel_db_jogos::IXMLEquipeType Side(int match, int side);
    // Enters a result as the user does: for the teams the match has now,
    // when they are known; otherwise written into the document as a file from
    // elsewhere could hold it.
    void SetScore(int match, int goals0, int goals1);
    int Quant(int match, int side);
    void PlayGroup(int group, const GroupScores& scores);
    void PlayAllGroups(const GroupScores& scores);
    std::string Name(int team);
    std::string Grupo(int team);
    void SetGrupo(int team, const std::string& grupo);
    TGroupRow Row(int group, const TGroupRow& slots) const;

    TempProgramDir dir_;
    ScriptedTieQuestion question_;

private:
    std::unique_ptr<TTorvelDatabase> database_;
};

} // namespace torvel_test
