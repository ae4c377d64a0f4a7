#include "panel/RotatingBorder.h"

#include "panel/LegacyRotatingBorder.h"
#include "panel/ModernRotatingBorder.h"

namespace panel {

RotatingBorder::RotatingBorder(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    if (usesModernBorder())
        modern_ = new ModernRotatingBorder(this);
    else
        legacy_ = new LegacyRotatingBorder(this);
}

void RotatingBorder::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (modern_)
        modern_->setGeometry(rect());
    if (legacy_)
        legacy_->setGeometry(rect());
}

}  // namespace panel
