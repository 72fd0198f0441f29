// A profile's settings turned into the window's answers, entered as a
// technician enters them: the protocol and the questions in the window's
// order, a row typed only while it is open, each address character by
// character through the octet boxes' handler.
#pragma once

#include "answers.h"
#include "profile_reader.h"

#include <string>
#include <vector>

namespace profile {

struct FilledAnswers {
    Answers answers;
    // "not used: subnet (Ethernet)" for each setting that went to a closed row or question.
    std::vector<std::string> unused;
};

[[nodiscard]] FilledAnswers FillAnswers(const Settings &settings);

// The rows readiness waits for, e.g. "ip (IP Address)"; empty once Configure
// could be pressed.
[[nodiscard]] std::vector<std::string> MissingEntries(const Answers &a);

} // namespace profile
