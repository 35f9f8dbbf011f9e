// The atomic values of binary xml, written in their XML Schema lexical forms.
#pragma once

#include <cstdint>
#include <string>

#include "values/binxml_cursor.h"

namespace sorbel::binxml {

// True for the tokens appendAtomicValue reads (every atomic value token but
// XSD-QNAME, whose text comes from the name tables).
bool isAtomicValueToken(std::uint8_t token);

// Reads the payload of an atomic value token at the cursor and appends its
// text as UTF-8, not yet escaped. False when the payload is cut short or
// breaks a rule of the format; the cursor has then moved by an unknown amount.
bool appendAtomicValue(std::uint8_t token, Cursor& cursor, std::string& out);

}  // namespace sorbel::binxml
