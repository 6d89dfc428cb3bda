// Knockout results through the main window, as the user enters them: a result
// belongs to the two teams it was entered for, no recomputation removes it,
// and it comes back when its teams do.

#include "controls.h"
#include "program_fixture.h"
#include "torvel_rankingselecoes.h"
#include "tournament_2014.h"

#include <QTest>

#include <map>
#include <sstream>

using namespace torvel_test;

namespace {

constexpr int FirstQuarterFinal = 56; // winners of 48 and 49

class KnockoutResultsTest : public ProgramTest {
protected:
    TformTorvel& Window() { return program->FormTorvel; }
    void SelectPhase(int index) { Window().cFases->setCurrentIndex(index); }

    QLineEdit* Box(int m, int s) {
        const int r = RowOfMatch(m);
        return s == 0 ? Window().mGols0[r] : Window().mGols1[r];
    }

    // The row of match m as the user sees it: "Time 0 2 x 1 Time 5", with
    // "(fechado)" when its boxes and button are disabled.
    QString Shown(int m) {
        const TformTorvel& w = Window();
        const int r = RowOfMatch(m);
        const bool enabled =
            w.mGols0[r]->isEnabled() && w.mGols1[r]->isEnabled() && w.bEscalacao[r]->isEnabled();
        return QString("%1 %2 x %3 %4%5")
            .arg(w.lTime0[r]->text(), w.mGols0[r]->text(), w.mGols1[r]->text(), w.lTime1[r]->text(),
                 enabled ? "" : " (fechado)");
    }

    std::map<int, QString> ShownKnockout() {
        std::map<int, QString> rows;
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
            rows[m] = Shown(m);
        return rows;
    }

    // Match m as stored in the file: results, recorded teams, participants.
    std::string DiskMatch(int m) const {
        std::ostringstream text;
        DiskSide(m, 0).parent().parent().print(text);
        return text.str();
    }

    std::map<int, std::string> DiskKnockout() const {
        std::map<int, std::string> stored;
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m)
            stored[m] = DiskMatch(m);
        return stored;
    }

    int DiskQuant(int m, int s) const {
        return DiskSide(m, s).child("gols").attribute("Quant").as_int();
    }

    // Click into the box, End, Backspace: the box is empty for a moment.
    static void EraseByKeys(QLineEdit* box) {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClick(box, Qt::Key_Backspace);
    }

    void TypeResult(int m, int goals0, int goals1) {
        QTest::keyClicks(Box(m, 0), QString::number(goals0));
        QTest::keyClicks(Box(m, 1), QString::number(goals1));
    }

    // Ends the program and starts it again on the same files.
    void Restart() {
        program.reset();
        program = std::make_unique<TTorvelProgram>(dir.Path());
        program->FormTorvel.show();
    }

    // Clicks a ranking button and returns the grid shown, row by row.
    std::vector<QStringList> Ranking(QPushButton* button) {
        std::vector<QStringList> grid;
        const Dialogs::TScriptedModals modals([&](QDialog&) {
            for (int row = 1; row < formRanking->Grid->RowCount(); ++row) {
                QStringList cells;
                for (int col = 0; col < formRanking->Grid->ColCount(); ++col)
                    cells << formRanking->Grid->Cell(col, row);
                grid.push_back(cells);
            }
            return int(QDialog::Accepted);
        });
        button->click();
        return grid;
    }

    // Team names of the overall ranking, first place first.
    QStringList OverallRanking() {
        QStringList names;
        for (const QStringList& row : Ranking(Window().bRankingGeral))
            names << row[1];
        return names;
    }

    // "Artilheiro, Seleção, Gols" of every scorer listed.
    QStringList ScorerRanking() {
        QStringList scorers;
        for (const QStringList& row : Ranking(Window().bRankingArtilheiros))
            if (!row[1].isEmpty())
                scorers << row[1] + ", " + row[2] + ", " + row[3];
        return scorers;
    }
};

// Groups ending in slot order: 48 is team 0 against team 5, 49 team 8
// against team 13. Every knockout result typed in match order; team 0 wins
// its last-16 match and quarter-final, loses its semi-final and plays the
// third place match.
class TypedKnockoutTest : public KnockoutResultsTest {
protected:
    void StartWithTypedResults() {
        SetGroupResultsInSlotOrder(matches, GroupMatchCount - 1);
        Start();
        SelectPhase(1);
        for (int m = FirstKnockoutMatch; m < MatchCount; ++m) {
            const bool sideOneWins = m == 60;
            TypeResult(m, sideOneWins ? 0 : 2, 1);
        }
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    }

    // Through the lineup dialog of the quarter-final, team 0 against team 8:
    // 10 of team 0 scores both goals, 9 of team 8 the one goal.
    void EnterQuarterFinalLineup() {
        const Dialogs::TScriptedModals lineup([&](QDialog& dialog) {
            auto& d = dynamic_cast<TformArtilheiros&>(dialog);
            d.show();
            d.cEquipe0->setCurrentIndex(1);
            QTest::mouseClick(d.bAdd0, Qt::LeftButton);
            QTest::keyClicks(d.eGols0, "2");
            QTest::mouseClick(d.bAdd1, Qt::LeftButton);
            QTest::keyClicks(d.eGols1, "1");
            d.accept();
            return int(QDialog::Accepted);
        });
        Window().bEscalacao[RowOfMatch(FirstQuarterFinal)]->click();
    }

    std::string DiskSideText(int m, int s) const {
        std::ostringstream text;
        DiskSide(m, s).print(text);
        return text.str();
    }
};

TEST_F(TypedKnockoutTest, RetypingALastSixteenScoreKeepsEveryLaterRound) {
    StartWithTypedResults();
    const std::map<int, QString> shown = ShownKnockout();
    EXPECT_EQ(shown.at(48), "Time 0 2 x 1 Time 5");
    EXPECT_EQ(shown.at(FirstQuarterFinal), "Time 0 2 x 1 Time 8");
    EXPECT_TRUE(shown.at(62).startsWith("Time 0 2 x 1 ")) << shown.at(62).toStdString();
    const std::map<int, std::string> stored = DiskKnockout();
    EXPECT_NE(stored.at(63).find("Confronto=\""), std::string::npos);

    QLineEdit* box = Box(48, 0);
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_End);
    EXPECT_EQ(DiskKnockout(), stored);

    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "");
    EXPECT_EQ(DiskQuant(48, 0), -1);
    EXPECT_EQ(DiskQuant(48, 1), 1);
    // The rounds team 0 reached have no teams for the moment: shown empty and
    // closed, but kept in the file.
    for (int m : {FirstQuarterFinal, 60, 62, 63}) {
        EXPECT_EQ(Shown(m), "  x   (fechado)") << m;
        EXPECT_EQ(DiskMatch(m), stored.at(m)) << m;
    }
    for (int m : {49, 57, 58, 59, 61})
        EXPECT_EQ(Shown(m), shown.at(m)) << m;

    QTest::keyClicks(box, "2");
    EXPECT_EQ(ShownKnockout(), shown);
    EXPECT_EQ(DiskKnockout(), stored);

    Restart();
    SelectPhase(1);
    EXPECT_EQ(ShownKnockout(), shown);
    EXPECT_EQ(DiskKnockout(), stored);
    EXPECT_TRUE(messages.empty());
}

// The rows of both phases after corrections typed while the program runs, as
// a fresh start on the saved files shows them; the row controls are kept from
// phase to phase, so nothing of a row shown before may stay behind.
TEST_F(TypedKnockoutTest, RowsAfterCorrectionsAreThoseOfAFreshStart) {
    for (int team : {0, 8})
        AddSquad(teams, team, {9, 10});
    StartWithTypedResults();
    EnterQuarterFinalLineup();
    // Every row of the phase on screen with the tags of its open controls.
    const auto rows = [&](int first, int last) {
        std::map<int, QString> shown;
        for (int m = first; m < last; ++m) {
            const int r = RowOfMatch(m);
            shown[m] = Shown(m);
            if (Window().mGols0[r]->isEnabled())
                shown[m] += QString(" tags %1 %2 %3")
                                .arg(Tag(Window().mGols0[r]))
                                .arg(Tag(Window().mGols1[r]))
                                .arg(Tag(Window().bEscalacao[r]));
        }
        return shown;
    };

    // Group A corrected: team 1 beats team 0 and wins the group, so the last
    // 16 match of team 0 gets other teams.
    SelectPhase(0);
    EraseByKeys(Box(0, 0));
    QTest::keyClicks(Box(0, 0), "0");
    SelectPhase(1);
    EXPECT_TRUE(Shown(48).startsWith("Time 1 ")) << Shown(48).toStdString();
    // A last-16 result retyped, then one entered for the new pairing.
    EraseByKeys(Box(49, 1));
    QTest::keyClicks(Box(49, 1), "3");
    TypeResult(48, 1, 0);
    const std::map<int, QString> knockout = rows(FirstKnockoutMatch, MatchCount);
    SelectPhase(0);
    const std::map<int, QString> group = rows(0, GroupMatchCount);
    ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();

    Restart();
    EXPECT_EQ(rows(0, GroupMatchCount), group);
    SelectPhase(1);
    EXPECT_EQ(rows(FirstKnockoutMatch, MatchCount), knockout);
    EXPECT_TRUE(messages.empty());
}

TEST_F(TypedKnockoutTest, TheQuarterFinalOfAFormerWinnerIsNotTheNewWinners) {
    for (int team : {0, 5, 8})
        AddSquad(teams, team, {9, 10});
    StartWithTypedResults();
    EnterQuarterFinalLineup();
    const std::string quarterFinal = DiskMatch(FirstQuarterFinal);
    EXPECT_NE(quarterFinal.find("Confronto=\"101 109\""), std::string::npos) << quarterFinal;
    const QStringList scorers = {"Jogador 10, Time 0, 2", "Jogador 9, Time 8, 1"};
    EXPECT_EQ(ScorerRanking(), scorers);

    // Team 5 wins the last-16 match instead: 2 x 1 becomes 2 x 3.
    EraseByKeys(Box(48, 1));
    QTest::keyClicks(Box(48, 1), "3");
    EXPECT_EQ(DiskQuant(48, 1), 3);
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 5  x  Time 8");
    EXPECT_EQ(Shown(60), "  x   (fechado)");
    EXPECT_EQ(DiskMatch(FirstQuarterFinal), quarterFinal);
    EXPECT_TRUE(ScorerRanking().isEmpty()) << "the goals were scored against team 0";

    // The lineup of team 5 against team 8 starts empty; closing it unchanged
    // keeps what was entered for team 0 against team 8.
    const Dialogs::TScriptedModals emptyLineup([&](QDialog& dialog) {
        auto& d = dynamic_cast<TformArtilheiros&>(dialog);
        d.show();
        EXPECT_EQ(d.lEquipe0->text(), "Time 5");
        EXPECT_EQ(d.listEquipe0->count(), 0);
        EXPECT_EQ(d.listEquipe1->count(), 0);
        EXPECT_EQ(d.lPlacar->text(), "Placar: indefinido");
        d.accept();
        return int(QDialog::Accepted);
    });
    Window().bEscalacao[RowOfMatch(FirstQuarterFinal)]->click();
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 5  x  Time 8");
    EXPECT_EQ(DiskMatch(FirstQuarterFinal), quarterFinal);

    Restart();
    SelectPhase(1);
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 5  x  Time 8");
    EraseByKeys(Box(48, 1));
    QTest::keyClicks(Box(48, 1), "1");
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 0 2 x 1 Time 8");
    EXPECT_EQ(Shown(60), "Time 0 0 x 1 Time 16");
    EXPECT_EQ(ScorerRanking(), scorers);

    // Only an entry for other teams replaces the stored one: team 5's 1 goal
    // takes side 0, and side 1 keeps team 8's goal against team 0.
    EraseByKeys(Box(48, 1));
    QTest::keyClicks(Box(48, 1), "3");
    QTest::keyClicks(Box(FirstQuarterFinal, 0), "1");
    EXPECT_EQ(DiskQuant(FirstQuarterFinal, 0), 1);
    EXPECT_TRUE(DiskSide(FirstQuarterFinal, 0).child("artilheiros").children().empty());
    EXPECT_STREQ(DiskSide(FirstQuarterFinal, 0).attribute("Confronto").value(), "106 109");
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 5 1 x  Time 8");
    EraseByKeys(Box(48, 1));
    QTest::keyClicks(Box(48, 1), "1");
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 0  x 1 Time 8");
    EXPECT_EQ(ScorerRanking(), QStringList({"Jogador 9, Time 8, 1"}));
}

TEST_F(TypedKnockoutTest, LineupOfANewPairingReplacesOnlyTheSideTheUserFills) {
    for (int team : {0, 5, 8})
        AddSquad(teams, team, {9, 10});
    StartWithTypedResults();
    EnterQuarterFinalLineup();
    const std::string side1 = DiskSideText(FirstQuarterFinal, 1);
    EraseByKeys(Box(48, 1));
    QTest::keyClicks(Box(48, 1), "3"); // team 5 against team 8 now

    const Dialogs::TScriptedModals lineup([&](QDialog& dialog) {
        auto& d = dynamic_cast<TformArtilheiros&>(dialog);
        d.show();
        EXPECT_EQ(d.listEquipe1->count(), 0) << "team 8's participant played team 0";
        QTest::mouseClick(d.bAdd0, Qt::LeftButton);
        QTest::keyClicks(d.eGols0, "1");
        EXPECT_EQ(d.lPlacar->text(), "Placar: indefinido");
        d.accept();
        return int(QDialog::Accepted);
    });
    Window().bEscalacao[RowOfMatch(FirstQuarterFinal)]->click();
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 5  x  Time 8");
    const pugi::xml_node side0 = DiskSide(FirstQuarterFinal, 0);
    EXPECT_STREQ(side0.attribute("Confronto").value(), "106 109");
    EXPECT_EQ(side0.child("gols").attribute("Quant").as_int(), -1);
    const auto participants = side0.child("artilheiros").children("jogador");
    ASSERT_EQ(std::distance(participants.begin(), participants.end()), 1);
    EXPECT_EQ(participants.begin()->attribute("No").as_int(), 9);
    EXPECT_EQ(DiskSideText(FirstQuarterFinal, 1), side1)
        << "the side the user left alone keeps team 8's entry against team 0";

    EraseByKeys(Box(48, 1));
    QTest::keyClicks(Box(48, 1), "1");
    EXPECT_EQ(Shown(FirstQuarterFinal), "Time 0  x 1 Time 8");
    EXPECT_EQ(ScorerRanking(), QStringList({"Jogador 9, Time 8, 1"}));
}

// The 2014 tournament with every result in a file written before results
// recorded their teams, and a few scorers.
class Tournament2014Test : public KnockoutResultsTest {
protected:
    Tournament2014Test() {
        teams = LoadDocument(std::filesystem::path(TORVEL_DADOS_DIR) / "selecoes.xml");
        matches = LoadDocument(std::filesystem::path(TORVEL_DADOS_DIR) / "jogos.xml");
        for (const Result& result : GroupResults)
            SetResult(matches, result.match, result.goals0, result.goals1);
        for (const Result& result : KnockoutResults)
            SetResult(matches, result.match, result.goals0, result.goals1);
        AddParticipant(matches, 51, 0, 9, 2);  // Costa Rica against Grécia
        AddParticipant(matches, 53, 0, 13, 2); // Alemanha against Argélia
        AddParticipant(matches, 63, 0, 19, 1); // the final
    }

    void ExpectEveryKnockoutResultShown() {
        for (const Result& result : KnockoutResults)
            EXPECT_EQ(Shown(result.match), QString("%1 %2 x %3 %4")
                                               .arg(QString::fromUtf8(result.team0))
                                               .arg(result.goals0)
                                               .arg(result.goals1)
                                               .arg(QString::fromUtf8(result.team1)))
                << "match " << result.match;
    }

    // Grécia 2 x 1 Costa do Marfim becomes 1 x 1 (or back) by keystrokes.
    void RetypeGreciaCostaDoMarfim(const char* goals) {
        SelectPhase(0);
        EraseByKeys(Box(17, 0));
        EXPECT_EQ(DiskQuant(17, 0), -1);
        QTest::keyClicks(Box(17, 0), goals);
        EXPECT_EQ(DiskQuant(17, 0), QString(goals).toInt());
        SelectPhase(1);
    }

    void ExpectEveryKnockoutResultOnDisk() {
        for (const Result& result : KnockoutResults) {
            EXPECT_EQ(DiskQuant(result.match, 0), result.goals0) << "match " << result.match;
            EXPECT_EQ(DiskQuant(result.match, 1), result.goals1) << "match " << result.match;
        }
    }
};

TEST_F(Tournament2014Test, AGroupCorrectionHidesTheKnockoutResultsOfAChangedPairingUntilUndone) {
    Start();
    SelectPhase(1);
    ExpectEveryKnockoutResultShown();
    const std::map<int, QString> shown = ShownKnockout();
    const QStringList overall = OverallRanking();
    const QStringList scorers = ScorerRanking();
    EXPECT_EQ(overall.front(), "Alemanha");
    ASSERT_EQ(scorers.size(), 3);
    EXPECT_EQ(scorers[0].section(", ", 1), "Costa Rica, 2");

    // Costa do Marfim is now second in group C: 51 is Costa Rica against
    // Costa do Marfim, a pairing no result of 2014 belongs to.
    RetypeGreciaCostaDoMarfim("1");
    ExpectEveryKnockoutResultOnDisk();
    const std::map<int, std::string> stored = DiskKnockout();
    // Recorded at the first save: Costa Rica is team number 14, Grécia 10.
    EXPECT_NE(stored.at(51).find("Confronto=\"14 10\""), std::string::npos) << stored.at(51);
    EXPECT_EQ(Shown(51), "Costa Rica  x  Costa do Marfim");
    for (int m : {58, 61, 62, 63})
        EXPECT_EQ(Shown(m), "  x   (fechado)") << m;
    for (int m : {48, 49, 50, 52, 53, 54, 55, FirstQuarterFinal, 57, 59, 60})
        EXPECT_EQ(Shown(m), shown.at(m)) << m;

    // Counted nowhere: Costa Rica and Costa do Marfim have no knockout points
    // and a goal difference of 0, behind the seven teams that won a match
    // that still counts.
    const QStringList corrected = OverallRanking();
    ASSERT_EQ(corrected.size(), 32);
    EXPECT_EQ(corrected.mid(0, 3), QStringList({"Alemanha", "Argentina", "Brasil"}));
    EXPECT_EQ(QSet<QString>(corrected.begin() + 7, corrected.begin() + 9),
              QSet<QString>({"Costa Rica", "Costa do Marfim"}));
    const QStringList correctedScorers = ScorerRanking();
    ASSERT_EQ(correctedScorers.size(), 1);
    EXPECT_TRUE(correctedScorers[0].endsWith(", Alemanha, 2"));

    const QString pdf = QString::fromStdString(dir.Path()) + "tabela.pdf";
    EXPECT_EQ(PrintToPdf(Window(), pdf), 1);
    const auto blocks = PrintedBlocks(PdfPages(pdf), "Eliminatórias");
    ASSERT_EQ(blocks.size(), 16u);
    const auto printed = [&](int m) { return blocks[RowOfMatch(m)].second; };
    EXPECT_EQ(printed(51), NamesLine("Costa Rica", "Costa do Marfim"))
        << "no score over the blanks";
    for (int m : {58, 61, 62, 63})
        EXPECT_EQ(printed(m), "_______________ ____ X ____ _______________") << m;
    EXPECT_NE(printed(49), NamesLine("Colômbia", "Uruguai")) << "its score is printed";

    RetypeGreciaCostaDoMarfim("2");
    EXPECT_EQ(ShownKnockout(), shown);
    EXPECT_EQ(OverallRanking(), overall);
    EXPECT_EQ(ScorerRanking(), scorers);
    EXPECT_EQ(DiskKnockout(), stored);

    Restart();
    SelectPhase(1);
    ExpectEveryKnockoutResultShown();
    EXPECT_EQ(ScorerRanking(), scorers);
    EXPECT_EQ(DiskKnockout(), stored);
}

} // namespace
