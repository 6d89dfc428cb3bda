#include "torvel_application.h"

#include "dialogs.h"

#include <stdexcept>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Torvel");
    setApplicationDisplayName("Torvel");
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

void ShowException(std::exception_ptr error) {
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        text = QString::fromStdString(e.what());
    } catch (...) {
        text = QStringLiteral("Erro desconhecido.");
    }
    Dialogs::Message(QApplication::activeWindow(), text, Dialogs::TMessageKind::Stop);
}

void RunHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (...) {
        ShowException(std::current_exception());
    }
}
