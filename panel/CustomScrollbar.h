#pragma once

#include <QWidget>

namespace panel {

// The thin track drawn over the trailing edge of the chat transcript in place
// of the system's scroll bars: a capsule of white at 15 %, 3 wide, 2 in from
// the edge, 4 short of the top and bottom. It has no thumb and takes no
// input; the transcript scrolls with the wheel and by itself.
class CustomScrollbar final : public QWidget {
public:
    static constexpr int kWidth = 3;
    static constexpr int kEdgeInset = 2;
    static constexpr int kEndInset = 4;

    explicit CustomScrollbar(QWidget* parent = nullptr);

    // Where the capsule is drawn in the parent's coordinates, for a parent of
    // the given size.
    static QRect trackRect(const QSize& parentSize);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace panel
