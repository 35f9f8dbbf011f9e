// Test support: databases at production scale, written as they are generated.
#include "scale_database.h"

#include <string>

#include "lob_builder.h"
#include "pagestore/page_header.h"
#include "value_bytes.h"

namespace sorbel::testing {

namespace {

constexpr std::uint32_t kExtentPages = 8;
constexpr std::uint32_t kFreeSpaceInterval = 8088;
// Bytes of a page body records and slots may take; a little under the
// server's limit so that a page never overflows.
constexpr std::size_t kBodyLimit = 8060;
constexpr std::size_t kExtentBitmapBytes = 7988;

// The extents whose first page is a free-space page stay out of any table.
bool freeSpaceExtent(std::uint32_t extentStart) { return extentStart % kFreeSpaceInterval == 0; }

Bytes backPointer(PageId stub, std::uint16_t slot) {
  Bytes back;
  append16(back, 0x0400);
  append32(back, static_cast<std::uint32_t>(stub.pageNumber));
  append16(back, static_cast<std::uint16_t>(stub.fileId));
  append16(back, slot);
  return back;
}

// A small, seeded generator: the same seed gives the same database.
class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(0x9E3779B97F4A7C15ull ^ seed) {}
  std::uint64_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

const char* const kCities[] = {"Berlin", "México D.F.", "London", "Luleå", "Mannheim", "Strasbourg", "Madrid",
                               "Marseille", "Tsawassen", "Buenos Aires", "Bern", "São Paulo", "Reggio Emilia",
                               "Kirkland", "Walla Walla", "Charleroi"};
const char* const kWords[] = {"deliver", "before", "noon", "fragile", "gift", "wrap", "call", "ahead", "side",
                              "door", "second", "floor", "no", "weekend", "invoice", "attached"};

std::string customerCode(int n) {
  std::string code(5, 'A');
  for (int i = 4; i >= 0; --i, n /= 26) code[static_cast<std::size_t>(i)] = static_cast<char>('A' + n % 26);
  return code;
}

std::vector<SyntheticColumn> orderColumns() {
  return {intColumn("OrderID", false),          typedColumn("CustomerID", 239, 10, 0, 0, false),
          typedColumn("OrderDate", 61, 8),      typedColumn("Amount", 60, 8, 19, 4),
          typedColumn("Quantity", 52, 2, 5),    typedColumn("ShipCity", 231, 60),
          typedColumn("Note", 167, 80)};
}

std::vector<Cell> orderRow(Random& random, std::int64_t id) {
  std::string note;
  const int words = 4 + random.below(6);
  for (int w = 0; w < words; ++w) {
    if (w) note += ' ';
    note += kWords[random.below(16)];
  }
  std::vector<Cell> row = {value(int32Bytes(static_cast<std::int32_t>(id))),
                           value(utf16(customerCode(random.below(20000)))),
                           value(datetimeBytes(1996 + random.below(30), 1 + random.below(12), 1 + random.below(28),
                                               random.below(24), random.below(60))),
                           value(moneyBytes(static_cast<long long>(random.next() % 100'000'000))),
                           value(int16Bytes(static_cast<std::int16_t>(1 + random.below(500)))),
                           value(utf16(kCities[random.below(16)])), value(textBytes(note))};
  if (random.below(10) == 0) row[6] = nullValue();
  return row;
}

}  // namespace

StreamingTableWriter::StreamingTableWriter(DatabaseBuilder& db, std::int32_t tableId,
                                           std::vector<SyntheticColumn> columns, bool clustered)
    : db_(db),
      tableId_(tableId),
      columns_(std::move(columns)),
      clustered_(clustered),
      indexId_(SyntheticDatabase::pageIndexId(tableId)),
      extentBitmap_(kExtentBitmapBytes, 0) {
  // The IAM page lies before the table's first extent, outside the extents it lists.
  iamIndex_ = db_.nextPageIndex();
  db_.setPage(iamIndex_, Bytes(kPageSize, 0));
  next_ = (iamIndex_ / kExtentPages + 1) * kExtentPages;
}

std::uint32_t StreamingTableWriter::allocatePage() {
  if (next_ % kExtentPages == 0) {
    while (freeSpaceExtent(next_)) next_ += kExtentPages;
    const std::uint32_t extent = next_ / kExtentPages;
    if (extent / 8 >= extentBitmap_.size()) throw std::length_error("table larger than one allocation interval");
    extentBitmap_[extent / 8] = static_cast<std::uint8_t>(extentBitmap_[extent / 8] | (1u << (extent % 8)));
  }
  return next_++;
}

void StreamingTableWriter::addRow(const std::vector<Cell>& cells, Kind kind) {
  Bytes record = kind == Kind::forwarded ? Bytes{} : tableRecord(columns_, cells, kind == Kind::ghost ? 6 : 0);
  const std::size_t need = (kind == Kind::forwarded ? 9 : record.size()) + 2;
  if (data_ && data_->used + need > kBodyLimit) closeDataPage();
  if (!data_) {
    data_.emplace(OpenPage{});
    data_->index = allocatePage();
    if (firstPage_ == 0) firstPage_ = data_->index;
  }
  if (kind == Kind::forwarded) {
    // The stub's slot is the next one of the data page; the forwarded
    // record points back at it.
    const std::uint16_t stubSlot = data_->slots;
    Bytes moved = tableRecord(columns_, cells, 1, backPointer(db_.pageId(data_->index), stubSlot));
    if (forward_ && forward_->used + moved.size() + 2 > kBodyLimit) closeForwardPage();
    if (!forward_) {
      forward_.emplace(OpenPage{});
      forward_->index = allocatePage();
    }
    const int targetSlot = forward_->page.addRecord(moved);
    forward_->used += moved.size() + 2;
    record = buildForwardingStub(db_.pageId(forward_->index), static_cast<std::uint16_t>(targetSlot));
  }
  data_->page.addRecord(record);
  ++data_->slots;
  data_->used += record.size() + 2;
  if (kind == Kind::ghost) ++data_->ghosts;
  else ++liveRows_;
}

void StreamingTableWriter::closeDataPage() {
  HeaderFields& h = data_->page.header();
  h.pageType = 1;
  h.objectId = tableId_;
  h.indexId = indexId_;
  h.ghostRecordCount = data_->ghosts;
  if (clustered_) {
    // The next data page is not known yet: the chain is closed by the
    // following page, which rewrites this page's next field.
    if (previousData_) {
      h.prevPage = db_.pageId(previousData_);
      Bytes& previous = db_.file().page(previousData_);
      putDiskPageId(previous, header::kNextPage, db_.pageId(data_->index));
    }
  }
  db_.setPage(data_->index, data_->page.build());
  previousData_ = data_->index;
  data_.reset();
}

void StreamingTableWriter::closeForwardPage() {
  HeaderFields& h = forward_->page.header();
  h.pageType = 1;
  h.objectId = tableId_;
  h.indexId = indexId_;
  db_.setPage(forward_->index, forward_->page.build());
  forward_.reset();
}

SyntheticObject::WrittenPages StreamingTableWriter::finish() {
  if (data_) closeDataPage();
  if (forward_) closeForwardPage();
  HeaderFields h;
  h.pageType = header::kIamPage;
  h.objectId = tableId_;
  h.indexId = indexId_;
  db_.setPage(iamIndex_, buildIamPage(h, {}, extentBitmap_));
  // Pages handed out but never written (the rest of the last extent) are
  // still part of the file.
  if (db_.nextPageIndex() < next_) db_.padTo(next_);
  SyntheticObject::WrittenPages written;
  written.firstPage = firstPage_ ? db_.pageId(firstPage_) : PageId{};
  written.firstIamPage = db_.pageId(iamIndex_);
  written.rowCount = liveRows_;
  return written;
}

void writeRowsDatabase(const std::filesystem::path& path, const RowsDatabaseOptions& options) {
  SyntheticDatabase db;
  db.addFile({1, "scale", "C:\\data\\scale.mdf"});
  Random random(options.seed);

  const auto addStreamed = [&](std::int32_t id, const std::string& name, bool clustered, std::int64_t rows,
                               bool history) {
    StreamingTableWriter writer(db.primary(), id, orderColumns(), clustered);
    for (std::int64_t i = 0; i < rows; ++i) {
      auto kind = StreamingTableWriter::Kind::live;
      if (history && i % 97 == 50) kind = StreamingTableWriter::Kind::forwarded;
      else if (history && i % 211 == 100) kind = StreamingTableWriter::Kind::ghost;
      writer.addRow(orderRow(random, i + 1), kind);
    }
    auto& table = db.addTable(id, name, orderColumns());
    table.clustered = clustered;
    table.writtenPages = writer.finish();
  };
  addStreamed(3001, "BigHeap", false, options.heapRows, true);
  addStreamed(3002, "Clustered", true, options.clusteredRows, false);
  addStreamed(3004, "SmallTable", false, options.smallRows, false);

  // Values of 20 to 60 KB, each in fragments on large-object pages.
  LobWriter lobs(db.primary(), 3003);
  auto& large = db.addTable(3003, "LargeValues",
                            {intColumn("DocumentID", false), typedColumn("Body", 167, -1), typedColumn("Scan", 165, -1)});
  for (int i = 0; i < options.largeValueRows; ++i) {
    std::string body;
    const int lines = 400 + random.below(800);
    for (int k = 0; k < lines; ++k) body += "Line " + std::to_string(k) + " of document " + std::to_string(i) + ".\r\n";
    Bytes scan(static_cast<std::size_t>(8000 + random.below(16000)));
    for (auto& b : scan) b = static_cast<std::uint8_t>(random.next());
    large.rows.push_back({value(int32Bytes(i + 1)), complexValue(LobWriter::inRowRoot(lobs.addData(textBytes(body)))),
                          complexValue(LobWriter::inRowRoot(lobs.addData(scan)))});
  }
  db.write(path);
}

void writeCatalogDatabase(const std::filesystem::path& path, int tables, std::uint32_t seed) {
  SyntheticDatabase db;
  Random random(seed);
  const std::int32_t firstTable = 100000;
  for (int t = 0; t < tables; ++t) {
    std::vector<SyntheticColumn> columns;
    std::vector<Cell> row;
    for (int c = 0; c < 20; ++c) {
      columns.push_back(intColumn("c" + std::to_string(c)));
      row.push_back(value(int32Bytes(c == 0 ? t : random.below(1000))));
    }
    auto& table = db.addTable(firstTable + t, "table_" + std::to_string(t), std::move(columns));
    table.rows = {std::move(row)};
  }
  std::int32_t nextId = firstTable + tables;
  for (int t = 0; t < tables; ++t) {
    for (int k = 0; k < 2; ++k) {
      const std::int32_t fk = nextId++;
      const std::int32_t table = firstTable + t;
      const std::int32_t referenced = firstTable + (t + 1 + k) % tables;
      db.addObject({fk, "FK_" + std::to_string(t) + "_" + std::to_string(k), "F ", table});
      db.addForeignKey({fk, table, referenced, {{k + 2, 1}}});
    }
  }
  for (int m = 0; m < tables * 2 / 5; ++m) {
    const std::int32_t id = nextId++;
    db.addObject({id, "proc_" + std::to_string(m), "P "});
    db.addModuleText(id, "CREATE PROCEDURE proc_" + std::to_string(m) + " AS SELECT * FROM table_" +
                             std::to_string(m % tables));
  }
  db.write(path);
}

}  // namespace sorbel::testing
