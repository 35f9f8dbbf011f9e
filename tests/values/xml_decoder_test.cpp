// The binary xml decoder: document structure, names and namespaces, malformed input, and the chunk entry point.
#include "values/xml_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "binxml_builder.h"
#include "values/binxml_reader.h"

namespace sorbel {
namespace {

using testing::BinXmlBuilder;
using Bytes = std::vector<std::uint8_t>;

std::string decode(const Bytes& bytes) { return decodeXmlBytes(ByteView(bytes)); }

// MS-BINXML's two worked examples, byte for byte.
TEST(XmlDecoder, workedExamplesOfTheFormatDocument) {
  const Bytes document = {
      0xDF, 0xFF, 0x01, 0xB0, 0x04,                                   // header
      0xF0, 0x04, 'r', 0, 'o', 0, 'o', 0, 't', 0,                     // name 1 "root"
      0xEF, 0x00, 0x00, 0x01,                                         // qname 1
      0xF8, 0x01,                                                     // <root>
      0x11, 0x02, '\n', 0, '\t', 0,                                   // text
      0xF0, 0x02, 'p', 0, 'i', 0,                                     // name 2 "pi"
      0xF4, 0x02, 0x04, 't', 0, 'e', 0, 'x', 0, 't', 0,               // <?pi text?>
      0x11, 0x02, '\n', 0, '\t', 0,                                   // text
      0xF3, 0x07, 'c', 0, 'o', 0, 'm', 0, 'm', 0, 'e', 0, 'n', 0, 't', 0,  // comment
      0x11, 0x01, '\n', 0,                                            // text
      0xF7};                                                          // </root>
  EXPECT_EQ(decode(document), "<root>\n\t<?pi text?>\n\t<!--comment-->\n</root>");

  const Bytes names = {
      0xDF, 0xFF, 0x01, 0xB0, 0x04,                                            // header
      0xF0, 0x02, 'n', 0, 's', 0,                                              // name 1
      0xF0, 0x06, 'p', 0, 'r', 0, 'e', 0, 'f', 0, 'i', 0, 'x', 0,              // name 2
      0xF0, 0x09, 'l', 0, 'o', 0, 'c', 0, 'a', 0, 'l', 0, 'N', 0, 'a', 0, 'm', 0, 'e', 0,  // name 3
      0xEF, 0x01, 0x02, 0x03,                                                  // qname 1
      0xF8, 0x01,                                                              // element
      0xF0, 0x0C, 'x', 0, 'm', 0, 'l', 0, 'n', 0, 's', 0, ':', 0, 'p', 0, 'r', 0, 'e', 0, 'f', 0, 'i', 0, 'x', 0,
      0xEF, 0x00, 0x04, 0x00,                                                  // qname 2
      0xF6, 0x02, 0x11, 0x02, 'n', 0, 's', 0,                                  // xmlns:prefix="ns"
      0xF5, 0xF7};
  EXPECT_EQ(decode(names), "<prefix:localName xmlns:prefix=\"ns\"/>");
}

struct StructureCase {
  const char* what;
  std::function<void(BinXmlBuilder&)> build;
  std::string text;
};

const std::vector<StructureCase> kStructures = {
    {"a header alone is an empty document", [](BinXmlBuilder&) {}, ""},
    {"version 0 reads as version 1", [](BinXmlBuilder& b) { b = BinXmlBuilder(0); b.element(b.defineLocal(u"a")).endElement(); }, "<a/>"},
    {"element without content", [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).endElement(); }, "<a/>"},
    {"attributes and no content",
     [](BinXmlBuilder& b) {
       const auto e = b.defineLocal(u"e"), x = b.defineLocal(u"x"), y = b.defineLocal(u"y");
       b.element(e).attribute(x).raw({0x02, 1, 0, 0, 0}).attribute(y).nvarchar(u"v").endAttributes().endElement();
     },
     "<e x=\"1\" y=\"v\"/>"},
    {"an attribute without a value is empty",
     [](BinXmlBuilder& b) {
       const auto e = b.defineLocal(u"e"), x = b.defineLocal(u"x");
       b.element(e).attribute(x).endAttributes().nvarchar(u"t").endElement();
     },
     "<e x=\"\">t</e>"},
    {"nested elements and text",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(u"a"), c = b.defineLocal(u"c");
       b.element(a).element(c).endElement().element(c).nvarchar(u"t").endElement().endElement();
     },
     "<a><c/><c>t</c></a>"},
    {"an empty value is content", [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).nvarchar(u"").endElement(); }, "<a></a>"},
    {"content escapes & < > and CR only",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).nvarchar(u"1&2<3>4\"5'6\r7\n8\t9").endElement(); },
     "<a>1&amp;2&lt;3&gt;4\"5'6&#xD;7\n8\t9</a>"},
    {"attribute values escape quotes and white space",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(u"a"), x = b.defineLocal(u"x");
       b.element(a).attribute(x).nvarchar(u"1&2<3>4\"5'6\r7\n8\t9").endAttributes().endElement();
     },
     "<a x=\"1&amp;2&lt;3&gt;4&quot;5'6&#xD;7&#xA;8&#x9;9\"/>"},
    {"control characters become references",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).nvarchar(u"x\x01y\x1Fz").endElement(); },
     "<a>x&#x1;y&#x1F;z</a>"},
    {"names and text outside ASCII",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"\u0394")).nvarchar(u"\u20AC\U0001F600").endElement(); },
     "<\xCE\x94>\xE2\x82\xAC\xF0\x9F\x98\x80</\xCE\x94>"},
    {"comment and processing instructions",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(u"a");
       const auto t = b.defineName(u"t");
       b.element(a).comment(u"c&<").pi(t, u"d").pi(t, u"").endElement();
     },
     "<a><!--c&<--><?t d?><?t?></a>"},
    {"CDATA chunks form one section",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).cdata(u"x<&").cdata(u"y").cdataEnd().endElement(); },
     "<a><![CDATA[x<&y]]></a>"},
    {"CDATA holding its own end marker is split",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).cdata(u"p]]").cdata(u">q").cdataEnd().endElement(); },
     "<a><![CDATA[p]]]]><![CDATA[>q]]></a>"},
    {"XML declaration with encoding and standalone",
     [](BinXmlBuilder& b) {
       b.raw({0xFE}).text(u"1.0").raw({0xFD}).text(u"utf-8").raw({0x01});
       b.element(b.defineLocal(u"a")).endElement();
     },
     "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?><a/>"},
    {"XML declaration with version only",
     [](BinXmlBuilder& b) { b.raw({0xFE}).text(u"1.0").raw({0x00}); }, "<?xml version=\"1.0\"?>"},
    {"XML declaration standalone no",
     [](BinXmlBuilder& b) { b.raw({0xFE}).text(u"1.0").raw({0x02}); }, "<?xml version=\"1.0\" standalone=\"no\"?>"},
    {"document type with SYSTEM id",
     [](BinXmlBuilder& b) {
       b.raw({0xFC}).text(u"r").raw({0xFB}).text(u"r.dtd");
       b.element(b.defineLocal(u"r")).endElement();
     },
     "<!DOCTYPE r SYSTEM \"r.dtd\"><r/>"},
    {"document type with every part",
     [](BinXmlBuilder& b) {
       b.raw({0xFC}).text(u"r").raw({0xFB}).text(u"s").raw({0xFA}).text(u"p").raw({0xF9}).text(u"<!ENTITY e \"x\">");
     },
     "<!DOCTYPE r PUBLIC \"p\" \"s\" [<!ENTITY e \"x\">]>"},
    {"comments and instructions around the root",
     [](BinXmlBuilder& b) {
       const auto t = b.defineName(u"t");
       b.comment(u"before").pi(t, u"x");
       b.raw({0xFC}).text(u"r");
       b.element(b.defineLocal(u"r")).endElement().comment(u"after");
     },
     "<!--before--><?t x?><!DOCTYPE r><r/><!--after-->"},
    {"fragments: several roots and text",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(u"a");
       b.element(a).endElement().nvarchar(u"t").element(a).endElement();
     },
     "<a/>t<a/>"},
    {"adjacent values are joined",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).nvarchar(u"x").raw({0x06, 0x01}).nvarchar(u"z").endElement(); },
     "<a>x1z</a>"},
    {"metadata around an attribute and its value",
     [](BinXmlBuilder& b) {
       const auto e = b.defineLocal(u"e");
       b.element(e);
       const auto x = b.defineLocal(u"x");
       b.attribute(x);
       const auto y = b.defineLocal(u"y");
       b.nvarchar(u"1").raw({0xEA, 0x02, 0xAA, 0xBB});
       b.attribute(y).raw({0xE9}).endAttributes();
       b.raw({0xEA, 0x00}).endElement();
     },
     "<e x=\"1\" y=\"\"/>"},
    {"names are redefined from 1 after a flush; open elements keep theirs",
     [](BinXmlBuilder& b) {
       b.element(b.defineLocal(u"a")).flush();
       b.element(b.defineLocal(u"b")).endElement().endElement();
     },
     "<a><b/></a>"},
    {"a nested document has its own names; the parent's continue after it",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(u"a");
       b.element(a).nest();
       b.raw({0xFE}).text(u"1.0").raw({0x00});  // a nested declaration is not written
       b.element(b.defineLocal(u"n")).endElement().endNest();
       b.element(a).endElement().endElement();
     },
     "<a><n/><a/></a>"},
    {"nested documents nest",
     [](BinXmlBuilder& b) {
       b.nest().nest(2);
       b.element(b.defineLocal(u"deep")).raw({0x7F, 0x17, 0x30, 0x0B}).endElement();
       b.endNest().endNest();
     },
     "<deep>2008-06-15</deep>"},
    {"default namespace declared once",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"urn:x"), xmlns = b.defineName(u"xmlns");
       const auto a = b.defineQName(uri, 0, b.defineName(u"a"));
       const auto decl = b.defineQName(0, xmlns, 0);
       const auto c = b.defineQName(uri, 0, b.defineName(u"c"));
       b.element(a).attribute(decl).nvarchar(u"urn:x").endAttributes().element(c).endElement().endElement();
     },
     "<a xmlns=\"urn:x\"><c/></a>"},
    {"an undeclared prefix is declared once, where it is first used",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"urn:p"), p = b.defineName(u"p");
       const auto a = b.defineQName(uri, p, b.defineName(u"a"));
       const auto c = b.defineQName(uri, p, b.defineName(u"c"));
       b.element(a).element(c).endElement().endElement().element(c).endElement();
     },
     "<p:a xmlns:p=\"urn:p\"><p:c/></p:a><p:c xmlns:p=\"urn:p\"/>"},
    {"a prefixed attribute gets its declaration after the attributes",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"urn:p"), p = b.defineName(u"p");
       const auto a = b.defineLocal(u"a");
       const auto x = b.defineQName(uri, p, b.defineName(u"x"));
       b.element(a).attribute(x).nvarchar(u"1").endAttributes().endElement();
     },
     "<a p:x=\"1\" xmlns:p=\"urn:p\"/>"},
    {"the xml prefix needs no declaration",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"http://www.w3.org/XML/1998/namespace"), xml = b.defineName(u"xml");
       const auto lang = b.defineQName(uri, xml, b.defineName(u"lang"));
       b.element(b.defineLocal(u"a")).attribute(lang).nvarchar(u"en").endAttributes().endElement();
     },
     "<a xml:lang=\"en\"/>"},
    {"an element in no namespace under a default namespace undeclares it",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"urn:x");
       const auto a = b.defineQName(uri, 0, b.defineName(u"a"));
       b.element(a).element(b.defineLocal(u"c")).endElement().endElement();
     },
     "<a xmlns=\"urn:x\"><c xmlns=\"\"/></a>"},
    {"a nested document shares the namespaces in scope",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"urn:p"), p = b.defineName(u"p");
       b.element(b.defineQName(uri, p, b.defineName(u"a"))).nest();
       const auto uri2 = b.defineName(u"urn:p"), p2 = b.defineName(u"p");
       b.element(b.defineQName(uri2, p2, b.defineName(u"n"))).endElement().endNest().endElement();
     },
     "<p:a xmlns:p=\"urn:p\"><p:n/></p:a>"},
    {"declarations go out of scope with their element",
     [](BinXmlBuilder& b) {
       const auto uri = b.defineName(u"urn:p"), p = b.defineName(u"p");
       const auto x = b.defineQName(uri, p, b.defineName(u"x"));
       const auto a = b.defineLocal(u"a");
       b.element(a).element(x).endElement().element(x).endElement().endElement();
     },
     "<a><p:x xmlns:p=\"urn:p\"/><p:x xmlns:p=\"urn:p\"/></a>"},
    {"xsd qname value",
     [](BinXmlBuilder& b) {
       const auto q = b.defineQName(b.defineName(u"urn:p"), b.defineName(u"p"), b.defineName(u"local"));
       b.element(b.defineLocal(u"a")).raw({0x8C}).mb(q).endElement();
     },
     "<a>p:local</a>"},
};

TEST(XmlDecoder, structuresDecodeToTheirText) {
  for (const auto& c : kStructures) {
    BinXmlBuilder b;
    c.build(b);
    const auto result = binxml::readBinaryXml(ByteView(b.bytes()));
    EXPECT_EQ(result.error, "") << c.what;
    EXPECT_EQ(result.text, c.text) << c.what;
  }
}

struct MalformedCase {
  const char* what;
  std::function<void(BinXmlBuilder&)> build;
};

// A document with a root element <r> (qname 1) and a name "t" (name 2).
void rootOpen(BinXmlBuilder& b) {
  b.element(b.defineLocal(u"r"));
  b.defineName(u"t");
}

const std::vector<MalformedCase> kMalformed = {
    {"version 3", [](BinXmlBuilder& b) { b = BinXmlBuilder(3); }},
    {"qname beyond the table", [](BinXmlBuilder& b) { b.element(1).endElement(); }},
    {"qname 0", [](BinXmlBuilder& b) { b.defineLocal(u"a"); b.element(0).endElement(); }},
    {"undefined name in a qname definition", [](BinXmlBuilder& b) { b.defineQName(0, 0, 1); }},
    {"undefined processing instruction target", [](BinXmlBuilder& b) { b.pi(1, u"x"); }},
    {"empty processing instruction target", [](BinXmlBuilder& b) { b.pi(0, u"x"); }},
    {"qname used after a flush", [](BinXmlBuilder& b) { b.defineLocal(u"a"); b.flush(); b.element(1).endElement(); }},
    {"parent's qname inside a nested document",
     [](BinXmlBuilder& b) { b.element(b.defineLocal(u"a")).nest(); b.element(1).endElement().endNest().endElement(); }},
    {"mb32 of six bytes", [](BinXmlBuilder& b) { b.defineLocal(u"a"); b.raw({0xF8, 0x81, 0x80, 0x80, 0x80, 0x80, 0x00, 0xF7}); }},
    {"mb32 of 2^31", [](BinXmlBuilder& b) { b.defineLocal(u"a"); b.raw({0xF8, 0x80, 0x80, 0x80, 0x80, 0x08, 0xF7}); }},
    {"mb32 of 2^32 + 1", [](BinXmlBuilder& b) { b.defineLocal(u"a"); b.raw({0xF8, 0x81, 0x80, 0x80, 0x80, 0x10, 0xF7}); }},
    {"end of element with none open", [](BinXmlBuilder& b) { b.endElement(); }},
    {"end of element after the root closed", [](BinXmlBuilder& b) { rootOpen(b); b.endElement().endElement(); }},
    {"end of attributes without an attribute", [](BinXmlBuilder& b) { rootOpen(b); b.endAttributes().endElement(); }},
    {"attribute at root level", [](BinXmlBuilder& b) { b.defineLocal(u"a"); b.attribute(1); }},
    {"attribute in content", [](BinXmlBuilder& b) { rootOpen(b); b.nvarchar(u"x").attribute(1).endAttributes().endElement(); }},
    {"end of element before the end of attributes", [](BinXmlBuilder& b) { rootOpen(b); b.attribute(1).nvarchar(u"x").endElement(); }},
    {"content inside the attribute list", [](BinXmlBuilder& b) { rootOpen(b); b.attribute(1).comment(u"c").endAttributes().endElement(); }},
    {"attribute given twice", [](BinXmlBuilder& b) { rootOpen(b); b.attribute(1).attribute(1).endAttributes().endElement(); }},
    {"CDATA closed by an end of element", [](BinXmlBuilder& b) { rootOpen(b); b.cdata(u"x").endElement(); }},
    {"metadata between CDATA chunks", [](BinXmlBuilder& b) { rootOpen(b); b.cdata(u"x"); b.defineName(u"n"); b.cdata(u"y").cdataEnd().endElement(); }},
    {"end of CDATA without CDATA", [](BinXmlBuilder& b) { rootOpen(b); b.cdataEnd().endElement(); }},
    {"end of a nested document that is not open", [](BinXmlBuilder& b) { b.endNest(); }},
    {"nested document with a bad signature", [](BinXmlBuilder& b) { rootOpen(b); b.raw({0xEC, 0xDF, 0xFE, 0x01, 0xB0, 0x04, 0xEB}).endElement(); }},
    {"nested document ends inside an element",
     [](BinXmlBuilder& b) { rootOpen(b); b.nest(); b.element(b.defineLocal(u"n")).endNest().endElement().endElement(); }},
    {"nested document closes its parent's element", [](BinXmlBuilder& b) { rootOpen(b); b.nest().endElement().endNest(); }},
    {"byte 0x15 is no token", [](BinXmlBuilder& b) { rootOpen(b); b.raw({0x15}).endElement(); }},
    {"byte 0xED is no token", [](BinXmlBuilder& b) { rootOpen(b); b.raw({0xED, 0x01, 'x', 0}).endElement(); }},
    {"byte 0x00 after the root", [](BinXmlBuilder& b) { rootOpen(b); b.endElement().raw({0x00}); }},
    {"XML declaration in content", [](BinXmlBuilder& b) { rootOpen(b); b.raw({0xFE}).text(u"1.0").raw({0x00}).endElement(); }},
    {"XML declaration after a comment", [](BinXmlBuilder& b) { b.comment(u"c").raw({0xFE}).text(u"1.0").raw({0x00}); }},
    {"XML declaration with standalone 3", [](BinXmlBuilder& b) { b.raw({0xFE}).text(u"1.0").raw({0x03}); }},
    {"two document types", [](BinXmlBuilder& b) { b.raw({0xFC}).text(u"r").raw({0xFC}).text(u"r"); }},
    {"document type after the root", [](BinXmlBuilder& b) { rootOpen(b); b.endElement().raw({0xFC}).text(u"r"); }},
    {"text length of 2^31 - 1 characters", [](BinXmlBuilder& b) { rootOpen(b); b.raw({0x0E}).mb(0x7FFFFFFF).raw({'a', 0}).endElement(); }},
    {"name length of 2^31 - 1 characters", [](BinXmlBuilder& b) { b.raw({0xF0}).mb(0x7FFFFFFF).raw({'a', 0}); }},
    {"extension of 2^31 - 1 bytes", [](BinXmlBuilder& b) { b.raw({0xEA}).mb(0x7FFFFFFF).raw({1, 2, 3}); }},
    {"prefix bound to two namespaces in one element",
     [](BinXmlBuilder& b) {
       const auto p = b.defineName(u"p");
       const auto a = b.defineQName(b.defineName(u"urn:1"), p, b.defineName(u"a"));
       const auto x = b.defineQName(b.defineName(u"urn:2"), p, b.defineName(u"x"));
       b.element(a).attribute(x).endAttributes().endElement();
     }},
    {"declaration that contradicts the element's prefix",
     [](BinXmlBuilder& b) {
       const auto p = b.defineName(u"p");
       const auto a = b.defineQName(b.defineName(u"urn:1"), p, b.defineName(u"a"));
       const auto decl = b.defineQName(0, b.defineName(u"xmlns:p"), 0);
       b.element(a).attribute(decl).nvarchar(u"urn:2").endAttributes().endElement();
     }},
    {"prefix bound to no namespace",
     [](BinXmlBuilder& b) { b.element(b.defineQName(0, b.defineName(u"p"), b.defineName(u"a"))).endElement(); }},
    {"prefix declared as the empty namespace",
     [](BinXmlBuilder& b) {
       const auto decl = b.defineQName(0, b.defineName(u"xmlns:p"), 0);
       b.element(b.defineLocal(u"a")).attribute(decl).nvarchar(u"").endAttributes().endElement();
     }},
    {"attribute without prefix in a namespace",
     [](BinXmlBuilder& b) {
       const auto x = b.defineQName(b.defineName(u"urn:1"), 0, b.defineName(u"x"));
       b.element(b.defineLocal(u"a")).attribute(x).endAttributes().endElement();
     }},
    {"namespace declaration with two values",
     [](BinXmlBuilder& b) {
       const auto decl = b.defineQName(0, b.defineName(u"xmlns:p"), 0);
       b.element(b.defineLocal(u"a")).attribute(decl).nvarchar(u"urn:").nvarchar(u"x").endAttributes().endElement();
     }},
    {"element without a local name", [](BinXmlBuilder& b) { b.element(b.defineQName(0, 0, 0)).endElement(); }},
    {"input ends inside an element", [](BinXmlBuilder& b) { rootOpen(b); }},
    {"input ends inside a nested document", [](BinXmlBuilder& b) { b.nest(); }},
    {"input ends with 100000 elements open",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(u"a");
       for (int i = 0; i < 100000; ++i) b.element(a);
     }},
    {"names repeated until the text passes its limit",
     [](BinXmlBuilder& b) {
       const auto a = b.defineLocal(std::u16string(20000, u'n'));
       for (int i = 0; i < 100000; ++i) b.element(a).endElement();
     }},
};

TEST(XmlDecoder, malformedInputGivesEmptyTextAndAReason) {
  for (const auto& c : kMalformed) {
    BinXmlBuilder b;
    c.build(b);
    const auto result = binxml::readBinaryXml(ByteView(b.bytes()));
    EXPECT_FALSE(result.ok()) << c.what;
    EXPECT_EQ(result.text, "") << c.what;
    EXPECT_EQ(decode(b.bytes()), "") << c.what;
  }
}

TEST(XmlDecoder, aBadHeaderIsMalformed) {
  const Bytes textXml = {0xFF, 0xFE, '<', 0, 'a', 0, '/', 0, '>', 0};  // what CAST(xml AS varbinary) gives
  const Bytes utf8 = {0xDF, 0xFF, 0x01, 0xE9, 0xFD};                   // encoding other than UTF-16
  for (const Bytes& bytes : {Bytes{}, Bytes{0xDF}, Bytes{0xDF, 0xFF, 0x01, 0xB0}, Bytes{0xFF, 0xDF, 0x01, 0xB0, 0x04}, textXml, utf8}) {
    EXPECT_FALSE(binxml::readBinaryXml(ByteView(bytes)).ok()) << bytes.size() << " bytes";
  }
}

// A document that holds every structure token inside one root element.
struct RichDocument {
  Bytes bytes;
  std::size_t rootStart = 0;  // where the root's element token is
};

RichDocument richDocumentWithRoot() {
  BinXmlBuilder b(2);
  const auto uri = b.defineName(u"urn:p"), p = b.defineName(u"p");
  const auto root = b.defineQName(uri, p, b.defineName(u"root"));
  const auto decl = b.defineQName(0, b.defineName(u"xmlns:p"), 0);
  const auto x = b.defineLocal(u"x");
  const auto target = b.defineName(u"t");
  const std::size_t rootStart = b.bytes().size();
  b.element(root).attribute(decl).nvarchar(u"urn:p").attribute(x).raw({0x02, 7, 0, 0, 0}).endAttributes();
  b.nvarchar(u"text & more").comment(u"c").pi(target, u"d").cdata(u"a").cdata(u"b").cdataEnd();
  b.raw({0xEA, 0x01, 0x00});
  b.nest();
  b.element(b.defineLocal(u"n")).raw({0x0A, 0x07, 0x06, 0x04, 0x01, 0x5E, 0x0D, 0x03, 0x00}).endElement();
  b.endNest();
  b.flush();
  b.element(b.defineLocal(u"f")).raw({0x7E, 0x00, 0xA8, 0x93, 0x00, 0x17, 0x30, 0x0B}).endElement();
  b.endElement();
  return {b.bytes(), rootStart};
}

Bytes richDocument() { return richDocumentWithRoot().bytes; }

constexpr const char* kRichText =
    "<p:root xmlns:p=\"urn:p\" x=\"7\">text &amp; more<!--c--><?t d?><![CDATA[ab]]><n>20.0030</n>"
    "<f>2008-06-15T10:30:00</f></p:root>";

TEST(XmlDecoder, everyCutInsideTheRootIsMalformed) {
  const auto [document, rootStart] = richDocumentWithRoot();
  ASSERT_EQ(decode(document), kRichText);
  for (std::size_t keep = rootStart + 1; keep < document.size(); ++keep) {
    const auto result = binxml::readBinaryXml(ByteView(document.data(), keep));
    EXPECT_FALSE(result.ok()) << "cut to " << keep;
  }
}

// Chunks as the large-object reader hands them over.
ByteChunk chunkOf(const Bytes& bytes, std::size_t from, std::size_t length) {
  ByteChunk chunk;
  chunk.length = static_cast<std::int32_t>(length);
  chunk.bytes = std::make_unique<std::uint8_t[]>(length);
  std::memcpy(chunk.bytes.get(), bytes.data() + from, length);
  return chunk;
}

ByteChunkList split(const Bytes& bytes, std::size_t size) {
  ByteChunkList chunks;
  for (std::size_t from = 0; from < bytes.size(); from += size) {
    chunks.push_back(chunkOf(bytes, from, std::min(size, bytes.size() - from)));
  }
  return chunks;
}

TEST(XmlDecoderChunks, chunksDecodeAsTheWholeValueAndAreConsumed) {
  const Bytes document = richDocument();
  for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{8}, document.size()}) {
    ByteChunkList chunks = split(document, size);
    std::vector<std::int32_t> lengths;
    for (const auto& chunk : chunks) lengths.push_back(chunk.length);
    EXPECT_EQ(decodeXmlChunks(chunks), kRichText) << "chunks of " << size;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      EXPECT_EQ(chunks[i].bytes, nullptr);
      EXPECT_EQ(chunks[i].length, lengths[i]);
    }
  }
}

TEST(XmlDecoderChunks, chunksWithoutBytesOrWithANegativeLengthArePassedOver) {
  const Bytes document = richDocument();
  const std::size_t half = document.size() / 2;
  ByteChunkList chunks;
  chunks.push_back(chunkOf(document, 0, half));
  chunks.push_back(ByteChunk{40, nullptr});
  chunks.push_back(chunkOf(document, 0, 4));
  chunks.back().length = -4;
  chunks.push_back(chunkOf(document, half, document.size() - half));
  EXPECT_EQ(decodeXmlChunks(chunks), kRichText);
  for (const auto& chunk : chunks) EXPECT_EQ(chunk.bytes, nullptr);
  EXPECT_EQ(chunks[1].length, 40);
  EXPECT_EQ(chunks[2].length, -4);
}

TEST(XmlDecoderChunks, malformedOrEmptyListsGiveEmptyTextAndAreStillConsumed) {
  ByteChunkList none;
  EXPECT_EQ(decodeXmlChunks(none), "");

  const Bytes document = richDocument();
  ByteChunkList cut = split(Bytes(document.begin(), document.end() - 1), 16);
  EXPECT_EQ(decodeXmlChunks(cut), "");
  for (const auto& chunk : cut) EXPECT_EQ(chunk.bytes, nullptr);
}

}  // namespace
}  // namespace sorbel
