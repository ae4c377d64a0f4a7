#include "GlobalShortcuts/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

namespace GlobalShortcuts {

namespace {

QMessageBox::Icon iconFor(AlertStyle style) {
    switch (style) {
        case AlertStyle::informational: return QMessageBox::Information;
        case AlertStyle::critical: return QMessageBox::Critical;
        case AlertStyle::warning: break;
    }
    return QMessageBox::Warning;
}

}  // namespace

int MessageBoxAlertPresenter::runModal(const Alert& alert, QWidget* window) {
    QMessageBox box(window);
    box.setIcon(iconFor(alert.style));
    box.setText(QString::fromStdString(alert.title));
    if (alert.message)
        box.setInformativeText(QString::fromStdString(*alert.message));
    std::vector<QAbstractButton*> buttons;
    if (alert.buttonTitles.empty())
        buttons.push_back(box.addButton(QMessageBox::Ok));
    for (const auto& title : alert.buttonTitles)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::AcceptRole));
    if (auto* first = qobject_cast<QPushButton*>(buttons.front()))
        box.setDefaultButton(first);
    box.setEscapeButton(buttons.front());
    box.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
    for (std::size_t index = 0; index < buttons.size(); ++index)
        if (box.clickedButton() == buttons[index])
            return Alert::firstButtonReturn + static_cast<int>(index);
    return Alert::firstButtonReturn;
}

void MessageBoxAlertPresenter::beep() { QApplication::beep(); }

}  // namespace GlobalShortcuts
