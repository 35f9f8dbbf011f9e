// Runs the SCSU state machine of UTS #6 over one compressed value, emitting UTF-8.
#include "records/scsu.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/utf16.h"

namespace sorbel {
namespace {

// Tag bytes of UTS #6. The eight SQn, SCn, SDn, UCn and UDn tags are
// consecutive; the low three bits of the tag name the window.
namespace scsu_tag {
inline constexpr std::uint8_t kSQ0 = 0x01;  // quote one character from window n
inline constexpr std::uint8_t kSQ7 = 0x08;
inline constexpr std::uint8_t kSDX = 0x0B;  // define an extended (supplementary) window
inline constexpr std::uint8_t kSRs = 0x0C;  // reserved
inline constexpr std::uint8_t kSQU = 0x0E;  // quote one UTF-16 code unit
inline constexpr std::uint8_t kSCU = 0x0F;  // change to Unicode mode
inline constexpr std::uint8_t kSC0 = 0x10;  // change to window n
inline constexpr std::uint8_t kSC7 = 0x17;
inline constexpr std::uint8_t kSD0 = 0x18;  // define window n and change to it
inline constexpr std::uint8_t kSD7 = 0x1F;
inline constexpr std::uint8_t kUC0 = 0xE0;  // back to single-byte mode with window n
inline constexpr std::uint8_t kUC7 = 0xE7;
inline constexpr std::uint8_t kUD0 = 0xE8;  // define window n, back to single-byte mode
inline constexpr std::uint8_t kUD7 = 0xEF;
inline constexpr std::uint8_t kUQU = 0xF0;  // quote one UTF-16 code unit
inline constexpr std::uint8_t kUDX = 0xF1;  // define an extended window, back to single-byte mode
inline constexpr std::uint8_t kURs = 0xF2;  // reserved
}  // namespace scsu_tag

constexpr std::size_t kWindowCount = 8;
constexpr std::uint8_t kWindowMask = 0x07;
constexpr std::uint8_t kHighHalf = 0x80;  // single-byte values at or above it index the active dynamic window

constexpr std::array<char32_t, kWindowCount> kStaticWindows = {0x0000, 0x0080, 0x0100, 0x0300,
                                                               0x2000, 0x2080, 0x2100, 0x3000};
constexpr std::array<char32_t, kWindowCount> kInitialDynamicWindows = {0x0080, 0x00C0, 0x0400, 0x0600,
                                                                       0x0900, 0x3040, 0x30A0, 0xFF00};

// Window offset bytes of SDn and UDn: 0x01-0x67 count half-blocks from U+0000,
// 0x68-0xA7 count them from U+E000 (skipping the Hangul and surrogate area),
// 0xF9-0xFF name offsets that are not half-block aligned; the rest is reserved.
constexpr std::uint8_t kFirstHighWindowByte = 0x68;
constexpr std::uint8_t kFirstReservedWindowByte = 0xA8;
constexpr std::uint8_t kFirstSpecialWindowByte = 0xF9;
constexpr char32_t kHighWindowGap = 0xAC00;
constexpr char32_t kHalfBlock = 0x80;
constexpr std::array<char32_t, 7> kSpecialWindows = {0x00C0, 0x0250, 0x0370, 0x0530, 0x3040, 0x30A0, 0xFF60};

// SDX and UDX: the top three bits of the first byte name the window, the other
// thirteen bits count half-blocks from U+10000.
constexpr char32_t kExtendedWindowBase = 0x10000;
constexpr unsigned kExtendedWindowShift = 5;
constexpr unsigned kExtendedHighBits = 0x1F;

constexpr char32_t kReplacement = 0xFFFD;

std::optional<char32_t> windowOffset(std::uint8_t x) {
  if (x == 0 || (x >= kFirstReservedWindowByte && x < kFirstSpecialWindowByte)) return std::nullopt;
  if (x < kFirstHighWindowByte) return x * kHalfBlock;
  if (x < kFirstReservedWindowByte) return x * kHalfBlock + kHighWindowGap;
  return kSpecialWindows[x - kFirstSpecialWindowByte];
}

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

class ScsuDecoder {
 public:
  explicit ScsuDecoder(ByteView bytes) : in_(bytes) { out_.reserve(bytes.size() * 2); }

  std::string run() {
    // Every step consumes at least one byte, so the loop ends with the input.
    while (pos_ < in_.size()) {
      if (unicodeMode_) {
        unicodeStep();
      } else {
        singleByteStep();
      }
    }
    flushPendingHigh();
    return std::move(out_);
  }

 private:
  // Windows stay empty after a define with a reserved offset: the encoder meant
  // some offset we cannot know, so the old one would give wrong characters.
  using Window = std::optional<char32_t>;

  static std::array<Window, kWindowCount> initialWindows() {
    std::array<Window, kWindowCount> windows;
    for (std::size_t n = 0; n < kWindowCount; ++n) windows[n] = kInitialDynamicWindows[n];
    return windows;
  }

  std::optional<std::uint8_t> take() {
    if (pos_ >= in_.size()) return std::nullopt;
    return in_[pos_++];
  }

  std::optional<char16_t> takeUnit() {
    if (!in_.has(pos_, 2)) {
      pos_ = in_.size();
      return std::nullopt;
    }
    const auto unit = static_cast<char16_t>((in_[pos_] << 8) | in_[pos_ + 1]);
    pos_ += 2;
    return unit;
  }

  void singleByteStep() {
    const std::uint8_t b = in_[pos_++];
    if (b >= kHighHalf) {
      emitFromWindow(dynamic_[active_], b - kHighHalf);
    } else if (b >= scsu_tag::kSQ0 && b <= scsu_tag::kSQ7) {
      const auto arg = take();
      if (!arg) return emit(kReplacement);
      const std::size_t n = b - scsu_tag::kSQ0;
      if (*arg < kHighHalf) {
        emit(kStaticWindows[n] + *arg);
      } else {
        emitFromWindow(dynamic_[n], *arg - kHighHalf);
      }
    } else if (b == scsu_tag::kSDX) {
      defineExtended();
    } else if (b == scsu_tag::kSRs) {
      emit(kReplacement);
    } else if (b == scsu_tag::kSQU) {
      const auto unit = takeUnit();
      if (!unit) return emit(kReplacement);
      emitUnit(*unit);
    } else if (b == scsu_tag::kSCU) {
      unicodeMode_ = true;
    } else if (b >= scsu_tag::kSC0 && b <= scsu_tag::kSC7) {
      active_ = b & kWindowMask;
    } else if (b >= scsu_tag::kSD0 && b <= scsu_tag::kSD7) {
      define(b & kWindowMask);
    } else {
      // NUL, TAB, LF, CR and 0x20-0x7F stand for themselves.
      emit(b);
    }
  }

  void unicodeStep() {
    const std::uint8_t b = in_[pos_];
    if (b >= scsu_tag::kUC0 && b <= scsu_tag::kUC7) {
      ++pos_;
      unicodeMode_ = false;
      active_ = b & kWindowMask;
    } else if (b >= scsu_tag::kUD0 && b <= scsu_tag::kUD7) {
      ++pos_;
      unicodeMode_ = false;
      define(b & kWindowMask);
    } else if (b == scsu_tag::kUQU) {
      ++pos_;
      const auto unit = takeUnit();
      if (!unit) return emit(kReplacement);
      emitUnit(*unit);
    } else if (b == scsu_tag::kUDX) {
      ++pos_;
      unicodeMode_ = false;
      defineExtended();
    } else if (b == scsu_tag::kURs) {
      ++pos_;
      emit(kReplacement);
    } else {
      const auto unit = takeUnit();
      if (!unit) return emit(kReplacement);
      emitUnit(*unit);
    }
  }

  // SDn and UDn: the window becomes active even when its offset is reserved,
  // so the characters meant for it come out as U+FFFD rather than as text of
  // some other window.
  void define(std::size_t n) {
    active_ = n;
    const auto x = take();
    if (!x) return emit(kReplacement);
    dynamic_[n] = windowOffset(*x);
    if (!dynamic_[n]) emit(kReplacement);
  }

  void defineExtended() {
    if (!in_.has(pos_, 2)) {
      pos_ = in_.size();
      return emit(kReplacement);
    }
    const std::uint8_t hi = in_[pos_];
    const std::uint8_t lo = in_[pos_ + 1];
    pos_ += 2;
    active_ = hi >> kExtendedWindowShift;
    dynamic_[active_] = kExtendedWindowBase + kHalfBlock * (((hi & kExtendedHighBits) << 8) | lo);
  }

  void emitFromWindow(const Window& window, unsigned index) {
    emit(window ? *window + index : kReplacement);
  }

  // Window offsets never reach the surrogate area, so only code units quoted
  // by SQU, UQU or read in Unicode mode need pairing; a pair may be split
  // across two quotes.
  void emitUnit(char16_t unit) {
    if (isLowSurrogate(unit) && pendingHigh_) {
      const char32_t cp = kExtendedWindowBase + ((static_cast<char32_t>(*pendingHigh_) - 0xD800) << 10) + (unit - 0xDC00);
      pendingHigh_.reset();
      appendUtf8(out_, cp);
    } else if (isHighSurrogate(unit)) {
      flushPendingHigh();
      pendingHigh_ = unit;
    } else if (isLowSurrogate(unit)) {
      emit(kReplacement);
    } else {
      emit(unit);
    }
  }

  void emit(char32_t cp) {
    flushPendingHigh();
    appendUtf8(out_, cp);
  }

  void flushPendingHigh() {
    if (!pendingHigh_) return;
    pendingHigh_.reset();
    appendUtf8(out_, kReplacement);
  }

  ByteView in_;
  std::size_t pos_ = 0;
  bool unicodeMode_ = false;
  std::size_t active_ = 0;
  std::array<Window, kWindowCount> dynamic_ = initialWindows();
  std::optional<char16_t> pendingHigh_;
  std::string out_;
};

}  // namespace

std::string decodeScsu(ByteView bytes) { return ScsuDecoder(bytes).run(); }

}  // namespace sorbel
