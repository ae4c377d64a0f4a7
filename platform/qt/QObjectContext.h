#pragma once

#include <QObject>
#include <QPointer>

#include "platform/MainLoop.h"

namespace platform {

// Ties posted work to a QObject: the task is dropped when the object was
// destroyed before the task's turn came ("loop.post(QObjectContext(this),
// ...)"). Works on any MainLoop. Make it on the object's own (main) thread,
// where the object is known to be alive, then copy it freely, also to the
// worker that posts.
class QObjectContext : public MainLoop::Context {
public:
    explicit QObjectContext(QObject* object)
        : MainLoop::Context([pointer = QPointer<QObject>(object)]() -> std::shared_ptr<const void> {
              // Not an owner: a QObject's lifetime is its parent's business.
              // A null owner with a non-null pointer only says "still here".
              if (!pointer)
                  return nullptr;
              return std::shared_ptr<const void>(std::shared_ptr<const void>(), pointer.data());
          }) {}
};

}  // namespace platform
