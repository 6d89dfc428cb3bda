#include "dialogs.h"

#include <QApplication>
#include <QDialog>

#include <utility>

namespace Dialogs {

namespace {

QMessageBox::StandardButton ShowMessageBox(const TMessage& message) {
    QMessageBox box(message.owner);
    box.setWindowTitle(QApplication::applicationName());
    box.setText(message.text);
    box.setWindowModality(Qt::ApplicationModal);
    switch (message.kind) {
    case TMessageKind::Stop:
        box.setIcon(QMessageBox::Critical);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case TMessageKind::Question:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
    case TMessageKind::Information:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int ExecDialog(QDialog& dialog) {
    return dialog.exec();
}

TMessageHandler& MessageHandler() {
    static TMessageHandler handler = ShowMessageBox;
    return handler;
}

TModalHandler& ModalHandler() {
    static TModalHandler handler = ExecDialog;
    return handler;
}

} // namespace

QMessageBox::StandardButton Message(QWidget* owner, const QString& text, TMessageKind kind) {
    return MessageHandler()({owner, text, kind});
}

int ShowModal(QDialog& dialog) {
    return ModalHandler()(dialog);
}

TScriptedMessages::TScriptedMessages(TMessageHandler handler)
    : previous_(std::exchange(MessageHandler(), std::move(handler))) {}

TScriptedMessages::~TScriptedMessages() {
    MessageHandler() = std::move(previous_);
}

TScriptedModals::TScriptedModals(TModalHandler handler)
    : previous_(std::exchange(ModalHandler(), std::move(handler))) {}

TScriptedModals::~TScriptedModals() {
    ModalHandler() = std::move(previous_);
}

} // namespace Dialogs
