// A profile's settings entered into the form as a technician enters them:
// the protocol and the questions in the window's order, a row typed only
// while it is open, each address key by key.
#pragma once

#include "answers.h"
#include "profile_reader.h"

#include <string>
#include <vector>

class ConfigurationForm;

namespace profile {

// Enters `settings` into `form`; returns "not used: subnet (Ethernet)" for
// each setting that met a closed row or question.
[[nodiscard]] std::vector<std::string> EnterSettings(const Settings &settings, ConfigurationForm &form);

struct FilledAnswers {
    Answers answers;
    // "not used: subnet (Ethernet)" for each setting that went to a closed row or question.
    std::vector<std::string> unused;
};

// EnterSettings on a fresh form.
[[nodiscard]] FilledAnswers FillAnswers(const Settings &settings);

// The rows readiness waits for, e.g. "ip (IP Address)"; empty once Configure
// could be pressed.
[[nodiscard]] std::vector<std::string> MissingEntries(const Answers &a);

} // namespace profile
