#pragma once
// Disabling a top-level window while it loads, prints or downloads.

class QWidget;

// Disables or enables a top-level window the way the program's windows are
// disabled: a disabled window reports isEnabled() false and takes no mouse,
// keyboard, wheel, shortcut, input-method or drop event, for itself or for any
// of its controls; windows of their own (dialogs) stay usable. Its controls
// keep their own state and look. Qt's setEnabled would instead disable every
// control, greying and repainting each one when the window is disabled and
// again when it is enabled.
void SetWindowEnabled(QWidget& window, bool enabled);
