// Renders the main window in both phases and the lineup dialog to PNG files
// in the build folder, for a look by eye.

#include "program_fixture.h"

#include <QApplication>
#include <QDir>

using namespace torvel_test;

namespace {

class PicturesTest : public ProgramTest {
protected:
    static void Save(QWidget& widget, const char* name) {
        QDir().mkpath(TORVEL_PICTURES_DIR);
        const QString path = QString(TORVEL_PICTURES_DIR) + "/" + name;
        QApplication::processEvents(); // pending layout, as before any real repaint
        const QPixmap picture = widget.grab();
        ASSERT_FALSE(picture.isNull());
        ASSERT_TRUE(picture.save(path)) << path.toStdString();
        EXPECT_EQ(QImage(path).size(), widget.size());
    }
};

TEST_F(PicturesTest, MainWindowAndLineupDialog) {
    AddSquad(teams, 0, {3, 7, 10});
    AddSquad(teams, 1, {2, 4});
    SetResult(matches, 0, 2, 1);
    AddParticipant(matches, 0, 0, 7, 2);
    AddParticipant(matches, 0, 1, 4, 1);
    AddParticipant(matches, 0, 1, 8, 0);
    Start();
    program->FormTorvel.resize(700, 520);
    Save(program->FormTorvel, "main_group_phase.png");
    program->FormTorvel.cFases->setCurrentIndex(1);
    Save(program->FormTorvel, "main_knockout_phase.png");

    TformArtilheiros& dialog = program->FormArtilheiros;
    dialog.nSelecao0 = 0;
    dialog.nSelecao1 = 1;
    dialog.nJogo = 0;
    dialog.show();
    Save(dialog, "lineup_dialog.png");
    EXPECT_EQ(dialog.lPlacar->text(), "Placar: Time 0  2 x 1  Time 1");
}

} // namespace
