// The record of a site's roll-out: one JSON object per attempt, one a line,
// appended and flushed at once, so that a roll-out stopped today goes on
// tomorrow where it stopped.
#pragma once

#include "card_send.h"
#include "safe_open.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace cli {

struct Attempt {
    std::string card;     // empty: no card named
    std::string port;     // "COM1", or the device as given
    std::string device;   // the device it resolved to
    std::string protocol; // empty for an erase
    Result result = Result::Sent;
    int exit = 0;
    std::size_t bytes = 0, total = 0;
    std::string why; // when not sent
};

// One attempt as its line in the record, "time" first, without the newline.
[[nodiscard]] std::string RecordLine(const Attempt &attempt, const std::string &time);

// Now, in ISO 8601 with the zone: "2026-12-08T09:14:03+01:00".
[[nodiscard]] std::string TimeNow();

class AttemptRecord {
public:
    // Opens `path` for appending (created when missing) as a log is opened,
    // and reads what an existing regular file holds, up to 16 MiB; nothing,
    // with `why` set, when it cannot.
    [[nodiscard]] static std::optional<AttemptRecord> Open(const std::string &path, std::string &why);

    // Appends the attempt's line in one write and flushes it to the disk;
    // false, with `why` set, when it could not.
    [[nodiscard]] bool Add(const Attempt &attempt, std::string &why);

    // The result of each card's last attempt, as read at Open and added since.
    [[nodiscard]] const std::map<std::string, std::string> &LastResults() const { return last_; }
    // Lines read at Open that hold no attempt, e.g. one cut short by a crash.
    [[nodiscard]] int LinesPassedOver() const { return passedOver_; }
    [[nodiscard]] const std::string &Path() const { return path_; }

private:
    AttemptRecord(std::string path, devices::FileHandle file) : path_(std::move(path)), file_(std::move(file)) {}
    void Read(const std::string &text);

    std::string path_;
    devices::FileHandle file_;
    std::map<std::string, std::string> last_;
    int passedOver_ = 0;
};

} // namespace cli
