// Renders the main window in both phases, the lineup dialog and the squad
// editor to PNG files in the build folder, for a look by eye.

#include "program_fixture.h"
#include "torvel_rankingpontos.h"
#include "torvel_rankingselecoes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTimer>

using namespace torvel_test;

namespace {

void Save(QWidget& widget, const char* name) {
    QDir().mkpath(TORVEL_PICTURES_DIR);
    const QString path = QString(TORVEL_PICTURES_DIR) + "/" + name;
    QApplication::processEvents(); // pending layout, as before any real repaint
    const QPixmap picture = widget.grab();
    ASSERT_FALSE(picture.isNull());
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
    EXPECT_EQ(QImage(path).size(), widget.size());
}

using PicturesTest = ProgramTest;

TEST_F(PicturesTest, MainWindowAndLineupDialog) {
    AddSquad(teams, 0, {3, 7, 10});
    AddSquad(teams, 1, {2, 4});
    // Groups complete, two last-16 results: the knockout phase shows known
    // and unknown teams, results, and a quarter-final still to play.
    SetGroupResultsInSlotOrder(matches, GroupMatchCount - 1);
    SetResult(matches, 48, 2, 1);
    SetResult(matches, 49, 0, 1);
    SetResult(matches, 0, 2, 1);
    AddParticipant(matches, 0, 0, 7, 2);
    AddParticipant(matches, 0, 1, 4, 1);
    AddParticipant(matches, 0, 1, 8, 0);
    Start();
    program->FormTorvel.resize(700, 520);
    Save(program->FormTorvel, "main_group_phase.png");
    program->FormTorvel.cFases->setCurrentIndex(1);
    Save(program->FormTorvel, "main_knockout_phase.png");
    const TformTorvel& w = program->FormTorvel;
    EXPECT_EQ(w.lTime1[0]->text(), "Time 5") << "row 0 is match 48";
    EXPECT_EQ(w.mGols0[0]->text(), "2");

    TformArtilheiros& dialog = program->FormArtilheiros;
    dialog.nSelecao0 = 0;
    dialog.nSelecao1 = 1;
    dialog.nJogo = 0;
    dialog.show();
    Save(dialog, "lineup_dialog.png");
    EXPECT_EQ(dialog.lPlacar->text(), "Placar: Time 0  2 x 1  Time 1");
}

TEST_F(PicturesTest, SquadEditorWithAFlag) {
    TeamNode(teams, 4).child("Nome").text() = "Brasil";
    TeamNode(teams, 4).child("Bandeira").text() = "brasil.jpg";
    AddSquad(teams, 4, {1, 7, 10, 23});
    CopyShippedFlag(dir, "brasil.jpg");
    Start();
    TformConvocados& editor = program->FormConvocados;
    editor.show();
    ASSERT_EQ(editor.cbSelecoes->currentText(), "Brasil");
    EXPECT_FALSE(editor.bandeira->pixmap().isNull());
    Save(editor, "squad_editor.png");
}

TEST_F(PicturesTest, GroupStandingsAndRankings) {
    AddSquad(teams, 1, {9});
    AddSquad(teams, 2, {10});
    AddSquad(teams, 3, {9});
    // Slot 3 wins every group, slot 0 loses every match; no ties to settle.
    const int winner[6] = {1, 1, 1, 0, 0, 1};
    for (int g = 0; g < GroupCount; ++g)
        for (int k = 0; k < 6; ++k) {
            const int goals = 1 + (g + k) % 3;
            SetResult(matches, 6 * g + k, winner[k] == 0 ? goals : 0, winner[k] == 1 ? goals : 0);
        }
    AddParticipant(matches, 0, 1, 9, 1);
    AddParticipant(matches, 2, 1, 10, 2);
    AddParticipant(matches, 4, 0, 9, 2);
    AddParticipant(matches, 9, 0, 7, 2);
    AddParticipant(matches, 1, 1, 23, 2);
    SetResult(matches, 48, 2, 1);
    Start();
    std::vector<const char*> names = {"group_standings.png", "ranking_teams.png",
                                      "ranking_scorers.png"};
    Dialogs::TScriptedModals modals([&](QDialog& dialog) {
        dialog.show();
        Save(dialog, names.front());
        names.erase(names.begin());
        dialog.accept();
        return static_cast<int>(QDialog::Accepted);
    });
    TformTorvel& w = program->FormTorvel;
    for (QPushButton* button : {w.bGrupos, w.bRankingGeral, w.bRankingArtilheiros})
        button->click();
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(formGrupos->Grid->Cell(0, 1), "Time 3");
    EXPECT_EQ(formRanking->Grid->Cell(1, 1), "Camisa 23");
}

// A real question box, as the squad editor asks it.
TEST(Pictures, QuestionBoxWithItsPortugueseButtons) {
    QStringList buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        Save(*box, "question_box.png");
        for (QAbstractButton* button : box->buttons())
            buttons << button->text().remove('&');
        box->reject();
    });
    Dialogs::Message(nullptr, "Deseja realmente excluir este jogador da lista de convocados?",
                     Dialogs::TMessageKind::Question);
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Não", "Sim"}));
}

} // namespace
