// Times the xml value decoder on a 1 MiB document spread over large-object sized chunks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "binxml_builder.h"
#include "values/xml_decoder.h"

namespace {

using sorbel::testing::BinXmlBuilder;

// Rows of an order list: elements, attributes of several types, text.
std::vector<std::uint8_t> megabyteDocument() {
  BinXmlBuilder b(2);
  const auto orders = b.defineLocal(u"orders");
  const auto order = b.defineLocal(u"order");
  const auto id = b.defineLocal(u"id");
  const auto date = b.defineLocal(u"date");
  const auto total = b.defineLocal(u"total");
  const auto note = b.defineLocal(u"note");
  b.element(orders);
  for (std::uint32_t i = 0; b.bytes().size() < (1u << 20) - 64; ++i) {
    b.element(order).attribute(id).raw({0x02}).raw({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 0, 0});
    b.attribute(date).raw({0x7E, 0x00, 0xA8, 0x93, 0x00, 0x17, 0x30, 0x0B});
    b.attribute(total).raw({0x0A, 0x07, 0x0A, 0x02, 0x01, static_cast<std::uint8_t>(i), 0x0D, 0x03, 0x00}).endAttributes();
    b.element(note).nvarchar(u"Deliver to the back door & ring twice <fragile>").endElement();
    b.endElement();
  }
  b.endElement();
  return b.bytes();
}

// Large-object fragments carry at most 8,040 bytes of a value each.
sorbel::ByteChunkList chunksOf(const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kChunk = 8040;
  sorbel::ByteChunkList chunks;
  for (std::size_t from = 0; from < bytes.size(); from += kChunk) {
    const std::size_t length = std::min(kChunk, bytes.size() - from);
    sorbel::ByteChunk chunk;
    chunk.length = static_cast<std::int32_t>(length);
    chunk.bytes = std::make_unique<std::uint8_t[]>(length);
    std::memcpy(chunk.bytes.get(), bytes.data() + from, length);
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

}  // namespace

int main() {
  const auto document = megabyteDocument();
  constexpr int kRounds = 20;
  double best = 1e9;
  std::size_t textSize = 0;
  std::size_t chunkCount = 0;
  for (int round = 0; round < kRounds; ++round) {
    auto chunks = chunksOf(document);
    chunkCount = chunks.size();
    const auto start = std::chrono::steady_clock::now();
    const std::string text = sorbel::decodeXmlChunks(chunks);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    best = std::min(best, elapsed.count());
    textSize = text.size();
  }
  if (textSize == 0) {
    std::fputs("the document did not decode\n", stderr);
    return 1;
  }
  const double mib = static_cast<double>(document.size()) / (1 << 20);
  std::printf("xml decoder: %.2f MiB of binary xml in %zu chunks -> %.2f MiB of text: best of %d %.2f ms, %.1f MiB/s\n",
              mib, chunkCount, static_cast<double>(textSize) / (1 << 20), kRounds, best * 1000, mib / best);
  return 0;
}
