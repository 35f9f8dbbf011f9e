// Walks the token grammar of binary xml and writes the document as XML text.
#include "values/binxml_reader.h"

#include <cstdint>
#include <optional>
#include <unordered_set>
#include <vector>

#include "values/binxml_cursor.h"
#include "values/binxml_namespaces.h"
#include "values/binxml_text.h"
#include "values/binxml_tokens.h"
#include "values/binxml_values.h"

namespace sorbel::binxml {

namespace {

// Where a document is in `[xmldecl] *misc [doctypedecl *misc] content`.
enum class Phase { kHeader, kProlog, kAfterDocType, kContent };

// Where the innermost element is: its start tag before any attribute, inside
// its attribute list, in its content, or inside a CDATA section.
enum class Place { kStartTag, kAttributes, kContent, kCData };

// Ids into the name store.
struct QName {
  std::uint32_t ns = 0;
  std::uint32_t prefix = 0;
  std::uint32_t local = 0;
};

// One document level: the top one and each nested document have their own
// name and qname tables.
struct Document {
  std::vector<std::uint32_t> names;  // name n is names[n - 1]; name 0 is the empty name
  std::vector<QName> qnames;         // qname n is qnames[n - 1]; qname 0 is invalid
  Phase phase = Phase::kHeader;
  std::size_t elementBase = 0;  // elements open around this document
};

struct OpenElement {
  QName name;
  std::size_t scopeMark;
};

class Reader {
 public:
  explicit Reader(ByteView bytes) : cursor_(bytes), limit_(bytes.size() * kOutputGrowthLimit + (1u << 20)) {
    store_.emplace_back();
  }

  ReadResult run();

 private:
  bool fail(const char* why) {
    error_ = why;
    return false;
  }
  bool header();
  bool token(std::uint8_t token);
  bool cdataToken(std::uint8_t token);
  bool readName(std::uint32_t& id);
  bool readQName(QName& name);
  bool nameDefinition();
  bool qnameDefinition();
  bool xmlDeclaration(bool atHeader);
  bool docType();
  bool beginContent(bool isContent);
  bool element();
  bool attribute();
  bool finishAttribute();
  bool sealStartTag();
  bool endElement();
  bool comment();
  bool processingInstruction();
  bool nest();
  bool endNest();
  bool value(std::uint8_t token);
  void appendName(std::string& out, const QName& name) const;
  std::optional<std::string> declaredPrefix(const QName& name) const;
  bool topLevel() const { return documents_.size() == 1; }

  Cursor cursor_;
  std::size_t limit_;
  // Every name defined, id 0 the empty name. A flush only empties the
  // tables, so open elements keep their names for the end tag.
  std::vector<std::string> store_;
  std::vector<Document> documents_;
  std::vector<OpenElement> open_;
  Place place_ = Place::kContent;
  bool startTagOpen_ = false;  // the innermost start tag still lacks its '>'
  NamespaceScope scope_;
  StartTagPrefixes tagPrefixes_;
  std::unordered_set<std::string> attributeNames_;
  QName attribute_;
  std::optional<std::string> attributeDeclares_;  // the prefix an xmlns attribute binds
  std::string attributeValue_;
  int attributeValueCount_ = 0;
  std::string cdata_;
  std::string scratch_;
  std::string out_;
  const char* error_ = nullptr;
};

ReadResult Reader::run() {
  ReadResult result;
  bool good = header();
  if (good) documents_.emplace_back();
  while (good && !cursor_.atEnd()) {
    result.errorOffset = cursor_.position();
    const std::uint8_t t = *cursor_.byte();
    good = place_ == Place::kCData ? cdataToken(t) : token(t);
    if (good && out_.size() > limit_) good = fail("the text grows beyond its limit");
  }
  if (good) {
    result.errorOffset = cursor_.position();
    if (place_ == Place::kCData) {
      good = fail("the input ends inside a CDATA section");
    } else if (!open_.empty()) {
      good = fail("the input ends inside an element");
    } else if (documents_.size() > 1) {
      good = fail("the input ends inside a nested document");
    }
  }
  if (good) {
    result.text = std::move(out_);
  } else {
    result.error = error_;
  }
  return result;
}

bool Reader::header() {
  auto s0 = cursor_.byte();
  auto s1 = cursor_.byte();
  if (!s0 || !s1 || *s0 != kSignature0 || *s1 != kSignature1) return fail("no binary xml signature");
  auto version = cursor_.byte();
  if (!version || *version > kMaxVersion) return fail("unknown binary xml version");
  auto encoding = cursor_.integer<std::uint16_t>();
  if (!encoding || *encoding != kUtf16CodePage) return fail("the encoding is not UTF-16");
  return true;
}

bool Reader::token(std::uint8_t t) {
  Document& document = documents_.back();
  const bool atHeader = document.phase == Phase::kHeader;
  if (atHeader) document.phase = Phase::kProlog;
  switch (t) {
    case kNameDef: return nameDefinition();
    case kQNameDef: return qnameDefinition();
    case kExtension: {
      // Extensions carry nothing this decoder knows; they are skipped whole.
      auto length = cursor_.mb32();
      return (length && cursor_.bytes(*length)) || fail("an extension is cut short");
    }
    case kFlushNames:
      document.names.clear();
      document.qnames.clear();
      return true;
    case kXmlDecl: return xmlDeclaration(atHeader);
    case kDocType: return docType();
    case kElement: return element();
    case kAttribute: return attribute();
    case kEndAttributes:
      if (place_ != Place::kAttributes) return fail("end of attributes without an attribute");
      return sealStartTag();
    case kEndElement: return endElement();
    case kComment: return comment();
    case kPi: return processingInstruction();
    case kCData: {
      if (!beginContent(true)) return false;
      cdata_.clear();
      place_ = Place::kCData;
      return cdataToken(t);
    }
    case kCDataEnd: return fail("end of CDATA without CDATA");
    case kNest: return nest();
    case kEndNest: return endNest();
    default:
      if (t == kXsdQName || isAtomicValueToken(t)) return value(t);
      return fail("not a token in this place");
  }
}

// Chunks up to the end token form one section; "]]>" inside it is split
// across two sections, as it cannot stand in one.
bool Reader::cdataToken(std::uint8_t t) {
  if (t == kCData) {
    auto text = cursor_.textData();
    if (!text) return fail("CDATA text is cut short");
    appendUtf16(cdata_, *text);
    return true;
  }
  if (t != kCDataEnd) return fail("CDATA section not closed by its end token");
  out_ += "<![CDATA[";
  std::size_t from = 0;
  for (std::size_t at; (at = cdata_.find("]]>", from)) != std::string::npos; from = at + 2) {
    out_.append(cdata_, from, at + 2 - from);
    out_ += "]]><![CDATA[";
  }
  out_.append(cdata_, from);
  out_ += "]]>";
  place_ = Place::kContent;
  return true;
}

bool Reader::readName(std::uint32_t& id) {
  auto index = cursor_.mb32();
  if (!index) return fail("name reference cut short or too large");
  const auto& names = documents_.back().names;
  if (*index > names.size()) return fail("reference to an undefined name");
  id = *index == 0 ? 0 : names[*index - 1];
  return true;
}

bool Reader::readQName(QName& name) {
  auto index = cursor_.mb32();
  if (!index) return fail("qname reference cut short or too large");
  const auto& qnames = documents_.back().qnames;
  if (*index == 0 || *index > qnames.size()) return fail("reference to an undefined qname");
  name = qnames[*index - 1];
  return true;
}

bool Reader::nameDefinition() {
  auto text = cursor_.textData();
  if (!text) return fail("name definition cut short");
  store_.emplace_back();
  appendUtf16(store_.back(), *text);
  documents_.back().names.push_back(static_cast<std::uint32_t>(store_.size() - 1));
  return true;
}

bool Reader::qnameDefinition() {
  QName name;
  if (!readName(name.ns) || !readName(name.prefix) || !readName(name.local)) return false;
  documents_.back().qnames.push_back(name);
  return true;
}

// The declaration is kept only at the top: nested documents are spliced
// into the text, where a second declaration could not stand.
bool Reader::xmlDeclaration(bool atHeader) {
  if (!atHeader) return fail("XML declaration after the document header");
  auto version = cursor_.textData();
  if (!version) return fail("XML declaration cut short");
  std::optional<ByteView> encoding;
  if (cursor_.peek() == kEncoding) {
    cursor_.byte();
    encoding = cursor_.textData();
    if (!encoding) return fail("XML declaration cut short");
  }
  auto standalone = cursor_.byte();
  if (!standalone || *standalone > kStandaloneNo) return fail("XML declaration with a bad standalone byte");
  if (!topLevel()) return true;
  scratch_.clear();
  appendUtf16(scratch_, *version);
  out_ += "<?xml version=\"";
  appendEscaped(out_, scratch_, Escape::kAttribute);
  out_ += '"';
  if (encoding) {
    scratch_.clear();
    appendUtf16(scratch_, *encoding);
    out_ += " encoding=\"";
    appendEscaped(out_, scratch_, Escape::kAttribute);
    out_ += '"';
  }
  if (*standalone != kStandaloneAbsent) out_ += *standalone == kStandaloneYes ? " standalone=\"yes\"" : " standalone=\"no\"";
  out_ += "?>";
  return true;
}

// The document type is written only at the top, like the declaration. Its
// parts come as name, SYSTEM id, PUBLIC id, internal subset.
bool Reader::docType() {
  Document& document = documents_.back();
  if (document.phase != Phase::kProlog) return fail("document type declaration out of place");
  document.phase = Phase::kAfterDocType;
  std::optional<ByteView> parts[4];
  parts[0] = cursor_.textData();
  if (!parts[0]) return fail("document type declaration cut short");
  const std::uint8_t markers[] = {kSystem, kPublic, kSubset};
  for (int i = 0; i < 3; ++i) {
    if (cursor_.peek() != markers[i]) continue;
    cursor_.byte();
    parts[i + 1] = cursor_.textData();
    if (!parts[i + 1]) return fail("document type declaration cut short");
  }
  if (!topLevel()) return true;
  auto appendLiteral = [this](const std::optional<ByteView>& part) {
    scratch_.clear();
    if (part) appendUtf16(scratch_, *part);
    const char quote = scratch_.find('"') == std::string::npos ? '"' : '\'';
    out_ += ' ';
    out_ += quote;
    out_ += scratch_;
    out_ += quote;
  };
  out_ += "<!DOCTYPE ";
  appendUtf16(out_, *parts[0]);
  if (parts[2]) {
    out_ += " PUBLIC";
    appendLiteral(parts[2]);
    appendLiteral(parts[1]);
  } else if (parts[1]) {
    out_ += " SYSTEM";
    appendLiteral(parts[1]);
  }
  if (parts[3]) {
    out_ += " [";
    appendUtf16(out_, *parts[3]);
    out_ += ']';
  }
  out_ += '>';
  return true;
}

// Closes the start tag in front of content; isContent is false for comments
// and processing instructions, which may also stand in the prolog.
bool Reader::beginContent(bool isContent) {
  if (place_ == Place::kAttributes) return fail("content before the end of the attributes");
  if (place_ == Place::kStartTag && !sealStartTag()) return false;
  if (startTagOpen_) {
    out_ += '>';
    startTagOpen_ = false;
  }
  if (isContent) documents_.back().phase = Phase::kContent;
  return true;
}

void Reader::appendName(std::string& out, const QName& name) const {
  const std::string& prefix = store_[name.prefix];
  const std::string& local = store_[name.local];
  out += prefix;
  if (!prefix.empty() && !local.empty()) out += ':';
  out += local;
}

// Namespace declarations are attributes named (no namespace, "xmlns" or
// "xmlns:p", no local name); the form prefix "xmlns", local "p" is read too.
std::optional<std::string> Reader::declaredPrefix(const QName& name) const {
  const std::string& prefix = store_[name.prefix];
  const std::string& local = store_[name.local];
  if (prefix == "xmlns") return local;
  if (local.empty() && store_[name.ns].empty() && prefix.starts_with("xmlns:") && prefix.size() > 6) {
    return prefix.substr(6);
  }
  return std::nullopt;
}

bool Reader::element() {
  if (!beginContent(true)) return false;
  QName name;
  if (!readQName(name)) return false;
  if (store_[name.local].empty()) return fail("element without a local name");
  tagPrefixes_.clear();
  attributeNames_.clear();
  if (!tagPrefixes_.use(store_[name.prefix], store_[name.ns], false)) return fail("element breaks a namespace rule");
  open_.push_back({name, scope_.mark()});
  out_ += '<';
  appendName(out_, name);
  place_ = Place::kStartTag;
  return true;
}

bool Reader::attribute() {
  if (place_ == Place::kAttributes) {
    if (!finishAttribute()) return false;
  } else if (place_ != Place::kStartTag) {
    return fail("attribute outside a start tag");
  }
  QName name;
  if (!readQName(name)) return false;
  attributeDeclares_ = declaredPrefix(name);
  if (!attributeDeclares_) {
    const std::string& prefix = store_[name.prefix];
    if (store_[name.local].empty()) return fail("attribute without a local name");
    // An attribute without a prefix is in no namespace.
    const bool good = prefix.empty() ? store_[name.ns].empty() : tagPrefixes_.use(prefix, store_[name.ns], false);
    if (!good) return fail("attribute breaks a namespace rule");
  }
  scratch_.clear();
  appendName(scratch_, name);
  if (!attributeNames_.insert(scratch_).second) return fail("attribute given twice in one start tag");
  attribute_ = name;
  attributeValue_.clear();
  attributeValueCount_ = 0;
  place_ = Place::kAttributes;
  return true;
}

bool Reader::finishAttribute() {
  if (attributeDeclares_) {
    if (attributeValueCount_ > 1) return fail("namespace declaration with more than one value");
    if (!tagPrefixes_.use(*attributeDeclares_, attributeValue_, true)) return fail("namespace declaration breaks a namespace rule");
    scope_.bind(*attributeDeclares_, attributeValue_);
  }
  out_ += ' ';
  appendName(out_, attribute_);
  out_ += "=\"";
  appendEscaped(out_, attributeValue_, Escape::kAttribute);
  out_ += '"';
  return true;
}

// The '>' waits for content: an element without any becomes <name/>.
bool Reader::sealStartTag() {
  if (place_ == Place::kAttributes && !finishAttribute()) return false;
  tagPrefixes_.declareMissing(scope_, out_);
  place_ = Place::kContent;
  startTagOpen_ = true;
  return true;
}

bool Reader::endElement() {
  if (open_.size() <= documents_.back().elementBase) return fail("end of an element that is not open");
  if (place_ == Place::kAttributes) return fail("element ends inside its attribute list");
  if (place_ == Place::kStartTag && !sealStartTag()) return false;
  const OpenElement closed = open_.back();
  open_.pop_back();
  if (startTagOpen_) {
    out_ += "/>";
    startTagOpen_ = false;
  } else {
    out_ += "</";
    appendName(out_, closed.name);
    out_ += '>';
  }
  scope_.unwindTo(closed.scopeMark);
  return true;
}

bool Reader::comment() {
  if (!beginContent(false)) return false;
  auto text = cursor_.textData();
  if (!text) return fail("comment cut short");
  out_ += "<!--";
  appendUtf16(out_, *text);
  out_ += "-->";
  return true;
}

bool Reader::processingInstruction() {
  if (!beginContent(false)) return false;
  std::uint32_t target = 0;
  if (!readName(target)) return false;
  if (store_[target].empty()) return fail("processing instruction without a target");
  auto text = cursor_.textData();
  if (!text) return fail("processing instruction cut short");
  out_ += "<?";
  out_ += store_[target];
  if (!text->empty()) {
    out_ += ' ';
    appendUtf16(out_, *text);
  }
  out_ += "?>";
  return true;
}

bool Reader::nest() {
  if (!beginContent(true) || !header()) return false;
  Document nested;
  nested.elementBase = open_.size();
  documents_.push_back(std::move(nested));
  return true;
}

bool Reader::endNest() {
  if (topLevel()) return fail("end of a nested document that is not open");
  if (open_.size() != documents_.back().elementBase) return fail("nested document ends inside an element");
  documents_.pop_back();
  return true;
}

bool Reader::value(std::uint8_t t) {
  scratch_.clear();
  if (t == kXsdQName) {
    QName name;
    if (!readQName(name)) return false;
    appendName(scratch_, name);
  } else if (!appendAtomicValue(t, cursor_, scratch_)) {
    return fail("typed value cut short or malformed");
  }
  if (place_ == Place::kAttributes) {
    attributeValue_ += scratch_;
    ++attributeValueCount_;
    return true;
  }
  if (!beginContent(true)) return false;
  appendEscaped(out_, scratch_, Escape::kContent);
  return true;
}

}  // namespace

ReadResult readBinaryXml(ByteView bytes) { return Reader(bytes).run(); }

}  // namespace sorbel::binxml
