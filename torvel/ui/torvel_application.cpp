#include "torvel_application.h"

#include "design_font.h"
#include "dialogs.h"

#include <QLibraryInfo>
#include <QLocale>

#include <stdexcept>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Torvel");
    setApplicationDisplayName("Torvel");
    // Controls created without a font of their own take the face the windows
    // were designed with.
    setFont(DesignPointFont(QStringLiteral("MS Sans Serif"), 8));
    // The toolkit's own texts (the buttons of the message boxes) in Portuguese.
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (toolkitTexts_.load(QLocale(QLocale::Portuguese, QLocale::Brazil), "qtbase", "_", folder))
        installTranslator(&toolkitTexts_);
    else
        qWarning("Torvel: qtbase_pt_BR.qm not found in %s; the toolkit's texts stay in English",
                 qUtf8Printable(folder));
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
