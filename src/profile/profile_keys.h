// The keys of a profile, the values each allows, and the commented template
// that lists them.
#pragma once

#include "answers.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

struct ProfileKey {
    std::string_view name;
    std::vector<std::string_view> allowed; // empty: an address, judged once typed into its row
    std::string_view example;              // the window's own answer where it has one
    std::string_view meaning;
    std::optional<Row> row {};    // the address row it fills
    std::string_view rowName {}; // that row as messages name it
};

[[nodiscard]] const std::vector<ProfileKey> &Keys();
[[nodiscard]] const ProfileKey *FindKey(std::string_view name);

// Why `value` is refused for `key`; nothing when it is allowed.
[[nodiscard]] std::optional<std::string> RefuseValue(const ProfileKey &key, std::string_view value);

// Every key, commented out, with its allowed values.
[[nodiscard]] std::string ProfileTemplate();

} // namespace profile
