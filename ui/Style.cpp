#include "ui/Style.h"

#include <QApplication>
#include <QStyleFactory>

#include "ui/Palette.h"
#include "ui/TextStyle.h"

namespace ui {

void Style::apply(QApplication& application) {
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) application.setStyle(fusion);
    application.setPalette(Palette::windowPalette());
    application.setFont(TextStyles::font(TextStyle::Body));
}

}  // namespace ui
