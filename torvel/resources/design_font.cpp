#include "design_font.h"

namespace {

void RegisterSubstitutes() {
    static const bool registered = [] {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"),
                                  QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        return true;
    }();
    (void)registered;
}

} // namespace

QFont DesignFont(const char* family, int pixelSize, bool bold) {
    RegisterSubstitutes();
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
