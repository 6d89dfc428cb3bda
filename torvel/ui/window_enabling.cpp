#include "window_enabling.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Drops the user's input meant for a disabled window. It is a child of the
// window and watches the whole application for as long as it exists.
class TInputBlocker final : public QObject {
    Q_OBJECT
public:
    explicit TInputBlocker(QWidget& window) : QObject(&window), window_(window) {
        qApp->installEventFilter(this);
    }
    ~TInputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return IsUserInput(*event) && IsWithinWindow(*watched);
    }

private:
    static bool IsUserInput(const QEvent& event) {
        switch (event.type()) {
        // The pointer moving over the window still updates what is under it.
        case QEvent::Enter:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::HoverLeave:
            return false;
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return event.isInputEvent();
        }
    }

    bool IsWithinWindow(const QObject& watched) const {
        if (&watched == window_.windowHandle())
            return true;
        return watched.isWidgetType() && static_cast<const QWidget&>(watched).window() == &window_;
    }

    QWidget& window_;
};

TInputBlocker* BlockerOf(QWidget& window) {
    return window.findChild<TInputBlocker*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

void SetWindowEnabled(QWidget& window, bool enabled) {
    TInputBlocker* blocker = BlockerOf(window);
    if (enabled) {
        delete blocker;
        // Clears the window's own state. Its controls were never disabled, so
        // Qt passes them by; only a control created meanwhile, which took the
        // window's state, is enabled again.
        window.setEnabled(true);
    } else if (!blocker) {
        new TInputBlocker(window);
        window.setAttribute(Qt::WA_ForceDisabled);
        window.setAttribute(Qt::WA_Disabled);
    }
}

#include "window_enabling.moc"
