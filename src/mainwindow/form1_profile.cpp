// The main window filled in from a site profile: the profile drives the
// window's form model as a technician's clicks and keys would, and the
// window shows the result.
#include "form1.h"

#include "message_boxes.h"
#include "profile_answers.h"
#include "profile_reader.h"

std::vector<std::string> Form1::FillFromProfile(const std::string &path, const std::string &card)
{
    const auto reading = profile::ReadProfileFile(path, card);
    if (!reading.refusals.empty()) {
        std::string text;
        for (const auto &refusal : reading.refusals)
            text += (text.empty() ? "" : "\n") + refusal;
        boxes_.Report(text);
        return {};
    }
    std::vector<std::string> unused;
    Handle([&] { unused = profile::EnterSettings(reading.settings, form_); });
    // The focus stays where the typing left it.
    ShowFocus();
    return unused;
}
