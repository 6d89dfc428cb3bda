#pragma once
// The fonts the windows were designed with. "MS Sans Serif" is a Windows
// bitmap font; Linux draws it with Liberation Sans, which has the measures of
// Arial and is close to it, so texts fit the designed controls.

#include <QFont>

QFont DesignFont(const char* family, int pixelSize, bool bold = false);
