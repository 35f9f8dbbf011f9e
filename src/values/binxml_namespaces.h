// Namespace bookkeeping of the binary xml decoder: prefixes in scope and the prefixes of one start tag.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace sorbel::binxml {

inline constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// Prefix bindings made by the xmlns attributes of the open elements; shared
// by nested documents, which keep the namespace scope of their parent.
class NamespaceScope {
 public:
  NamespaceScope();

  // The URI the prefix ("" for the default namespace) is bound to, or
  // nullptr when nothing binds it.
  const std::string* lookup(const std::string& prefix) const;
  void bind(const std::string& prefix, const std::string& uri);
  // The bindings made so far; unwindTo drops everything bound after it.
  std::size_t mark() const { return undo_.size(); }
  void unwindTo(std::size_t mark);

 private:
  std::unordered_map<std::string, std::vector<std::string>> bindings_;
  std::vector<std::string> undo_;
};

// The prefix-to-namespace pairs one start tag uses (by its element and
// attribute names) and declares (by its xmlns attributes).
class StartTagPrefixes {
 public:
  void clear();

  // Records a pair; false when it breaks a rule of namespaces in XML: a
  // prefix bound to two namespaces in one start tag, a prefix bound to no
  // namespace, a reserved prefix used or rebound.
  bool use(const std::string& prefix, const std::string& uri, bool declared);

  // Binary xml may leave a prefix undeclared; a text reader needs the
  // declaration, so each used pair that the scope does not already bind is
  // written as an xmlns attribute and bound.
  void declareMissing(NamespaceScope& scope, std::string& out) const;

 private:
  struct Use {
    std::string prefix;
    std::string uri;
    bool declared;
  };
  std::vector<Use> uses_;
  std::unordered_map<std::string, std::size_t> byPrefix_;
};

}  // namespace sorbel::binxml
