#pragma once
// A single-line edit box for one number: only characters of a number can be
// typed, and the value is shown plainly while the box has the focus and with
// thousands separators when it has not. Separators are the user's locale's.

#include <QLineEdit>

#include <cstdint>

class TNumericEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(double Value READ Value WRITE SetValue)
    Q_PROPERTY(int DecimalCount READ DecimalCount WRITE SetDecimalCount)
    Q_PROPERTY(bool AllowNegatives READ AllowNegatives WRITE SetAllowNegatives)

public:
    explicit TNumericEdit(QWidget* parent = nullptr);

    double Value() const { return value_; }
    void SetValue(double value);
    // Decimals shown, at most 5.
    int DecimalCount() const { return decimalCount_; }
    void SetDecimalCount(int count);
    bool AllowNegatives() const { return allowNegatives_; }
    void SetAllowNegatives(bool allow) { allowNegatives_ = allow; }
    // The text as it stood when the box was last left, before Value took it.
    const QString& ExitText() const { return exitText_; }

signals:
    // Emitted on losing the focus, after Value took the typed number.
    void Exit();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The text for Value in the focused or unfocused form.
    QString DerivedText() const;
    void DeriveText();
    bool Accepts(QChar typed) const;

    double value_ = 0;
    std::uint8_t decimalCount_ = 2;
    bool allowNegatives_ = false;
    QString exitText_;
};
