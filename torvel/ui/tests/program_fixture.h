#pragma once
// A complete program (windows and database) on a temporary program folder,
// with the user's answers scripted.

#include "dialogs.h"
#include "torvel_program.h"
#include "torvel_webupdate.h"
#include "tournament_fixture.h"

#include <QPrinter>
#include <QStringList>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace torvel_test {

// The Selecao element of team index team.
pugi::xml_node TeamNode(const pugi::xml_document& teams, int team);

// Adds to team index team a squad with the given shirt numbers, named
// "Jogador <shirt>".
void AddSquad(pugi::xml_document& teams, int team, const std::vector<int>& shirts);

// Adds a participant to side s of match m.
void AddParticipant(pugi::xml_document& matches, int m, int s, int shirt, int gols);

void SetResult(pugi::xml_document& matches, int m, int goals0, int goals1);

// Results for the group matches 0 to lastMatch in which team slot a of a group
// scores 4 - a against any other slot, so every group ends in slot order:
// team 4g first, 4g + 1 second.
void SetGroupResultsInSlotOrder(pugi::xml_document& matches, int lastMatch);
// Copies a flag picture shipped with the program into the folder's dados/band/.
void CopyShippedFlag(const TempProgramDir& dir, const std::string& file);

pugi::xml_document LoadDocument(const std::filesystem::path& path);

// Runs a command-line tool (a poppler tool) and returns what it wrote.
QString RunTool(const QString& program, const QStringList& arguments);

// Clicks "Imprimir Tabela" of the window and answers the printer dialog by
// choosing a PDF file at path, with the paper that setUp leaves; returns how
// many printer dialogs were shown.
int PrintToPdf(TformTorvel& window, const QString& path,
               const std::function<void(QPrinter&)>& setUp = {});

// A PDF file as text laid out as printed, one entry per page.
QStringList PdfPages(const QString& path);

// The names line of a printed block whose teams are known and whose score
// line is blank.
QString NamesLine(const QString& team0, const QString& team1);

// Every block header of the printed pages, in order, with the line below it;
// checks the page titles on the way.
std::vector<std::pair<QString, QString>> PrintedBlocks(const QStringList& pages,
                                                       const QString& phase);

// Runs a function each time the status window is shown: while the main window
// is disabled for a load, a print or a download.
class TOnStatusShown : public QObject {
public:
    explicit TOnStatusShown(std::function<void()> onShown);
    ~TOnStatusShown() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> onShown_;
};

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest();
    ~ProgramTest() override;

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
    // The program has no HTTP client unless a test gives it one.
    decltype(CreateWebClient) savedCreateWebClient = CreateWebClient;
    std::string savedUpdateServer = UpdateServer;

private:
    mutable pugi::xml_document diskTeams_, diskMatches_;
};

} // namespace torvel_test
