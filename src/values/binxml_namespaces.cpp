// Tracks the namespace prefixes in scope while binary xml is written as text.
#include "values/binxml_namespaces.h"

#include "values/binxml_text.h"

namespace sorbel::binxml {

NamespaceScope::NamespaceScope() { bindings_["xml"].emplace_back(kXmlNamespace); }

const std::string* NamespaceScope::lookup(const std::string& prefix) const {
  auto it = bindings_.find(prefix);
  if (it == bindings_.end() || it->second.empty()) return nullptr;
  return &it->second.back();
}

void NamespaceScope::bind(const std::string& prefix, const std::string& uri) {
  bindings_[prefix].push_back(uri);
  undo_.push_back(prefix);
}

void NamespaceScope::unwindTo(std::size_t mark) {
  while (undo_.size() > mark) {
    bindings_[undo_.back()].pop_back();
    undo_.pop_back();
  }
}

void StartTagPrefixes::clear() {
  uses_.clear();
  byPrefix_.clear();
}

bool StartTagPrefixes::use(const std::string& prefix, const std::string& uri, bool declared) {
  if (prefix == "xmlns") return false;
  if ((prefix == "xml") != (uri == kXmlNamespace)) return false;
  if (!prefix.empty() && uri.empty()) return false;
  auto [it, added] = byPrefix_.try_emplace(prefix, uses_.size());
  if (added) {
    uses_.push_back({prefix, uri, declared});
    return true;
  }
  Use& known = uses_[it->second];
  known.declared = known.declared || declared;
  return known.uri == uri;
}

void StartTagPrefixes::declareMissing(NamespaceScope& scope, std::string& out) const {
  for (const Use& use : uses_) {
    if (use.declared) continue;
    const std::string* bound = scope.lookup(use.prefix);
    const bool inScope = bound ? *bound == use.uri : use.uri.empty();
    if (inScope) continue;
    out += use.prefix.empty() ? " xmlns" : " xmlns:" + use.prefix;
    out += "=\"";
    appendEscaped(out, use.uri, Escape::kAttribute);
    out += '"';
    scope.bind(use.prefix, use.uri);
  }
}

}  // namespace sorbel::binxml
