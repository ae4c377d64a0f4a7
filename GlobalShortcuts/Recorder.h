#pragma once

#include <QString>
#include <QWidget>

#include <memory>

#include "GlobalShortcuts/Name.h"
#include "GlobalShortcuts/RecorderCocoa.h"

namespace GlobalShortcuts {

// A shortcut recorder field with an optional label standing to its left, as
// a row of a settings form. Focus given to the row goes to the field.
class Recorder final : public QWidget {
public:
    using OnChange = RecorderCocoa::OnChange;

    // The field alone.
    explicit Recorder(Name name, OnChange onChange = {}, QWidget* parent = nullptr);
    // A label showing `title` as it is (an empty title still makes a label).
    Recorder(const QString& title, Name name, OnChange onChange = {}, QWidget* parent = nullptr);
    // Any label widget.
    Recorder(Name name, OnChange onChange, std::unique_ptr<QWidget> label, QWidget* parent = nullptr);

    const Name& name() const { return field_->shortcutName(); }
    // Points the field at another name; the callback given at creation stays.
    void setName(Name name) { field_->setShortcutName(std::move(name)); }

    bool hasLabel() const { return label_ != nullptr; }
    QWidget* label() const { return label_; }
    RecorderCocoa* field() const { return field_; }

private:
    QWidget* label_ = nullptr;
    RecorderCocoa* field_ = nullptr;
};

}  // namespace GlobalShortcuts
