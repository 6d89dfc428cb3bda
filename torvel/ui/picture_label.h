#pragma once
// A label that shows a picture, as the background image of a window.

#include <QLabel>

// Paints its picture unchanged while it is disabled: a window disabled while
// it loads keeps its background as it is instead of greying a new copy of the
// whole picture at every paint. Since enabling or disabling changes nothing it
// shows, neither repaints it.
class TPictureLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
};
