#include "hand_cursor.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>

#include <stdexcept>

namespace {

// Icon directory: reserved (0), type (2 for cursors), image count; then one
// 16-byte entry per image whose bytes 4 to 7 are the hotspot.
constexpr int DirectorySize = 6;
constexpr int EntrySize = 16;
constexpr quint16 CursorType = 2;

quint16 Word(const QByteArray& data, int offset) {
    return static_cast<quint16>(static_cast<quint8>(data[offset]) |
                                static_cast<quint8>(data[offset + 1]) << 8);
}

QByteArray ReadResource(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the cursor resource " + name.toStdString());
    return file.readAll();
}

} // namespace

// The resources live in a static library, so they are registered explicitly;
// the macro must stand outside any namespace.
static void InitResources() {
    Q_INIT_RESOURCE(torvel);
}

QPoint CursorHotspot(const QByteArray& file) {
    if (file.size() < DirectorySize + EntrySize || Word(file, 0) != 0 ||
        Word(file, 2) != CursorType || Word(file, 4) < 1)
        throw std::runtime_error("not a cursor file");
    return QPoint(Word(file, DirectorySize + 4), Word(file, DirectorySize + 6));
}

QCursor LoadHandCursor() {
    InitResources();
    const QByteArray data = ReadResource(QStringLiteral(":/MAO"));
    QBuffer buffer;
    buffer.setData(data);
    QImageReader reader(&buffer, "cur");
    const QImage picture = reader.read();
    if (picture.isNull())
        throw std::runtime_error("cannot decode the cursor resource MAO: " +
                                 reader.errorString().toStdString());
    const QPoint hotspot = CursorHotspot(data);
    return QCursor(QPixmap::fromImage(picture), hotspot.x(), hotspot.y());
}

const QCursor& HandCursor() {
    static const QCursor cursor = LoadHandCursor();
    return cursor;
}
