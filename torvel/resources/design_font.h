#pragma once
// The fonts the windows were designed with. "MS Sans Serif" is a Windows
// bitmap font; Linux draws it with Liberation Sans, which has the measures of
// Arial and is close to it, so texts fit the designed controls. "Courier New"
// is drawn with Liberation Mono, which has its measures.

#include <QFont>

QFont DesignFont(const char* family, int pixelSize, bool bold = false);

// The same faces sized in points, as printed text is.
QFont DesignPointFont(const QString& family, int points, bool bold = false);
