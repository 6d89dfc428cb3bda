#pragma once
// The hand cursor "MAO", cursor number 1 of the program: every clickable
// control of every window shows it.

#include <QByteArray>
#include <QCursor>
#include <QPoint>

// The hotspot of the first image of a .cur file, from its directory entry.
// Throws std::runtime_error when the data is no cursor file.
QPoint CursorHotspot(const QByteArray& file);

// Loads the cursor resource "MAO": its picture and its hotspot. Throws
// std::runtime_error when the resource cannot be read.
QCursor LoadHandCursor();

// The hand cursor, loaded on first use; needs the application object.
const QCursor& HandCursor();
