#include "GlobalShortcuts/Recorder.h"

#include <QHBoxLayout>
#include <QLabel>

namespace GlobalShortcuts {

Recorder::Recorder(Name name, OnChange onChange, QWidget* parent)
    : Recorder(std::move(name), std::move(onChange), std::unique_ptr<QWidget>(), parent) {}

Recorder::Recorder(const QString& title, Name name, OnChange onChange, QWidget* parent)
    : Recorder(std::move(name), std::move(onChange), std::make_unique<QLabel>(title), parent) {}

Recorder::Recorder(Name name, OnChange onChange, std::unique_ptr<QWidget> label, QWidget* parent)
    : QWidget(parent), label_(label.release()), field_(new RecorderCocoa(std::move(name), std::move(onChange))) {
    // Both go to the layout below, which makes them children of this row.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    if (label_) {
        row->addWidget(label_, 0, Qt::AlignVCenter);
        if (auto* text = qobject_cast<QLabel*>(label_))
            text->setBuddy(field_);
    }
    row->addWidget(field_, 1, Qt::AlignVCenter);
    setFocusProxy(field_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

}  // namespace GlobalShortcuts
