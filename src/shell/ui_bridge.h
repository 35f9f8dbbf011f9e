// The one place where a worker thread reaches the widgets: updates are queued to the UI thread, answers are waited for.
#pragma once

#include <QObject>
#include <QThread>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <type_traits>
#include <utility>

namespace sorbel::shell {

// Lives on the UI thread. A worker's update (a pane line, the progress, a
// page of rows) is queued and the worker goes on at once; the updates run
// on the UI thread in the order they were posted, a burst of them in one
// hand-over. Only a call that needs an answer (a Yes/No, a box the user
// closes) waits for the UI thread. On the UI thread
// itself everything runs at once, after whatever a worker left queued.
class UiBridge final : public QObject {
 public:
  // What an update sets. An update to a slot that still has one queued
  // replaces it: only the latest caption, progress position or text of a
  // row is worth drawing. A null owner never replaces anything.
  struct Slot {
    const void* owner = nullptr;
    std::int64_t part = 0;
    auto operator<=>(const Slot&) const = default;
  };

  explicit UiBridge(QObject* parent = nullptr);

  // Queues fn (which must own everything it reads) to the UI thread.
  void post(std::function<void()> fn) { post(Slot{}, std::move(fn)); }
  void post(Slot slot, std::function<void()> fn);

  // Runs fn on the UI thread and answers its result; a worker waits. The
  // texts the worker hands over by reference stay valid meanwhile.
  template <class F>
  auto call(F&& fn) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if (onUiThread()) {
      runQueued();
      return fn();
    }
    if constexpr (std::is_void_v<R>) {
      QMetaObject::invokeMethod(
          this,
          [this, &fn] {
            runQueued();
            fn();
          },
          Qt::BlockingQueuedConnection);
    } else {
      R result{};
      QMetaObject::invokeMethod(
          this,
          [this, &fn, &result] {
            runQueued();
            result = fn();
          },
          Qt::BlockingQueuedConnection);
      return result;
    }
  }

 private:
  struct Update {
    Slot slot;
    std::function<void()> fn;
  };

  bool onUiThread() const { return QThread::currentThread() == thread(); }
  // Runs what is queued now, on the UI thread.
  void runQueued();
  void paced();

  std::mutex mutex_;
  std::list<Update> queued_;
  std::map<Slot, std::list<Update>::iterator> bySlot_;
  // A hand-over to the UI thread is on its way or the pacing timer runs:
  // a new update needs no hand-over of its own.
  bool scheduled_ = false;
  // After a hand-over the UI thread collects later updates by itself, at
  // most once per tick, until the workers fall quiet.
  QTimer pace_;
};

}  // namespace sorbel::shell
