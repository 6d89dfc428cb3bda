#include "NumEdit.h"

#include <QKeyEvent>
#include <QLocale>

#include <algorithm>
#include <cmath>

TNumericEdit::TNumericEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(15);
}

void TNumericEdit::SetValue(double value) {
    value_ = value;
    DeriveText();
}

void TNumericEdit::SetDecimalCount(int count) {
    decimalCount_ = static_cast<std::uint8_t>(std::clamp(count, 0, 5));
    DeriveText();
}

QString TNumericEdit::DerivedText() const {
    if (value_ == 0)
        return {};
    const double integerPart = std::trunc(value_);
    if (decimalCount_ == 0 || (hasFocus() && integerPart == value_))
        return QString::number(static_cast<long long>(integerPart));
    QLocale locale;
    if (hasFocus())
        locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    else
        locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(value_, 'f', decimalCount_);
}

void TNumericEdit::DeriveText() {
    const QString derived = DerivedText();
    if (text() != derived)
        setText(derived);
}

bool TNumericEdit::Accepts(QChar typed) const {
    if (typed.unicode() < 32 || (typed >= u'0' && typed <= u'9'))
        return true;
    const QString separator = QLocale().decimalPoint();
    if (QString(typed) == separator)
        return !text().contains(separator);
    if (typed == u'-') {
        const int start = hasSelectedText() ? selectionStart() : cursorPosition();
        return allowNegatives_ && start == 0 && !text().contains(u'-');
    }
    return false;
}

void TNumericEdit::keyPressEvent(QKeyEvent* event) {
    // Shortcuts (select all, copy, paste...) are no typed characters.
    const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    const QString typed = event->text();
    if (!shortcut && !typed.isEmpty() && !Accepts(typed.front())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TNumericEdit::focusInEvent(QFocusEvent* event) {
    DeriveText();
    QLineEdit::focusInEvent(event);
}

void TNumericEdit::focusOutEvent(QFocusEvent* event) {
    exitText_ = text();
    bool valid = false;
    const double typed = QLocale().toDouble(text().trimmed(), &valid);
    SetValue(valid ? typed : 0);
    QLineEdit::focusOutEvent(event);
    emit Exit();
}

void TNumericEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // While the box has the focus its text is the user's typing.
    if (!hasFocus())
        DeriveText();
}
