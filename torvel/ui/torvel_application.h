#pragma once
// The application object: its title, its default font, the toolkit's texts in
// Portuguese, and the general error display that an error escaping any event
// handler reaches instead of ending the program.

#include <QApplication>
#include <QTranslator>

#include <exception>
#include <functional>

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator toolkitTexts_;
};

// Shows the error text of the exception in flight in a stop message.
void ShowException(std::exception_ptr error);

// Runs handler; an error it raises goes to the general error display. Used
// for every signal connection of the windows, since errors must not cross
// the toolkit's signal dispatch.
void RunHandler(const std::function<void()>& handler);
