// The long help of each sorbel command: what `sorbel help COMMAND` prints after the synopsis.
#pragma once

#include <string_view>

namespace sorbel::cli {

// The paragraphs describing the command's output, options and exit codes;
// nullptr for a name that is no command.
const char* commandDetails(std::string_view name);

}  // namespace sorbel::cli
