// Damages copies of data files with a seeded generator and runs every sorbel command over them, checking that none misbehaves.
//
// A run is sound when the command exits 0, 2, 3 or 4 within the time bound,
// stays under the memory bound, prints no sanitizer report and leaves its
// input as it was. Run the sanitizer build of sorbel to catch memory faults.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pagestore/page_header.h"
#include "records/record_pages.h"
#include "log_builder.h"
#include "sample_database.h"
#include "txlog/log_record.h"

namespace {

namespace fs = std::filesystem;
using sorbel::kPageSize;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string sorbel;
  std::string corpus;
  std::string keep;
  double seconds = 60;
  std::uint64_t seed = 1;
  double runSeconds = 30;
  long maxRssMb = 1536;
};

// A database to damage: its bytes and what its undamaged catalog lists.
struct Base {
  std::string name;
  Bytes bytes;
  std::vector<std::string> tables;
  std::vector<std::string> modules;
  std::vector<std::string> recordedFiles;  // base names of the files its files table lists
  // Each table's rows in the undamaged file, one JSON line each, counted.
  std::map<std::string, std::map<std::string, int>> rowsByTable;
  // Every row of every table, for telling another table's records apart.
  std::set<std::string> anyRow;
};

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t fingerprint(const std::string& path) {
  std::uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (const std::uint8_t b : readFile(path)) h = (h ^ b) * 1099511628211ull;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) h ^= static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000007ull + st.st_mtim.tv_nsec;
  return h;
}

struct RunResult {
  int exitCode = -1;
  int signal = 0;
  bool timedOut = false;
  double seconds = 0;
  long maxRssKb = 0;
  std::string err;
};

RunResult runCommand(const Options& o, const std::vector<std::string>& args, const std::string& errPath,
                     const std::string& outPath = "/dev/null") {
  RunResult r;
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int devNull = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(devNull, 1);
    ::dup2(err, 2);
    std::vector<char*> argv{const_cast<char*>(o.sorbel.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(o.sorbel.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  for (;;) {
    const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (std::chrono::duration<double>(Clock::now() - start).count() > o.runSeconds && !r.timedOut) {
      r.timedOut = true;
      ::kill(pid, SIGKILL);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  r.maxRssKb = usage.ru_maxrss;
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  std::ifstream in(errPath);
  std::ostringstream s;
  s << in.rdbuf();
  r.err = s.str();
  return r;
}

// What sorbel printed, for learning a base's tables and modules.
std::string captureOutput(const Options& o, const std::vector<std::string>& args) {
  std::string command = o.sorbel;
  for (const auto& a : args) command += " '" + a + "'";
  std::string out;
  if (FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    ::pclose(p);
  }
  return out;
}

void learnCatalog(const Options& o, Base& base, const std::string& path) {
  std::istringstream lines(captureOutput(o, {"catalog", path}));
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::size_t start = line.find(' ') + 1;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    if (line.rfind("object ", 0) == 0 && fields.size() == 4) {
      if (fields[1] == "U ") base.tables.push_back(fields[3]);
      else if (fields[1] == "V " || fields[1] == "P " || fields[1] == "FN" || fields[1] == "TR" || fields[1] == "D ")
        base.modules.push_back(fields[3]);
    } else if (line.rfind("file ", 0) == 0 && fields.size() == 3) {
      std::string name = fields[2].substr(fields[2].find_last_of("\\/") + 1);
      if (const auto dot = name.rfind('.'); dot != std::string::npos) name.resize(dot);
      if (!name.empty()) base.recordedFiles.push_back(name);
    }
  }
}

// The kinds of damage users bring, each applied to a copy in memory.
class Damager {
 public:
  Damager(std::mt19937_64& random, const std::vector<Base>& bases) : random_(random), bases_(bases) {}

  static constexpr const char* kKinds[] = {"bit flips",      "header bits",    "zeroed pages",  "random pages",
                                           "wild slots",     "record fields",  "pointer cycles", "shuffled page ids",
                                           "truncation",     "one page",       "foreign ndf",   "mixed"};
  static constexpr int kKindCount = static_cast<int>(std::size(kKinds));

  // Damages bytes by kind; may ask for files beside the copy (name, bytes).
  void apply(int kind, Bytes& bytes, std::vector<std::pair<std::string, Bytes>>& beside, const Base& base) {
    if (bytes.size() < kPageSize) return;
    switch (kind) {
      case 0:
        for (int i = pick(1, 64); i > 0; --i) bytes[any(bytes.size())] ^= static_cast<std::uint8_t>(1u << pick(0, 7));
        break;
      case 1:
        for (int i = pick(1, 8); i > 0; --i)
          bytes[page(bytes) * kPageSize + any(sorbel::kPageHeaderSize)] ^= static_cast<std::uint8_t>(1u << pick(0, 7));
        break;
      case 2:
        for (int i = pick(1, 4); i > 0; --i) std::fill_n(bytes.begin() + pageStart(bytes), kPageSize, 0);
        break;
      case 3:
        for (int i = pick(1, 3); i > 0; --i)
          for (std::size_t k = 0, at = pageStart(bytes); k < kPageSize; ++k) bytes[at + k] = static_cast<std::uint8_t>(random_());
        break;
      case 4:
        for (int i = pick(1, 4); i > 0; --i) wildSlots(bytes);
        break;
      case 5:
        for (int i = pick(1, 6); i > 0; --i) recordField(bytes);
        break;
      case 6:
        for (int i = pick(1, 6); i > 0; --i) pointerCycle(bytes);
        break;
      case 7:
        for (int i = pick(1, 6); i > 0; --i) {
          const std::size_t a = pageStart(bytes) + sorbel::header::kThisPage, b = pageStart(bytes) + sorbel::header::kThisPage;
          std::swap_ranges(bytes.begin() + static_cast<std::ptrdiff_t>(a), bytes.begin() + static_cast<std::ptrdiff_t>(a + 6),
                           bytes.begin() + static_cast<std::ptrdiff_t>(b));
        }
        break;
      case 8:
        bytes.resize(any(bytes.size()) + 1);
        break;
      case 9: {
        const std::size_t p = pick(0, 1) ? 9 : 0;
        if ((p + 1) * kPageSize <= bytes.size())
          bytes = Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(p * kPageSize),
                        bytes.begin() + static_cast<std::ptrdiff_t>((p + 1) * kPageSize));
        break;
      }
      case 10: {
        // Another database (or this one again) under the names a scan looks for.
        const Base& stranger = bases_[any(bases_.size())];
        for (const std::string& name : base.recordedFiles) beside.emplace_back(name + ".ndf", stranger.bytes);
        beside.emplace_back("stray.ndf", stranger.bytes);
        break;
      }
      default:
        for (int i = pick(2, 3); i > 0; --i) apply(pick(0, 7), bytes, beside, base);
        break;
    }
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::size_t any(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(random_) : 0; }
  std::size_t page(const Bytes& bytes) { return any(bytes.size() / kPageSize); }
  std::size_t pageStart(const Bytes& bytes) { return page(bytes) * kPageSize; }
  void put16(Bytes& bytes, std::size_t at, std::uint16_t v) {
    if (at + 2 > bytes.size()) return;
    bytes[at] = static_cast<std::uint8_t>(v);
    bytes[at + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  std::uint16_t get16(const Bytes& bytes, std::size_t at) {
    return at + 2 <= bytes.size() ? static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8) : 0;
  }
  // A page with records (a data, index or large-object page), or any page.
  std::size_t recordPageStart(const Bytes& bytes) {
    for (int tries = 0; tries < 64; ++tries) {
      const std::size_t at = pageStart(bytes);
      const std::uint8_t type = bytes[at + sorbel::header::kPageType];
      if ((type == 1 || type == 2 || type == 3) && get16(bytes, at + sorbel::header::kSlotCount) > 0) return at;
    }
    return pageStart(bytes);
  }
  void wildSlots(Bytes& bytes) {
    const std::size_t at = recordPageStart(bytes);
    const std::uint16_t counts[] = {0, 1, 4000, 0xFFFF, 3999, static_cast<std::uint16_t>(random_())};
    if (pick(0, 1)) put16(bytes, at + sorbel::header::kSlotCount, counts[any(std::size(counts))]);
    const std::uint16_t slots = std::min<std::uint16_t>(get16(bytes, at + sorbel::header::kSlotCount), 3999);
    for (int i = pick(1, 8); i > 0 && slots; --i) {
      const std::uint16_t offsets[] = {0, 95, 96, 8191, 8192, 9000, static_cast<std::uint16_t>(random_()),
                                       get16(bytes, at + sorbel::slots::kFirstSlot)};
      put16(bytes, at + sorbel::slots::kFirstSlot - 2 * any(slots), offsets[any(std::size(offsets))]);
    }
  }
  void recordField(Bytes& bytes) {
    const std::size_t at = recordPageStart(bytes);
    const std::uint16_t slots = std::min<std::uint16_t>(get16(bytes, at + sorbel::header::kSlotCount), 3999);
    if (!slots) return;
    const std::uint16_t offset = get16(bytes, at + sorbel::slots::kFirstSlot - 2 * any(slots));
    if (offset < sorbel::kPageHeaderSize || offset >= kPageSize - 16) return;
    // The status bytes, the fixed end, the column count or the offsets after it.
    const std::size_t field = at + offset + any(16);
    if (pick(0, 1)) bytes[field] = static_cast<std::uint8_t>(random_());
    else put16(bytes, field, std::uint16_t{0xFFFF} >> pick(0, 15));
  }
  void pointerCycle(Bytes& bytes) {
    // A page address (page number, file id, slot) written into a record: a
    // forwarding stub or text pointer that leads back or round.
    const std::size_t at = recordPageStart(bytes);
    const std::uint16_t slots = std::min<std::uint16_t>(get16(bytes, at + sorbel::header::kSlotCount), 3999);
    if (!slots) return;
    const std::uint16_t offset = get16(bytes, at + sorbel::slots::kFirstSlot - 2 * any(slots));
    if (offset < sorbel::kPageHeaderSize || offset >= kPageSize - 64) return;
    const std::size_t field = at + offset + (pick(0, 1) ? 1 : any(48));
    const auto target = static_cast<std::uint32_t>(pick(0, 1) ? at / kPageSize : page(bytes));
    if (field == at + offset + 1) bytes[at + offset] = static_cast<std::uint8_t>(sorbel::record::kForwardingStub << 1);
    for (int k = 0; k < 4; ++k) bytes[field + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(target >> (8 * k));
    put16(bytes, field + 4, 1);
    put16(bytes, field + 6, static_cast<std::uint16_t>(any(slots)));
  }

  std::mt19937_64& random_;
  const std::vector<Base>& bases_;
};

// A few fixed queries through sorbel sql: a count, a scan with a WHERE on
// every row, the first rows as JSON lines, and the tables with their
// deleted rows. A table the damage took away answers exit 3, one it left
// unreadable exit 4; neither may come back as an empty table.
std::vector<std::vector<std::string>> sqlCommandsFor(const std::string& path, const Base& base,
                                                     const std::function<std::size_t(std::size_t)>& any) {
  std::vector<std::vector<std::string>> commands = {
      {"sql", path, "SELECT count(*) FROM sqlite_schema", "--deleted", "--format", "table"}};
  if (base.tables.empty()) return commands;
  // As the virtual tables are named: Sales.Orders is Sales_Orders.
  std::string table = base.tables[any(base.tables.size())];
  if (const auto dot = table.find('.'); dot != std::string::npos) table[dot] = '_';
  std::string quoted = "\"";
  for (const char c : table) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  quoted += "\"";
  commands.push_back({"sql", path, "SELECT count(*) FROM " + quoted});
  commands.push_back({"sql", path, "SELECT count(*) FROM " + quoted + " WHERE rowid % 2 = 0 OR quote(rowid) LIKE '%7%'"});
  commands.push_back({"sql", path, "SELECT * FROM " + quoted + " LIMIT 5", "--format", "jsonl"});
  return commands;
}

std::vector<std::vector<std::string>> commandsFor(const std::string& path, const Base& base, std::mt19937_64& random,
                                                  std::size_t pageCount) {
  const auto any = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  const std::vector<std::vector<std::string>> flagSets = {
      {}, {"--deleted"}, {"--deleted", "--advanced-deleted"}, {"--advanced"}, {"--system"}};
  std::vector<std::vector<std::string>> commands = {{"pages", path}, {"boot", path}, {"catalog", path}};
  for (int i = 0; i < 2 && !base.tables.empty(); ++i) {
    std::vector<std::string> c = {"rows", path, base.tables[any(base.tables.size())]};
    for (const auto& f : flagSets[any(flagSets.size())]) c.push_back(f);
    commands.push_back(c);
  }
  if (!base.tables.empty()) commands.push_back({"columns", path, base.tables[any(base.tables.size())]});
  if (!base.modules.empty()) commands.push_back({"module", path, base.modules[any(base.modules.size())]});
  for (int i = 0; i < 2; ++i) {
    std::vector<std::string> c = {"page", path, "1:" + std::to_string(any(pageCount + 2))};
    for (const auto& f : flagSets[any(flagSets.size() - 1)]) c.push_back(f);
    commands.push_back(c);
  }
  // The scan workflow as the desktop program runs it, and a selection after it.
  commands.push_back({"scan", path});
  if (any(2) == 0) commands.back().push_back("--advanced");
  if (!base.tables.empty()) {
    const std::string table = base.tables[any(base.tables.size())];
    commands.push_back({"tree", path, table});
    commands.push_back({"show", path, "Tables/User Tables/" + table, "--moves", "np"});
    for (const auto& f : flagSets[any(flagSets.size() - 1)]) commands.back().push_back(f);
  }
  if (any(10) == 0) commands.push_back({"xml", path});
  // The exports: a schema script, rows in an exchange form, and a whole
  // SQLite database written beside the damaged copy.
  static constexpr const char* kDialects[] = {"mssql", "postgres", "mysql", "sqlite"};
  commands.push_back({"schema", path, "--dialect", kDialects[any(4)]});
  if (!base.tables.empty()) {
    std::vector<std::string> c = {"rows", path, base.tables[any(base.tables.size())]};
    if (any(2) == 0) c.insert(c.end(), {"--insert", kDialects[any(4)], "--batch-size", "3"});
    else c.insert(c.end(), {"--format", any(2) ? "jsonl" : "csv", "--binary", "base64", "--delimiter", ";"});
    for (const auto& f : flagSets[any(flagSets.size())]) c.push_back(f);
    commands.push_back(c);
  }
  commands.push_back({"to-sqlite", path, path + ".export.db", "--force"});
  if (any(2) == 0) commands.back().push_back("--deleted");
  for (auto& c : sqlCommandsFor(path, base, any)) commands.push_back(std::move(c));
  return commands;
}

// Transaction logs to damage beside the data file: one the log builder
// writes (a wrapped VLF, transactions with inserts, deletes and a modify) and,
// where this machine has them, the real logs.
std::vector<Bytes> logBases(const Options& o) {
  using namespace sorbel;
  using sorbel::testing::LogRecordFields;
  sorbel::testing::LogBuilder builder;
  const std::size_t first = builder.addVlf(7, 0x80);
  builder.addVlf(8, 0x80, 32 * 1024);
  const LogLsn begin = builder.addBlock(first, {sorbel::testing::beginRecord(0x501, 11009706, 42120, "user_transaction")});
  const Bytes row = {0x10, 0x00, 0x08, 0x00, 0x2a, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};
  std::vector<Bytes> changes;
  for (const std::uint8_t op : {logop::kInsertRows, logop::kDeleteRows, logop::kModifyRow}) {
    LogRecordFields recordFields;
    recordFields.operation = op;
    recordFields.context = logcontext::kHeap;
    recordFields.transaction = 0x501;
    recordFields.previous = begin;
    recordFields.allocationUnit = 72057594039042048ULL;
    recordFields.page = 80;
    recordFields.contents = op == logop::kModifyRow ? std::vector<Bytes>{{0x2a}, {0x2b}} : std::vector<Bytes>{row};
    changes.push_back(sorbel::testing::logRecord(recordFields));
  }
  changes.push_back(sorbel::testing::endRecord(0x501, begin));
  builder.addBlock(first, changes);
  builder.skipSectors(first, 3);
  builder.addBlock(first, {changes[0], changes[1]}, 4, 0x40);
  std::vector<Bytes> out = {builder.bytes()};
  if (!o.corpus.empty()) {
    const fs::path logs = fs::path(o.corpus).parent_path() / "logs";
    for (const char* name : {"539_northwnd_sqldata.ldf", "706_pubs_wessig.ldf", "852_products_aspnetcoursenote.ldf"})
      if (fs::exists(logs / name)) out.push_back(readFile((logs / name).string()));
  }
  return out;
}

// The kinds of damage a log meets: flipped bits, torn and zeroed sectors,
// parity bytes of another pass, wild block header fields, a cut file.
void damageLog(Bytes& log, std::mt19937_64& random) {
  const auto any = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  if (log.size() < 1024) return;
  const std::size_t sectors = log.size() / 512;
  switch (any(6)) {
    case 0:
      for (std::size_t i = 1 + any(64); i > 0; --i) log[any(log.size())] ^= static_cast<std::uint8_t>(1u << any(8));
      break;
    case 1:
      for (std::size_t i = 1 + any(8); i > 0; --i) std::fill_n(log.begin() + static_cast<std::ptrdiff_t>(any(sectors) * 512), 512, 0);
      break;
    case 2:
      for (std::size_t i = 1 + any(32); i > 0; --i) log[any(sectors) * 512] ^= 0xC0;
      break;
    case 3:
      // Block headers: counts, offsets and sizes at a sector start.
      for (std::size_t i = 1 + any(32); i > 0; --i) {
        const std::size_t at = any(sectors) * 512 + 2 + any(20);
        log[at] = static_cast<std::uint8_t>(any(256));
      }
      break;
    case 4:
      log.resize(512 * (1 + any(sectors)) - any(2) * 7);
      break;
    default:
      // Halves of sectors trade places, as a disk that wrote them out of order.
      for (std::size_t i = 1 + any(16); i > 0; --i) {
        const auto a = log.begin() + static_cast<std::ptrdiff_t>(any(sectors) * 512);
        const auto b = log.begin() + static_cast<std::ptrdiff_t>(any(sectors) * 512 + 256);
        std::swap_ranges(a, a + 256, b);
      }
      break;
  }
}

// Writes a damaged log beside the copy and answers the log commands to run.
std::vector<std::vector<std::string>> logCommandsFor(const std::string& path, const std::vector<Bytes>& logs,
                                                     std::mt19937_64& random) {
  const auto any = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
  Bytes log = logs[any(logs.size())];
  damageLog(log, random);
  const std::string ldf = fs::path(path).replace_extension(".ldf").string();
  writeFile(ldf, log);
  static const std::vector<std::vector<std::string>> kOptions = {
      {"--summary", "--system"}, {"--records"}, {"--format", "jsonl", "--system"}, {"--op", "delete,modify"}};
  std::vector<std::vector<std::string>> commands = {{"log", path}};
  for (const std::string& o : kOptions[any(kOptions.size())]) commands.back().push_back(o);
  commands.push_back({"log", path, "--ldf", ldf, "--records"});
  commands.push_back({"to-sqlite", path, path + ".log.db", "--force", "--log"});
  return commands;
}

// The tables whose answers a copy is checked on: two of the base's.
std::vector<std::string> oracleTables(const Base& base, std::mt19937_64& random) {
  std::vector<std::string> tables;
  for (int i = 0; i < 2 && !base.rowsByTable.empty(); ++i) {
    auto it = base.rowsByTable.begin();
    std::advance(it, static_cast<std::ptrdiff_t>(std::uniform_int_distribution<std::size_t>(0, base.rowsByTable.size() - 1)(random)));
    if (std::find(tables.begin(), tables.end(), it->first) == tables.end()) tables.push_back(it->first);
  }
  return tables;
}

std::string joined(const std::vector<std::string>& args) {
  std::string text;
  for (const auto& a : args) text += (text.empty() ? "" : " ") + a;
  return text;
}

std::optional<std::string> fault(const RunResult& r, const Options& o) {
  if (r.timedOut) return "took longer than " + std::to_string(static_cast<int>(o.runSeconds)) + " s";
  if (r.signal) return "ended by signal " + std::to_string(r.signal);
  for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error:", "UndefinedBehaviorSanitizer"})
    if (r.err.find(report) != std::string::npos) return std::string("sanitizer report: ") + report;
  if (r.exitCode != 0 && r.exitCode != 2 && r.exitCode != 3 && r.exitCode != 4)
    return "exit code " + std::to_string(r.exitCode);
  if (r.maxRssKb > o.maxRssMb * 1024) return "used " + std::to_string(r.maxRssKb / 1024) + " MB";
  return std::nullopt;
}

// The answer oracle: an exit-0 answer on a damaged copy must not hold what
// the intact file does not (another table's records, a row more often than
// the intact table has it) nor quietly lose a whole table.

std::map<std::string, int> countedLines(const std::string& path) {
  std::map<std::string, int> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) ++lines[line];
  return lines;
}

std::vector<std::string> tableRowsCommand(const std::string& path, const std::string& table) {
  return {"rows", path, table, "--format", "jsonl", "--mark-damaged"};
}

void learnAnswers(const Options& o, Base& base, const std::string& path, const fs::path& work) {
  const std::string out = (work / "answer").string();
  for (const std::string& table : base.tables) {
    const RunResult r = runCommand(o, tableRowsCommand(path, table), (work / "stderr").string(), out);
    if (r.exitCode != 0) continue;
    auto& rows = base.rowsByTable[table];
    rows = countedLines(out);
    for (const auto& [row, count] : rows) base.anyRow.insert(row);
  }
}

// Damage that leaves every record's bytes as they were (it lies about
// pages, owners and slots, or takes pages away): a row it brings that the
// intact file has nowhere is a wrong answer, not a damaged value.
bool recordsUntouched(int kind) {
  const std::string name = Damager::kKinds[kind];
  return name == "header bits" || name == "wild slots" || name == "shuffled page ids" || name == "foreign ndf";
}

// What is wrong in one table's exit-0 answer on a damaged copy; empty when
// nothing is.
std::vector<std::string> answerFaults(const Base& base, const std::string& table, int kind, const std::string& outPath,
                                      const RunResult& r) {
  std::vector<std::string> faults;
  const auto intact = base.rowsByTable.find(table);
  if (r.exitCode != 0 || intact == base.rowsByTable.end()) return faults;
  const auto damaged = countedLines(outPath);
  std::size_t foreign = 0, doubled = 0;
  for (const auto& [row, count] : damaged) {
    // A row whose large value the program says it read only in part is
    // announced, not wrong.
    if (!row.ends_with("\"damaged_value\":null}")) continue;
    const auto was = intact->second.find(row);
    const int before = was == intact->second.end() ? 0 : was->second;
    if (before == 0 && (recordsUntouched(kind) || base.anyRow.count(row))) ++foreign;
    else if (before > 0 && count > before) ++doubled;
  }
  if (foreign) faults.push_back(std::to_string(foreign) + " rows found in no table of the intact file");
  if (doubled) faults.push_back(std::to_string(doubled) + " rows present more often than in the intact file");
  if (damaged.empty() && !intact->second.empty() && r.err.empty()) faults.push_back("the table became empty without a word");
  return faults;
}

int usage() {
  std::fputs("usage: damage_campaign --sorbel PATH [--corpus DIR] [--seconds N] [--seed N] [--keep DIR]\n"
             "       damage_campaign --write-samples DIR\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    if (a == "--write-samples" && hasValue) {
      // Seeds for the database fuzzer: the sample in both catalog forms.
      const std::string folder = argv[++i];
      fs::create_directories(folder);
      writeFile(folder + "/sample.mdf", sorbel::testing::sampleDatabase(false).bytes);
      writeFile(folder + "/sample2000.mdf", sorbel::testing::sampleDatabase(true).bytes);
      return 0;
    }
    if (a == "--sorbel" && hasValue) o.sorbel = argv[++i];
    else if (a == "--corpus" && hasValue) o.corpus = argv[++i];
    else if (a == "--seconds" && hasValue) o.seconds = std::atof(argv[++i]);
    else if (a == "--seed" && hasValue) o.seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--keep" && hasValue) o.keep = argv[++i];
    else return usage();
  }
  if (o.sorbel.empty()) return usage();

  const fs::path work = fs::temp_directory_path() / ("sorbel_campaign_" + std::to_string(::getpid()));
  fs::create_directories(work);
  if (o.keep.empty()) o.keep = (work.string() + "_failures");

  // The bases: builder-made databases in both catalog forms and, where this
  // machine has them, a few real files of different versions.
  std::vector<Base> bases;
  for (const bool legacy : {false, true}) {
    auto sample = sorbel::testing::sampleDatabase(legacy);
    bases.push_back(Base{legacy ? "sample2000.mdf" : "sample.mdf", std::move(sample.bytes), sample.tables, sample.modules, {}, {}, {}});
  }
  if (!o.corpus.empty()) {
    for (const char* name : {"539_pubs_sqldata.mdf", "611_aspnetdb_tractis.mdf", "655_northwnd_brind.mdf",
                             "706_pubs_wessig.mdf", "852_school_webtonic.mdf"}) {
      const fs::path path = fs::path(o.corpus) / name;
      if (fs::exists(path)) bases.push_back(Base{name, readFile(path.string()), {}, {}, {}, {}, {}});
    }
  }
  for (Base& base : bases) {
    const std::string path = (work / base.name).string();
    writeFile(path, base.bytes);
    const auto tables = base.tables;
    base.tables.clear();
    base.modules.clear();
    learnCatalog(o, base, path);
    if (base.tables.empty()) base.tables = tables;
    learnAnswers(o, base, path, work);
    fs::remove(path);
  }

  std::mt19937_64 random(o.seed);
  Damager damager(random, bases);
  const std::vector<Bytes> logs = logBases(o);
  const auto start = Clock::now();
  std::size_t copies = 0, runs = 0, failures = 0;
  double slowest = 0;
  long largestRssKb = 0;
  while (std::chrono::duration<double>(Clock::now() - start).count() < o.seconds) {
    // Every round of copies meets every kind of damage, and each round pairs
    // the kinds with other bases, so even a short run meets every base too.
    const int kind = static_cast<int>(copies % Damager::kKindCount);
    const std::size_t round = copies / Damager::kKindCount;
    const Base& base = bases[(static_cast<std::size_t>(kind) + round) % bases.size()];
    const fs::path folder = work / ("copy" + std::to_string(copies));
    fs::create_directories(folder);
    const std::string path = (folder / "db.mdf").string();
    Bytes bytes = base.bytes;
    std::vector<std::pair<std::string, Bytes>> beside;
    damager.apply(kind, bytes, beside, base);
    writeFile(path, bytes);
    for (const auto& [name, content] : beside) writeFile((folder / name).string(), content);
    std::vector<std::pair<std::string, std::uint64_t>> before;
    for (const auto& entry : fs::directory_iterator(folder)) before.emplace_back(entry.path().string(), fingerprint(entry.path().string()));

    const std::string label = base.name + " / " + Damager::kKinds[kind] + " / copy " + std::to_string(copies);
    bool failed = false;
    auto commands = commandsFor(path, base, random, bytes.size() / kPageSize);
    for (auto& c : logCommandsFor(path, logs, random)) commands.push_back(std::move(c));
    for (const auto& args : commands) {
      const RunResult r = runCommand(o, args, (work / "stderr").string());
      ++runs;
      slowest = std::max(slowest, r.seconds);
      largestRssKb = std::max(largestRssKb, r.maxRssKb);
      if (const auto why = fault(r, o)) {
        std::fprintf(stderr, "FAULT %s: sorbel %s: %s\n%s\n", label.c_str(), joined(args).c_str(), why->c_str(),
                     r.err.substr(0, 4000).c_str());
        failed = true;
      }
    }
    for (const std::string& table : oracleTables(base, random)) {
      const std::string out = (work / "answer").string();
      const auto args = tableRowsCommand(path, table);
      const RunResult r = runCommand(o, args, (work / "stderr").string(), out);
      ++runs;
      for (const std::string& why : answerFaults(base, table, kind, out, r)) {
        std::fprintf(stderr, "FAULT %s: sorbel %s: %s\n%s\n", label.c_str(), joined(args).c_str(), why.c_str(),
                     r.err.substr(0, 4000).c_str());
        failed = true;
      }
    }
    for (const auto& [file, print] : before) {
      if (fingerprint(file) != print) {
        std::fprintf(stderr, "FAULT %s: %s was changed\n", label.c_str(), file.c_str());
        failed = true;
      }
    }
    if (failed) {
      ++failures;
      const fs::path kept = fs::path(o.keep) / ("copy" + std::to_string(copies));
      fs::create_directories(kept.parent_path());
      fs::copy(folder, kept, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
      std::fprintf(stderr, "kept in %s (seed %llu)\n", kept.c_str(), static_cast<unsigned long long>(o.seed));
    }
    fs::remove_all(folder);
    ++copies;
  }
  fs::remove_all(work);
  std::printf("damage campaign: %zu damaged copies of %zu databases, %zu runs, %zu faulty copies; slowest run %.2f s, "
              "largest %ld MB\n",
              copies, bases.size(), runs, failures, slowest, largestRssKb / 1024);
  return failures ? 1 : 0;
}
