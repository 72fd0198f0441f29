// The keys of a profile, the values each allows, and the commented template
// that lists them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile {

// An address row of the window: its boxes, and how many characters each takes.
struct RowShape {
    int boxes = 0; // 0: not an address
    bool hex = false;
    int partLength = 0; // typing moves on to the next box after this many characters
    std::string_view row; // the window's caption, for messages
};

struct ProfileKey {
    std::string_view name;
    std::vector<std::string_view> allowed; // empty: an address, judged once typed into its row
    std::string_view example;              // the window's own answer where it has one
    std::string_view meaning;
    RowShape shape {};
};

[[nodiscard]] const std::vector<ProfileKey> &Keys();
[[nodiscard]] const ProfileKey *FindKey(std::string_view name);

// Why `value` is refused for `key`; nothing when it is allowed.
[[nodiscard]] std::optional<std::string> RefuseValue(const ProfileKey &key, std::string_view value);

// Every key, commented out, with its allowed values.
[[nodiscard]] std::string ProfileTemplate();

} // namespace profile
