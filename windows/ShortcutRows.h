#pragma once

// The four shortcut rows of the Shortcuts tab: title and description on the
// left, the name's recorder (140 px wide) on the right, 12 px between rows
// and 8 px above the first.
//
// Each row has a fixed slot (24 px for the first, 44 for the others), and its
// content is centred on that slot at its own height, so two lines of text
// may reach beyond a 24 px slot into the spacing, as they would in a fixed
// frame, instead of being squeezed.

#include <QWidget>
#include <array>

class QLabel;

namespace GlobalShortcuts {
class Recorder;
}

namespace windows {

class ShortcutRows : public QWidget {
public:
    explicit ShortcutRows(QWidget* parent = nullptr);

    struct Row {
        QWidget* widget;
        QLabel* title;
        QLabel* description;
        GlobalShortcuts::Recorder* recorder;
    };
    const Row& row(std::size_t index) const { return rows_.at(index); }
    // The row's slot in this widget's coordinates.
    QRect slot(std::size_t index) const;

    static constexpr int kTopInset = 8;
    static constexpr int kSpacing = 12;
    static constexpr int kRecorderWidth = 140;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<Row, 4> rows_{};
};

}  // namespace windows
