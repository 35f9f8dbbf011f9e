// The one place where a worker thread reaches the widgets: every view call runs on the UI thread.
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <atomic>
#include <type_traits>

namespace sorbel::shell {

// Lives on the UI thread. A call from a worker is queued to the UI thread
// and the worker waits until it has run: the views' events, message boxes
// and answers (a tree node's text, a Yes/No) are synchronous, and the texts
// the worker hands over by reference stay valid. A call on the UI thread
// runs at once.
class UiBridge final : public QObject {
 public:
  explicit UiBridge(QObject* parent = nullptr) : QObject(parent) {}

  template <class F>
  auto call(F&& fn) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if (QThread::currentThread() == thread()) return fn();
    if constexpr (std::is_void_v<R>) {
      QMetaObject::invokeMethod(this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
    } else {
      R result{};
      QMetaObject::invokeMethod(this, [&fn, &result] { result = fn(); }, Qt::BlockingQueuedConnection);
      return result;
    }
  }
};

}  // namespace sorbel::shell
