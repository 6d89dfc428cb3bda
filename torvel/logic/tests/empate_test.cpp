// The tie dialog: its designed layout, its answers, and the questions of
// UpdateQualification put through it. Also draws its picture.

#include "hand_cursor.h"
#include "qualification_fixture.h"
#include "torvel_empate.h"

#include <QDir>
#include <QStyle>
#include <QTest>
#include <QTimer>

namespace torvel_test {
namespace {

const std::vector<std::string> GroupA = {"Brasil", "México", "Croácia", "Camarões"};
const char* const FourWayIntro =
    "Existem 4 seleções empatadas em disputa pelo 1 .º lugar do grupo A. Informe qual destas "
    "seleções foi sorteada para ocupar a posição.";

bool ShowsHandCursor(const QWidget& widget) {
    return widget.cursor().shape() == Qt::BitmapCursor &&
           widget.cursor().hotSpot() == HandCursor().hotSpot();
}

TEST(TformEmpate, HasTheDesignedLayout) {
    TformEmpate dialog;
    EXPECT_EQ(formEmpate, &dialog);
    EXPECT_EQ(dialog.size(), QSize(290, 214));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed border";
    EXPECT_EQ(dialog.windowTitle(), "Torvel");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(dialog.font().family(), "MS Sans Serif");
    EXPECT_EQ(dialog.font().pixelSize(), 11);

    EXPECT_EQ(dialog.Label1->geometry(), QRect(8, 5, 121, 16));
    EXPECT_EQ(dialog.Label1->text(), "Empate no Grupo");
    EXPECT_TRUE(dialog.Label1->font().bold());
    EXPECT_EQ(dialog.Label1->font().pixelSize(), 13);
    EXPECT_EQ(dialog.lIntro->geometry(), QRect(8, 32, 273, 49));
    EXPECT_TRUE(dialog.lIntro->wordWrap());
    EXPECT_EQ(dialog.rgSelecoes->geometry(), QRect(8, 88, 273, 89));
    EXPECT_EQ(dialog.rgSelecoes->title(), "Seleções Empatadas");
    EXPECT_EQ(dialog.bOK->geometry(), QRect(205, 184, 75, 25));
    EXPECT_EQ(dialog.bOK->text(), "OK");
    EXPECT_EQ(dialog.rgSelecoes->font().pixelSize(), 11);
}

TEST(TformEmpate, ClickableControlsShowTheHandCursor) {
    TformEmpate dialog;
    dialog.SetItems(GroupA);
    EXPECT_TRUE(ShowsHandCursor(*dialog.rgSelecoes));
    EXPECT_TRUE(ShowsHandCursor(*dialog.bOK));
    EXPECT_TRUE(ShowsHandCursor(*dialog.Items()[2]));
    EXPECT_FALSE(ShowsHandCursor(*dialog.lIntro));
}

TEST(TformEmpate, OneRadioButtonPerTeamInEqualRows) {
    TformEmpate dialog;
    dialog.SetItems({"Equipe 1", "Equipe 2", "Equipe 3"});
    dialog.SetItems(GroupA);
    ASSERT_EQ(dialog.Items().size(), GroupA.size());
    const QRect box = dialog.rgSelecoes->rect();
    for (size_t k = 0; k < GroupA.size(); ++k) {
        const QRadioButton& item = *dialog.Items()[k];
        EXPECT_EQ(item.text().toStdString(), GroupA[k]);
        EXPECT_EQ(item.parentWidget(), dialog.rgSelecoes);
        EXPECT_TRUE(box.contains(item.geometry())) << k;
        if (k > 0) {
            EXPECT_EQ(item.y() - dialog.Items()[k - 1]->y(), item.height()) << k;
        }
    }
    EXPECT_EQ(dialog.ItemIndex(), -1);
}

TEST(TformEmpate, ShowingSelectsTheFirstTeamAndCentresTheDialog) {
    TformEmpate dialog;
    dialog.SetItems(GroupA);
    dialog.Items()[2]->setChecked(true);
    dialog.show();
    EXPECT_EQ(dialog.ItemIndex(), 0);
    const QRect screen = dialog.screen()->availableGeometry();
    EXPECT_LE(std::abs(dialog.frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(dialog.frameGeometry().center().y() - screen.center().y()), 1);
    dialog.hide();
    dialog.SetItems({});
    dialog.show();
    EXPECT_EQ(dialog.ItemIndex(), -1);
}

TEST(TformEmpate, AskReturnsTheSelectedTeamAndCannotBeCancelled) {
    TformEmpate dialog;
    bool stayedOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
        QRadioButton* second = dialog.Items()[1].get();
        QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(6, second->height() / 2));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        dialog.close();
        stayedOpen = dialog.isVisible();
        QTest::mouseClick(dialog.bOK, Qt::LeftButton);
    });
    EXPECT_EQ(dialog.Ask(FourWayIntro, GroupA), 1);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(dialog.lIntro->text(), QString::fromUtf8(FourWayIntro));
    EXPECT_FALSE(dialog.isVisible());
}

TEST(TformEmpate, TextsFitTheirControls) {
    TformEmpate dialog;
    dialog.lIntro->setText(QString::fromUtf8(FourWayIntro));
    dialog.SetItems(GroupA);
    EXPECT_LE(dialog.Label1->sizeHint().width(), dialog.Label1->width());
    EXPECT_LE(dialog.lIntro->heightForWidth(dialog.lIntro->width()), dialog.lIntro->height());
    for (const auto& item : dialog.Items()) {
        const int indicator = item->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight);
        EXPECT_LE(std::max(item->fontMetrics().height(), indicator), item->height())
            << item->text().toStdString();
    }
    EXPECT_LE(dialog.bOK->fontMetrics().horizontalAdvance(dialog.bOK->text()), dialog.bOK->width());
}

TEST(TformEmpate, DrawsItsPicture) {
    TformEmpate dialog;
    dialog.SetItems(GroupA);
    dialog.lIntro->setText(QString::fromUtf8(FourWayIntro));
    dialog.show();
    const QString folder = QStringLiteral(TORVEL_PICTURES_DIR);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QImage picture = dialog.grab().toImage();
    EXPECT_EQ(picture.size(), QSize(290, 214));
    ASSERT_TRUE(picture.save(folder + "/empate.png"));
}

// UpdateQualification asking through the real dialog.
class EmpateQuestions : public QualificationTest {
protected:
    void SetUp() override {
        QualificationTest::SetUp();
        TieQuestion = &dialog_;
    }
    TformEmpate dialog_;
};

TEST_F(EmpateQuestions, TheChosenTeamIsStoredFirst) {
    // Slots 0 and 1 level in everything at the top of group A.
    PlayGroup(0, {{{1, 1}, {0, 1}, {1, 0}, {0, 1}, {0, 1}, {1, 0}}});
    std::vector<QString> intros;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (!dialog_.isVisible())
            return;
        intros.push_back(dialog_.lIntro->text());
        dialog_.Items().back()->setChecked(true);
        dialog_.bOK->click();
    });
    answer.start(1);
    UpdateQualification();
    ASSERT_EQ(intros.size(), 1u);
    EXPECT_TRUE(intros[0].startsWith("Existem 2 seleções empatadas em disputa pelo 1 .º lugar"));
    EXPECT_EQ(Grupo(1), "A0");
    EXPECT_EQ(Grupo(0), "A1");
    EXPECT_EQ(GroupTable[0][0], 1);
}

} // namespace
} // namespace torvel_test
