#include "controls.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QVariant>
#include <QWidget>

// The background picture lives in this library's own resource file.
static void InitBackgroundResource() {
    Q_INIT_RESOURCE(fundo);
}

namespace {
constexpr char TagProperty[] = "tag";
}

void SetTag(QObject* control, int32_t tag) {
    control->setProperty(TagProperty, tag);
}

int32_t Tag(const QObject* control) {
    return control->property(TagProperty).toInt();
}

QPixmap BackgroundPicture() {
    InitBackgroundResource();
    return QPixmap(":/FUNDO");
}

void FillBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QString ShirtRow(int32_t shirt, const std::string& name) {
    return QString::asprintf("%2.2d - %s", shirt, name.c_str());
}

namespace {

QSize FittedSize(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

} // namespace

void AutoSize(QLabel* label) {
    label->resize(FittedSize(label->font(), label->text()));
}

QSize TLabelSizes::Of(const QFont& font, const QString& text) {
    const std::pair key{font, text};
    auto known = sizes_.constFind(key);
    if (known == sizes_.constEnd())
        known = sizes_.insert(key, FittedSize(font, text));
    return *known;
}

void TLabelSizes::Fit(QLabel* label) {
    label->resize(Of(label->font(), label->text()));
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
