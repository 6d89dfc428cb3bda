#pragma once
// Small helpers shared by the windows: control tags, the background picture,
// shirt-number rows, label sizing and the key rule of the goal boxes.

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <cstdint>
#include <string>
#include <utility>

class QEvent;
class QLabel;
class QObject;
class QWidget;

// The signed 32-bit number a control carries for its handlers.
void SetTag(QObject* control, int32_t tag);
int32_t Tag(const QObject* control);

// Two 16-bit halves packed into a tag, and read back.
constexpr int32_t PackTag(int32_t upper, int32_t lower) {
    return (upper << 16) | (lower & 0xFFFF);
}
constexpr int32_t TagUpper(int32_t tag) {
    return tag >> 16;
}
constexpr int32_t TagLower(int32_t tag) {
    return tag & 0xFFFF;
}

// The background bitmap "FUNDO" of the full-screen windows.
QPixmap BackgroundPicture();

// Paints the widget's own background in the colour.
void FillBackground(QWidget* widget, const QColor& colour);

// A list row with a shirt number: "07 - Name".
QString ShirtRow(int32_t shirt, const std::string& name);

// Sizes a label to its text in its font, as a self-sizing label does; an empty
// label keeps the height of one line.
void AutoSize(QLabel* label);

// The sizes AutoSize gives, remembered by font and text: the match table fits
// the same headers and names every time a phase is shown, and measuring a text
// means shaping it anew.
class TLabelSizes {
public:
    QSize Of(const QFont& font, const QString& text);
    // AutoSize from the remembered size.
    void Fit(QLabel* label);

private:
    QHash<std::pair<QFont, QString>, QSize> sizes_;
};

// True for a key press that a goal box discards: any character that is
// neither a control character (code below 32) nor a digit.
bool IsRefusedGoalKey(const QEvent* event);
