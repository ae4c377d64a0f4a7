#pragma once

// A window of the program's own, such as the help or the permission window:
// a title and a close button only (no minimise or maximise; its owner fixes
// its size), above other windows, the dark window surface behind its content, moved by
// dragging its background (like a window whose content reaches under a
// transparent title bar), and only hidden when the user closes it, so its
// owner can show the same window again.
//
//   auto* frame = new ui::TopLevelFrame(QStringLiteral("Quillary Help"), new HelpView(...));
//   frame->setFixedSize(600, 700);
//   frame->centreOnScreen();
//   frame->bringToFront();

#include <QWidget>

namespace ui {

class TopLevelFrame final : public QWidget {
public:
    // Lays `content` out over the whole window and takes it over.
    TopLevelFrame(const QString& title, QWidget* content);

    // Centres the window, at its present size, on the primary screen's
    // usable area (no screen: it stays where it is).
    void centreOnScreen();
    // Shows it in front of the other windows, with the keyboard.
    void bringToFront();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

}  // namespace ui
