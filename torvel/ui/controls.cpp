#include "controls.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QVariant>

namespace {
constexpr char TagProperty[] = "tag";
}

void SetTag(QObject* control, int32_t tag) {
    control->setProperty(TagProperty, tag);
}

int32_t Tag(const QObject* control) {
    return control->property(TagProperty).toInt();
}

void AutoSize(QLabel* label) {
    const QFontMetrics metrics(label->font());
    label->resize(metrics.horizontalAdvance(label->text()), metrics.height());
}

bool IsRefusedGoalKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const QString text = static_cast<const QKeyEvent*>(event)->text();
    if (text.isEmpty())
        return false;
    const char16_t code = text.at(0).unicode();
    return code >= 32 && (code < u'0' || code > u'9');
}
