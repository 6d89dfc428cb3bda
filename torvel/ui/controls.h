#pragma once
// Small helpers shared by the windows: control tags, fonts, label sizing and
// the key rule of the goal boxes.

#include <QFont>
#include <QString>

#include <cstdint>

class QEvent;
class QLabel;
class QObject;

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

// Sizes a label to its text in its font, as a self-sizing label does; an empty
// label keeps the height of one line.
void AutoSize(QLabel* label);

// True for a key press that a goal box discards: any character that is
// neither a control character (code below 32) nor a digit.
bool IsRefusedGoalKey(const QEvent* event);
