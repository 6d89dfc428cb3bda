#include "NumEdit.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

// A shown window with the numeric box and a second control to move the
// focus to; Brazilian separators ("," decimals, "." thousands).
class NumericEdit : public ::testing::Test {
protected:
    QWidget window;
    TNumericEdit* edit = new TNumericEdit(&window);
    QLineEdit* other = new QLineEdit(&window);

    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        other->move(0, 40);
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        Leave();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void Enter() {
        edit->setFocus();
        ASSERT_TRUE(edit->hasFocus());
    }
    void Leave() {
        other->setFocus();
        ASSERT_FALSE(edit->hasFocus());
    }
};

TEST_F(NumericEdit, WholeNumbersTypeAndClear) {
    edit->SetDecimalCount(0);
    EXPECT_EQ(edit->maxLength(), 15);
    int exits = 0;
    double valueAtExit = -1;
    QObject::connect(edit, &TNumericEdit::Exit, [&] {
        ++exits;
        valueAtExit = edit->Value();
    });
    Enter();
    QTest::keyClicks(edit, "12");
    Leave();
    EXPECT_EQ(edit->Value(), 12);
    EXPECT_EQ(edit->text(), "12");
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(valueAtExit, 12) << "the exit handler sees the new value";

    Enter();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    Leave();
    EXPECT_EQ(edit->Value(), 0);
    EXPECT_EQ(edit->text(), "");
}

TEST_F(NumericEdit, FocusedAndUnfocusedFormatsUseTheLocaleSeparators) {
    edit->SetDecimalCount(2);
    edit->SetValue(1234.5);
    EXPECT_EQ(edit->text(), "1.234,50");
    Enter();
    EXPECT_EQ(edit->text(), "1234,50");
    Leave();
    EXPECT_EQ(edit->text(), "1.234,50");
    EXPECT_EQ(edit->Value(), 1234.5);

    edit->SetValue(12);
    EXPECT_EQ(edit->text(), "12,00");
    Enter();
    EXPECT_EQ(edit->text(), "12") << "a whole value shows no decimals while focused";

    edit->SetDecimalCount(0);
    Leave();
    edit->SetValue(-1234.9);
    EXPECT_EQ(edit->text(), "-1234");
}

TEST_F(NumericEdit, TypingFilterRefusesWhatIsNoNumber) {
    Enter();
    QTest::keyClicks(edit, "1a2,3,4-x.");
    EXPECT_EQ(edit->text(), "12,34");
    edit->setText("");
    QTest::keyClicks(edit, "-5");
    EXPECT_EQ(edit->text(), "5") << "no negatives by default";

    edit->SetAllowNegatives(true);
    edit->setText("");
    QTest::keyClicks(edit, "-5-");
    EXPECT_EQ(edit->text(), "-5");
    edit->setCursorPosition(2);
    QTest::keyClicks(edit, "-");
    EXPECT_EQ(edit->text(), "-5");
    edit->setText("7");
    edit->setCursorPosition(1);
    QTest::keyClicks(edit, "-");
    EXPECT_EQ(edit->text(), "7") << "a minus sign only at the start";
}

TEST_F(NumericEdit, ShortcutsAreNoTypedCharacters) {
    Enter();
    QTest::keyClicks(edit, "45");
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit->selectedText(), "45");
    QTest::keyClicks(edit, "7");
    EXPECT_EQ(edit->text(), "7");
}

TEST_F(NumericEdit, LoneSeparatorReadsZeroAndDecimalsAreCapped) {
    Enter();
    QTest::keyClicks(edit, ",");
    Leave();
    EXPECT_EQ(edit->Value(), 0);
    EXPECT_EQ(edit->text(), "");

    edit->SetDecimalCount(9);
    EXPECT_EQ(edit->DecimalCount(), 5);
    edit->SetValue(0.5);
    EXPECT_EQ(edit->text(), "0,50000");
}

// The owner's exit handler can tell an emptied box from one left with text
// that is no number, though both give Value 0.
TEST_F(NumericEdit, ExitKeepsTheTextAsItWasLeft) {
    QStringList seen;
    QObject::connect(edit, &TNumericEdit::Exit, [&] { seen << edit->ExitText(); });
    Enter();
    QTest::keyClicks(edit, ",");
    Leave();
    Enter();
    QTest::keyClick(edit, Qt::Key_Backspace);
    Leave();
    Enter();
    QTest::keyClicks(edit, "12");
    Leave();
    EXPECT_EQ(seen, QStringList({",", "", "12"}));
    EXPECT_EQ(edit->Value(), 12);
}

TEST_F(NumericEdit, RepaintRederivesTheTextWithoutFocus) {
    edit->SetDecimalCount(0);
    edit->SetValue(3);
    edit->setText("99");
    edit->repaint();
    EXPECT_EQ(edit->text(), "3");
}

int main(int argc, char** argv) {
    // Headless unless told otherwise, also when CTest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
