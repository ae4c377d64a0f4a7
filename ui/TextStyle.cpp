#include "ui/TextStyle.h"

#include <algorithm>
#include <array>

namespace ui {
namespace {

struct Entry {
    TextStyle style;
    std::string_view name;
    int pixelSize;
    QFont::Weight weight;
};

constexpr std::array<Entry, 11> table{{
    {TextStyle::LargeTitle, "largeTitle", 26, QFont::Normal},
    {TextStyle::Title, "title", 22, QFont::Normal},
    {TextStyle::Title2, "title2", 17, QFont::Normal},
    {TextStyle::Title3, "title3", 15, QFont::Normal},
    {TextStyle::Headline, "headline", 13, QFont::DemiBold},
    {TextStyle::Body, "body", 13, QFont::Normal},
    {TextStyle::Callout, "callout", 12, QFont::Normal},
    {TextStyle::Subheadline, "subheadline", 11, QFont::Normal},
    {TextStyle::Footnote, "footnote", 10, QFont::Normal},
    {TextStyle::Caption, "caption", 10, QFont::Normal},
    {TextStyle::Caption2, "caption2", 10, QFont::Normal},
}};

const Entry& entry(TextStyle style) {
    return *std::find_if(table.begin(), table.end(), [&](const Entry& e) { return e.style == style; });
}

}  // namespace

QFont TextStyles::font(TextStyle style) { return system(entry(style).pixelSize, entry(style).weight); }

QFont TextStyles::font(TextStyle style, QFont::Weight weight) { return system(entry(style).pixelSize, weight); }

QFont TextStyles::system(int pixelSize, QFont::Weight weight) {
    QFont font;
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

int TextStyles::pixelSize(TextStyle style) { return entry(style).pixelSize; }

std::string_view TextStyles::name(TextStyle style) { return entry(style).name; }

}  // namespace ui
