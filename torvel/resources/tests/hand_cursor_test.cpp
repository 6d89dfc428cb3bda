// The hand cursor resource: picture and hotspot.

#include "hand_cursor.h"

#include <QImage>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

QByteArray CursorFile() {
    QByteArray file(6 + 16, '\0');
    file[2] = 2;  // type: cursor
    file[4] = 1;  // one image
    file[10] = 5; // hotspot x
    file[12] = 7; // hotspot y
    file[13] = 1; // y high byte: 263
    return file;
}

TEST(CursorHotspot, ReadsTheFirstDirectoryEntry) {
    EXPECT_EQ(CursorHotspot(CursorFile()), QPoint(5, 263));
}

TEST(CursorHotspot, RejectsDataThatIsNoCursor) {
    QByteArray icon = CursorFile();
    icon[2] = 1;
    EXPECT_THROW(CursorHotspot(icon), std::runtime_error);
    QByteArray empty = CursorFile();
    empty[4] = 0;
    EXPECT_THROW(CursorHotspot(empty), std::runtime_error);
    EXPECT_THROW(CursorHotspot(CursorFile().left(20)), std::runtime_error);
}

TEST(HandCursor, IsThePictureOfMaoWithItsHotspotAtTheFingertip) {
    const QCursor cursor = LoadHandCursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(6, 0));
    const QImage picture = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(picture.size(), QSize(32, 32));
    EXPECT_EQ(qAlpha(picture.pixel(0, 0)), 0) << "the corner is transparent";
    EXPECT_EQ(qAlpha(picture.pixel(31, 31)), 0);
    EXPECT_EQ(picture.pixel(6, 0), qRgb(0, 0, 0)) << "the fingertip outline is black";
    EXPECT_EQ(picture.pixel(6, 2), qRgb(255, 255, 255)) << "the finger is white";
    EXPECT_EQ(HandCursor().hotSpot(), cursor.hotSpot());
}

} // namespace
