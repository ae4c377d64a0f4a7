#pragma once

// The one table of text styles, in pixels at 1x (never point sizes, which
// change with the screen's DPI setting).
//
//   label->setFont(ui::TextStyles::font(ui::TextStyle::Headline));
//   button->setFont(ui::TextStyles::system(14));                 // "system font of size 14"
//   title->setFont(ui::TextStyles::font(ui::TextStyle::Title2, QFont::Bold));
//
// Sizes are those of the desktop's named styles: large title 26, title 22,
// title 2 17, title 3 15, headline 13 semibold, body 13, callout 12,
// subheadline 11, footnote 10, caption 10, caption 2 10.

#include <QFont>
#include <string_view>

namespace ui {

enum class TextStyle {
    LargeTitle,
    Title,
    Title2,
    Title3,
    Headline,
    Body,
    Callout,
    Subheadline,
    Footnote,
    Caption,
    Caption2,
};

class TextStyles {
public:
    // The style's font; `weight` replaces the style's own weight when given.
    static QFont font(TextStyle style);
    static QFont font(TextStyle style, QFont::Weight weight);
    // The plain system font at a size in pixels.
    static QFont system(int pixelSize, QFont::Weight weight = QFont::Normal);
    static int pixelSize(TextStyle style);
    static std::string_view name(TextStyle style);
};

}  // namespace ui
