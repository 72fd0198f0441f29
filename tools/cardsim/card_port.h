// The card's end of the serial line: a pseudo-terminal at the line settings
// the tool's library uses, made reachable as COM n by the link comN.
#pragma once

#include <filesystem>
#include <string>

namespace cardsim {

// $PORTLINK_DEVICE_DIR when set and not empty, else
// ${XDG_CONFIG_HOME:-~/.config}/portlink: where the library looks for comN.
[[nodiscard]] std::filesystem::path DeviceFolder();

class CardPort {
public:
    // Creates the folder if needed and the link comN; refuses (throws
    // std::runtime_error) when comN already exists in any form.
    CardPort(const std::filesystem::path &folder, int com);
    // Removes the link, but only while it still names this card's device.
    ~CardPort();
    CardPort(const CardPort &) = delete;
    CardPort &operator=(const CardPort &) = delete;

    // The master side, non-blocking.
    [[nodiscard]] int Fd() const { return master_; }
    [[nodiscard]] const std::string &Device() const { return device_; }
    [[nodiscard]] const std::filesystem::path &Link() const { return link_; }

    // After the tool closed the port: a fresh pseudo-terminal behind the same
    // link. The old one cannot be reused: the library's exclusive mode stays
    // on a pseudo-terminal until its master closes, so an ordinary user's
    // next open of it would fail. Throws when the link is no longer ours.
    void Renew();

private:
    [[nodiscard]] bool LinkIsOurs() const;

    std::filesystem::path link_;
    int master_ = -1;
    std::string device_;
};

} // namespace cardsim
