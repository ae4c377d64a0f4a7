#pragma once

#include <QWidget>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/RecorderController.h"

namespace GlobalShortcuts {

// The control that records the shortcut of one name: a small field that
// shows the stored shortcut (⌘⇧Space) centred, with a clear button while
// one is set. Clicking it (or tabbing to it) starts recording; while it
// records, every global shortcut is paused. Recording ends when the field
// loses focus, is hidden, leaves its window, or its window is deactivated.
//
// The field only draws and forwards focus, clicks and window changes; what
// is shown, recorded, refused and stored is decided by its
// RecorderController.
class RecorderCocoa final : public QWidget, private RecorderView {
public:
    using OnChange = RecorderController::OnChange;

    // `onChange` is called after the user set (with the shortcut) or cleared
    // (with none) the shortcut.
    explicit RecorderCocoa(Name name, OnChange onChange = {}, QWidget* parent = nullptr);
    ~RecorderCocoa() override;

    const Name& shortcutName() const { return controller_.shortcutName(); }
    void setShortcutName(Name name) { controller_.setShortcutName(std::move(name)); }

    QString text() const;
    QString placeholderText() const;
    bool showsClearButton() const { return controller_.showsClearButton(); }
    bool isRecording() const { return controller_.isRecording(); }
    // Where the clear button is drawn, in the field's coordinates.
    QRect clearButtonRect() const;

    // 130 pixels wide whatever the text, as high as a line edit.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void recorderStateChanged() override;
    void blur() override;
    void focus() override;
    void focusNext() override;
    bool isNear(double screenX, double screenY, double margin) const override;
    int runAlert(const Alert& alert) override;
    void beep() override;

    // Keeps the field from being picked for focus when its window is shown
    // or activated (which would start recording unasked) until the events of
    // this turn are handled; a click or Tab still reaches it afterwards.
    void preventBecomingKey();

    RecorderController controller_;
};

}  // namespace GlobalShortcuts
