#include "recording_canvas.h"

#include <stdexcept>

namespace torvel_test {

std::vector<TRecordingCanvas::TText> TRecordingCanvas::TextsOnPage(int page) const {
    std::vector<TText> onPage;
    for (const TText& text : texts)
        if (text.page == page)
            onPage.push_back(text);
    return onPage;
}

void TRecordingCanvas::NewPage() {
    if (page_ == MaxPages)
        throw std::runtime_error("the print job began more pages than any test prints");
    ++page_;
}

int TRecordingCanvas::Measure(const std::map<int, int>& table) const {
    const auto found = table.find(font_.points);
    return found == table.end() ? 0 : found->second;
}

} // namespace torvel_test
