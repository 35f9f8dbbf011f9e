// Decodes a table's pages on up to four threads and hands the rows over in page order.
#include "browser/table_stream.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <thread>

#include "base/bounded_queue.h"
#include "browser/shown_columns.h"
#include "browser/table_pages.h"

namespace sorbel {

namespace {

struct DecodedPage {
  std::vector<DecodedRow> rows;
  std::vector<bool> deleted;
  std::vector<NullMarks> nulls;
  std::vector<std::string> damaged;  // per row: the columns read only in part; empty when none was
};
using Run = std::vector<DecodedPage>;

// Pages go in runs of kRun, so that threads hand over work seldom: decoder
// k takes runs k, k + n, k + 2n... and queues each one, even when it yields
// no row, so the runs come out of the queues in turn. The queues' bound
// keeps a few pages in flight, whatever the table's size.
constexpr std::size_t kRun = 16;

class Decoders {
 public:
  Decoders(Catalog& catalog, const LoadedTable& table, AppState& state, const std::vector<PageId>& pages)
      : catalog_(catalog), table_(table), state_(state), pages_(pages) {
    count_ = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 4);
    for (std::size_t k = 0; k < count_; ++k) {
      queues_.push_back(std::make_unique<BoundedQueue<Run>>(2));
      spent_.push_back(std::make_unique<BoundedQueue<Run>>(8));
    }
    failures_.resize(count_);
    for (std::size_t k = 0; k < count_; ++k) threads_.emplace_back([this, k] { decode(k); });
  }
  ~Decoders() { stop(); }
  Decoders(const Decoders&) = delete;
  Decoders& operator=(const Decoders&) = delete;

  std::size_t runCount() const { return (pages_.size() + kRun - 1) / kRun; }
  // The decoded pages of run, in turn; nothing when its decoder stopped or
  // failed.
  std::optional<Run> next(std::size_t run) { return queues_[run % count_]->pop(); }
  // Runs emitted go back to the decoder that made them, to be freed there:
  // memory freed on another thread than the one that took it makes the
  // threads wait on the allocator's locks.
  void giveBack(std::size_t run, Run pages) { spent_[run % count_]->push(std::move(pages)); }

  void stop() {
    for (auto& queue : queues_) queue->close();
    for (auto& queue : spent_) queue->close();
    for (auto& thread : threads_)
      if (thread.joinable()) thread.join();
  }
  void rethrowFailure() const {
    for (const auto& failure : failures_)
      if (failure) std::rethrow_exception(failure);
  }

 private:
  void decode(std::size_t k) {
    auto& queue = *queues_[k];
    try {
      // Each decoder has its own copy of the definition (the decoder writes
      // each row's texts there) and its own page reader.
      TableDefinition definition = table_.definition();
      TablePageReader reader(catalog_, table_, state_);
      std::vector<std::uint8_t> pageBuffer;
      for (std::size_t run = k; run < runCount() && !state_.stopRequested.load(); run += count_) {
        while (spent_[k]->tryPop()) {
        }
        Run pages;
        for (std::size_t i = run * kRun; i < std::min(pages_.size(), (run + 1) * kRun); ++i) {
          DecodedPage& page = pages.emplace_back();
          page.rows = reader.read(pages_[i], definition, page.deleted, &page.nulls, &pageBuffer, &page.damaged);
        }
        if (!queue.push(std::move(pages))) break;
      }
    } catch (...) {
      failures_[k] = std::current_exception();
    }
    // Nothing drains the spent runs any more: what comes back now is freed
    // by the emitting thread, which must not wait for room.
    spent_[k]->close();
    queue.close();
  }

  Catalog& catalog_;
  const LoadedTable& table_;
  AppState& state_;
  const std::vector<PageId>& pages_;
  std::size_t count_ = 1;
  std::vector<std::unique_ptr<BoundedQueue<Run>>> queues_, spent_;
  std::vector<std::exception_ptr> failures_;
  std::vector<std::thread> threads_;
};

}  // namespace

void streamTable(Catalog& catalog, const LoadedTable& table, AppState& state, bool scanned, const TableRowSink& emit,
                 const std::string& nullText) {
  streamTableMarked(
      catalog, table, state, scanned,
      [&](const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted, const std::string&) {
        emit(fields, nulls, deleted);
      },
      nullText);
}

void streamTableMarked(Catalog& catalog, const LoadedTable& table, AppState& state, bool scanned,
                       const MarkedRowSink& emit, const std::string& nullText) {
  state.listDisplayActive.store(false);
  const TablePages chosen = choosePages(catalog, table, state, scanned);
  streamTablePages(
      catalog, table, state, chosen.pages,
      [&](const std::vector<std::string>& fields, const std::vector<bool>& nulls, bool deleted, RowPlace,
          const std::string& damagedColumns) { emit(fields, nulls, deleted, damagedColumns); },
      nullText);
}

void streamTablePages(Catalog& catalog, const LoadedTable& table, AppState& state, const std::vector<PageId>& pages,
                      const PlacedRowSink& emit, const std::string& nullText,
                      const std::function<void(std::size_t pagesDone)>& pagesDone) {
  static const std::string kNoDamage;
  state.listDisplayActive.store(false);
  const ShownColumns shown(table.columns, catalog.legacyCatalog());
  Decoders decoders(catalog, table, state, pages);
  std::vector<std::string> fields;
  std::vector<bool> fieldNulls;
  for (std::size_t run = 0; run < decoders.runCount() && !state.stopRequested.load(); ++run) {
    auto decoded = decoders.next(run);
    if (!decoded) break;
    for (std::size_t p = 0; p < decoded->size(); ++p) {
      DecodedPage& page = (*decoded)[p];
      for (std::size_t r = 0; r < page.rows.size(); ++r) {
        if (!shown.takeFields(page.rows[r], fields)) continue;
        fieldNulls.assign(fields.size(), false);
        if (r < page.nulls.size()) {
          const NullMarks& marks = page.nulls[r];
          for (std::size_t f = 0; f < fields.size(); ++f) {
            const std::size_t cell = shown.cellOf(f);
            if (cell < marks.size() && marks[cell]) {
              fields[f] = nullText;
              fieldNulls[f] = true;
            }
          }
        }
        emit(fields, fieldNulls, r < page.deleted.size() && page.deleted[r], RowPlace{run * kRun + p, r},
             r < page.damaged.size() ? page.damaged[r] : kNoDamage);
      }
    }
    decoders.giveBack(run, std::move(*decoded));
    if (pagesDone) pagesDone(std::min(pages.size(), (run + 1) * kRun));
  }
  decoders.stop();
  decoders.rethrowFailure();
}

}  // namespace sorbel
