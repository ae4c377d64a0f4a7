#include "GlobalShortcuts/AlertPresenter.h"

#include "GlobalShortcuts/MessageBoxAlertPresenter.h"

namespace GlobalShortcuts {

namespace {

std::shared_ptr<AlertPresenter>& installed() {
    static std::shared_ptr<AlertPresenter> presenter = std::make_shared<MessageBoxAlertPresenter>();
    return presenter;
}

}  // namespace

std::shared_ptr<AlertPresenter> AlertPresenter::current() { return installed(); }

void AlertPresenter::setCurrent(std::shared_ptr<AlertPresenter> presenter) {
    installed() = presenter ? std::move(presenter) : std::make_shared<MessageBoxAlertPresenter>();
}

}  // namespace GlobalShortcuts
