#pragma once
// The one way the program talks to the user: task-modal message boxes captioned
// with the application title, and modal windows. Tests replace both with
// scripted answers.

#include <QMessageBox>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace Dialogs {

enum class TMessageKind {
    Stop,        // an error or a refusal: stop icon, OK
    Question,    // a confirmation: question icon, Yes/No, No the default
    Information, // a success: information icon, OK
};

struct TMessage {
    QWidget* owner;
    QString text;
    TMessageKind kind;
};

// Shows the message and returns the button the user chose.
QMessageBox::StandardButton Message(QWidget* owner, const QString& text, TMessageKind kind);

// Shows the dialog modally and returns its result.
int ShowModal(QDialog& dialog);

using TMessageHandler = std::function<QMessageBox::StandardButton(const TMessage&)>;
using TModalHandler = std::function<int(QDialog&)>;

// Replaces the message boxes (or the modal loop) while the object lives.
class TScriptedMessages {
public:
    explicit TScriptedMessages(TMessageHandler handler);
    ~TScriptedMessages();
    TScriptedMessages(const TScriptedMessages&) = delete;
    TScriptedMessages& operator=(const TScriptedMessages&) = delete;

private:
    TMessageHandler previous_;
};

class TScriptedModals {
public:
    explicit TScriptedModals(TModalHandler handler);
    ~TScriptedModals();
    TScriptedModals(const TScriptedModals&) = delete;
    TScriptedModals& operator=(const TScriptedModals&) = delete;

private:
    TModalHandler previous_;
};

} // namespace Dialogs
