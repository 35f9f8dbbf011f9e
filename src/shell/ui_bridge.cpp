// Queues the workers' updates to the UI thread, replacing a slot's stale update, and runs them in order.
#include "shell/ui_bridge.h"

namespace sorbel::shell {

namespace {

// Fast enough to look live, slow enough that a row-by-row worker costs the
// UI thread one batch per tick rather than one event per row.
constexpr int kPaceMs = 20;

}  // namespace

UiBridge::UiBridge(QObject* parent) : QObject(parent), pace_(this) {
  pace_.setSingleShot(true);
  pace_.setInterval(kPaceMs);
  connect(&pace_, &QTimer::timeout, this, &UiBridge::paced);
}

void UiBridge::post(Slot slot, std::function<void()> fn) {
  if (onUiThread()) {
    runQueued();
    fn();
    return;
  }
  bool handOver = false;
  {
    std::lock_guard lock(mutex_);
    // The replaced update leaves its place: the new one runs after every
    // update posted before it, as a sequence of setters would have it.
    if (slot.owner) {
      if (const auto found = bySlot_.find(slot); found != bySlot_.end()) {
        queued_.erase(found->second);
        bySlot_.erase(found);
      }
    }
    queued_.push_back({slot, std::move(fn)});
    if (slot.owner) bySlot_.emplace(slot, std::prev(queued_.end()));
    handOver = !scheduled_;
    scheduled_ = true;
  }
  if (handOver) {
    QMetaObject::invokeMethod(
        this,
        [this] {
          runQueued();
          pace_.start();
        },
        Qt::QueuedConnection);
  }
}

void UiBridge::runQueued() {
  std::list<Update> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(queued_);
    bySlot_.clear();
  }
  for (Update& u : batch) u.fn();
}

void UiBridge::paced() {
  {
    std::lock_guard lock(mutex_);
    if (queued_.empty()) {
      scheduled_ = false;
      return;
    }
  }
  runQueued();
  pace_.start();
}

}  // namespace sorbel::shell
