#pragma once

#include <QAbstractButton>

namespace panel {

// A button with no bezel and no highlight that is exactly as large as the
// row of symbols and labels laid out in it (the chat's "Context" header and
// "Copy" button); the children draw, the button only takes the click.
class PlainButton final : public QAbstractButton {
public:
    explicit PlainButton(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace panel
