// The web update: the data files replaced by the publisher's current ones.

#include "torvel_webupdate.h"

#include "dialogs.h"
#include "torvel_main.h"
#include "torvel_qualification.h"
#include "torvel_status.h"
#include "window_enabling.h"

#include <QApplication>

namespace {

void ShowStatus(const char* text) {
    formStatus->lStatus->setText(text);
    formStatus->show();
    QApplication::processEvents();
}

} // namespace

void TformTorvel::bWebUpdateClick() {
    SetWindowEnabled(*this, false);
    const auto restore = [this] {
        formStatus->close();
        SetWindowEnabled(*this, true);
    };
    const TDataUpdate update(ProgramDir);
    try {
        ShowStatus("Copiando arquivos do servidor...");
        update.Download(*webClient, UpdateServer);
        ShowStatus("Arquivo copiado. Descompactando...");
        update.Install(*TorvelDatabase);
        // The standings of the new documents, before their first update.
        ComputeInitialStandings();
    } catch (const EUpdateDataError&) {
        restore();
        Dialogs::Message(this, "Erro ao processar arquivos de dados", Dialogs::TMessageKind::Stop);
        RequestTermination();
        return;
    } catch (const std::exception&) {
        restore();
        Dialogs::Message(this, "Erro na atualização. Verifique sua conexão com a Internet",
                         Dialogs::TMessageKind::Stop);
        return;
    }
    if (LoadFailed)
        return; // the start-up path shows the first phase itself
    cFasesChange();
    restore();
    Dialogs::Message(this, "Atualização concluída", Dialogs::TMessageKind::Information);
}
