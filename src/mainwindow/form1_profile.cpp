// The main window filled in from a site profile: the profile drives the
// window's form model as a technician's clicks and keys would, and the
// window shows the result, says where it came from and what it left out.
#include "form1.h"

#include "message_boxes.h"
#include "printable.h"
#include "profile_answers.h"
#include "profile_reader.h"

#include <QTimer>

#include <filesystem>
#include <utility>

namespace {

// A file or card name as the user gave it, on one line.
QString Shown(const std::string &name) { return QString::fromStdString(devices::Printable(name)); }

std::string Lines(const std::vector<std::string> &lines)
{
    std::string text;
    for (const auto &line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

} // namespace

std::vector<std::string> Form1::FillFromProfile(const std::string &path, const std::string &card)
{
    const auto reading = profile::ReadProfileFile(path, card);
    if (!reading.refusals.empty()) {
        boxes_.Report(Lines(reading.refusals));
        return {};
    }
    std::vector<std::string> unused;
    Handle([&] { unused = profile::EnterSettings(reading.settings, form_); });
    // The focus stays where the typing left it.
    ShowFocus();
    const QString file = Shown(std::filesystem::path(path).filename().string());
    ShowFilledIn(file, card.empty() ? QString() : Shown(card));
    if (!unused.empty()) {
        heldNotes_ = {"Some settings of " + file.toStdString() + " were not used:", Lines(unused)};
        // From the event loop: the caller has had its say, and a box open
        // now has closed or holds them back for the line watch.
        QTimer::singleShot(0, this, [this] { ShowHeldNotes(); });
    }
    return unused;
}

bool Form1::ShowHeldNotes()
{
    // Never over the box of another handler, which waits for its answer,
    // nor before the window is up.
    if (heldNotes_.first.empty() || unloaded_ || boxes_.IsShowing() || !isVisible())
        return false;
    const auto [text, notes] = std::exchange(heldNotes_, {});
    boxes_.Report(text, notes);
    return true;
}
