// Standard output that says when it could not be written: a full disk or a
// reader that went away fails the run instead of ending it with 0.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// Writes `text` to standard output at once, all of it; false, with the
// reason kept for OutputError, when it could not. After one failure nothing
// more is written.
bool Print(std::string_view text);

// Why standard output failed ("No space left on device"); empty when it has not.
[[nodiscard]] std::string OutputError();

} // namespace cli
