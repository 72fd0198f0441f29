// Pointing a link at a new target without a moment in which it is missing.
#pragma once

#include <filesystem>
#include <string>

namespace devices {

// Makes `link` point at `target`, replacing whatever link is there by a
// rename, so that a reader finds the old target or the new one, never
// nothing. Returns 0 or the errno; on failure `link` is as it was.
[[nodiscard]] int ReplaceLink(const std::string &target, const std::filesystem::path &link);

} // namespace devices
