// The card's end of the serial line: a pseudo-terminal at the line settings
// the tool's library uses, made reachable as COM n by the link comN, and
// made ready again each time the tool closes it.
#pragma once

#include "port_names.h"

#include <filesystem>
#include <string>

namespace cardsim {

// Where the library looks for comN: the devices layer's rule, which both use.
using devices::DeviceFolder;

// What is at `path`, for messages: "a regular file", "a link to /dev/null"…
[[nodiscard]] std::string Describe(const std::filesystem::path &path);

class CardPort {
public:
    // Creates the folder if needed, with the folders on the way, each 0700,
    // and the link comN; refuses (throws std::runtime_error) when comN
    // already exists in any form.
    CardPort(const std::filesystem::path &folder, int com);
    // Removes the link, but only while it still names this card's device.
    ~CardPort();
    CardPort(const CardPort &) = delete;
    CardPort &operator=(const CardPort &) = delete;

    // The master side, non-blocking. While nobody has the device open it
    // reports a hang-up on every poll, so it is then left out of polls and
    // WakeFd() waited on instead.
    [[nodiscard]] int Fd() const { return master_; }
    // Readable after someone opened (or closed) the device.
    [[nodiscard]] int WakeFd() const { return notify_; }
    [[nodiscard]] const std::string &Device() const { return device_; }
    [[nodiscard]] const std::filesystem::path &Link() const { return link_; }

    // True while nobody has the device open and nothing is left to read.
    [[nodiscard]] bool Closed() const;
    void DrainWakeups();

    // After the tool closed the device: clears the exclusive flag a killed
    // tool leaves behind and drops answers nobody read. When the device
    // cannot be opened for that, and nobody holds it, the link is moved to a
    // fresh one instead.
    // Returns true when that happened. Throws when the link is no longer ours.
    bool MakeReady();

private:
    void OpenPseudoTerminal();
    void Renew();
    [[nodiscard]] bool LinkIsOurs() const;

    std::filesystem::path link_;
    int master_ = -1;
    int notify_ = -1;
    int watch_ = -1;
    std::string device_;
};

} // namespace cardsim
