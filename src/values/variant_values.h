// Renders sql_variant values by the base type stored in front of them.
#pragma once

#include <cstdint>
#include <string>

#include "base/byte_view.h"
#include "values/value_rendering.h"

namespace sorbel {

// The text of a stored sql_variant value of `length` bytes (base type id,
// version byte, the base type's properties, then the value). Character values
// are read in the code page of their stored collation as state resolves it
// (without state: the default code page); binary values show as hex digits.
// Empty when the length does not suit the base type or the base type is
// unknown.
// Sets `type.declaredSize` to 0, or to the payload length of a numeric value.
// Precision and scale of decimal values come from the stored value, never
// from the column.
std::string renderVariant(ByteView value, std::int32_t length, TypeDescriptor& type,
                          const AppState* state = nullptr);

}  // namespace sorbel
