#pragma once
// A complete program (windows and database) on a temporary program folder,
// with the user's answers scripted.

#include "dialogs.h"
#include "torvel_program.h"
#include "tournament_fixture.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <vector>

namespace torvel_test {

// Adds to team index team a squad with the given shirt numbers, named
// "Jogador <shirt>".
void AddSquad(pugi::xml_document& teams, int team, const std::vector<int>& shirts);

// Adds a participant to side s of match m.
void AddParticipant(pugi::xml_document& matches, int m, int s, int shirt, int gols);

void SetResult(pugi::xml_document& matches, int m, int goals0, int goals1);

pugi::xml_document LoadDocument(const std::filesystem::path& path);

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest();

    // Writes the documents, creates the program on them and shows the main
    // window, which loads the group phase.
    void Start();

    // The row showing match m in the phase on screen.
    int RowOfMatch(int m) const;

    pugi::xml_node DiskSide(int m, int s) const;
    pugi::xml_node DiskTeam(int t) const;

    TempProgramDir dir;
    pugi::xml_document teams;
    pugi::xml_document matches;
    std::unique_ptr<TTorvelProgram> program;
    std::vector<Dialogs::TMessage> messages;
    // The answer to every question; OK for the other messages.
    QMessageBox::StandardButton answer = QMessageBox::No;
    Dialogs::TScriptedMessages scriptedMessages;

private:
    mutable pugi::xml_document diskTeams_, diskMatches_;
};

} // namespace torvel_test
