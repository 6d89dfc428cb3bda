// Texts read as designed: the match headers fit their frames, the status
// window has its font and the message boxes speak Portuguese.

#include "program_fixture.h"
#include "torvel_status.h"

#include <QAbstractButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace torvel_test;
namespace fs = std::filesystem;

namespace {

class TextsTest : public ProgramTest {
protected:
    // The program on the data files shipped with it.
    void StartOnShippedData() {
        for (const char* file : {"selecoes.xml", "jogos.xml"})
            fs::copy_file(fs::path(TORVEL_DADOS_DIR) / file, dir.Dados() / file,
                          fs::copy_options::overwrite_existing);
        program = std::make_unique<TTorvelProgram>(dir.Path());
        ASSERT_FALSE(LoadFailed) << LoadFailedReason;
        program->FormTorvel.show();
    }
};

TEST_F(TextsTest, EveryMatchHeaderFitsInsideItsFrameBesideTheScrollBar) {
    StartOnShippedData();
    TformTorvel& w = program->FormTorvel;
    for (int phase : {0, 1}) {
        w.cFases->setCurrentIndex(phase);
        QApplication::processEvents();
        ASSERT_EQ(w.lJogo.size(), phase == 0 ? 48u : 16u);
        ASSERT_TRUE(w.scrJogos->verticalScrollBar()->isVisible());
        const int visibleWidth = w.scrJogos->viewport()->width();
        int widest = 0;
        for (size_t r = 0; r < w.lJogo.size(); ++r) {
            const QLabel* header = w.lJogo[r];
            const QRect frame = w.bvJogo[r]->geometry();
            const int textWidth = QFontMetrics(header->font()).horizontalAdvance(header->text());
            widest = std::max(widest, textWidth);
            EXPECT_TRUE(header->text().endsWith("(Horário de Brasília)"));
            EXPECT_GE(header->width(), textWidth) << header->text().toStdString();
            EXPECT_LE(header->x() + textWidth, frame.right() - 2)
                << header->text().toStdString() << " in phase " << phase + 1;
            EXPECT_LE(frame.right(), visibleWidth) << "frame under the scroll bar";
        }
        EXPECT_GT(widest, 300) << "headers in a readable size";
    }
}

TEST_F(TextsTest, StatusWindowUsesItsDesignedFont) {
    Start();
    for (const QWidget* widget :
         {static_cast<QWidget*>(formStatus), static_cast<QWidget*>(formStatus->lStatus)}) {
        EXPECT_EQ(widget->font().family(), "MS Sans Serif");
        EXPECT_EQ(widget->font().pixelSize(), 11);
    }
    EXPECT_EQ(formStatus->windowTitle(), "Torvel");
}

// The real message boxes, without scripted answers.
TEST(PortugueseMessageBoxes, ButtonsReadSimNaoAndOk) {
    const auto buttonsOf = [](Dialogs::TMessageKind kind) {
        QStringList texts;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* button : box->buttons())
                texts << button->text().remove('&');
            box->reject();
            if (box->isVisible())
                QTest::keyClick(box, Qt::Key_Return);
        });
        Dialogs::Message(nullptr, "Pergunta?", kind);
        texts.sort();
        return texts;
    };
    EXPECT_EQ(buttonsOf(Dialogs::TMessageKind::Question), QStringList({"Não", "Sim"}));
    EXPECT_EQ(buttonsOf(Dialogs::TMessageKind::Stop), QStringList({"OK"}));
    EXPECT_EQ(buttonsOf(Dialogs::TMessageKind::Information), QStringList({"OK"}));
}

} // namespace
