#include "design_font.h"

namespace {

void RegisterSubstitutes() {
    static const bool registered = [] {
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"),
                                  QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
        QFont::insertSubstitution(QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"));
        return true;
    }();
    (void)registered;
}

} // namespace

QFont DesignFont(const char* family, int pixelSize, bool bold) {
    QFont font = DesignPointFont(QString::fromLatin1(family), 1, bold);
    font.setPixelSize(pixelSize);
    return font;
}

QFont DesignPointFont(const QString& family, int points, bool bold) {
    RegisterSubstitutes();
    QFont font(family);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}
