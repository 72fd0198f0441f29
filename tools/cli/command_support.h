// What every command of tovrik-cli shares: its messages, the question before
// a send, the technician's answers read from the terminal, and one attempt
// sent, recorded and reported.
#pragma once

#include "attempt_record.h"
#include "card_send.h"

#include <optional>
#include <string>
#include <vector>

class SerialLibrary;

namespace cli {

// One line on standard error, escaped: names and values come from the user
// and may hold control bytes. Returns `status`.
int Refuse(int status, const std::string &message);

// "COM1 (/dev/ttyUSB0)": the port or device as given, and the device it
// leads to now when that differs.
[[nodiscard]] std::string Described(const Target &target);
[[nodiscard]] std::string ResolvedDevice(const Target &target);

// A line typed on standard input, without its newline; nothing at its end
// or once an interruption came.
[[nodiscard]] std::optional<std::string> ReadAnswer();

// Nothing when the user agreed (or `yes`); else the exit status.
[[nodiscard]] std::optional<int> Confirm(const std::string &question, bool yes);

// With a log, the card's answer to the last line is waited for: it comes
// once the card has taken the line in, and lands in the log.
[[nodiscard]] Listening LogOnly(const std::string &logFile);

// What one attempt is about, for its record and its messages.
struct AttemptOf {
    Target target;
    std::string card, protocol;
    std::vector<std::string> lines;
};

[[nodiscard]] Attempt AttemptFor(const AttemptOf &what, const SendOutcome &outcome, int exit);

// Adds the attempt to `record` when there is one; false, after saying why
// on standard error, when it could not.
bool Record(AttemptRecord *record, const Attempt &attempt);

// Sends, showing progress on a terminal; the outcome says how it ended.
[[nodiscard]] SendOutcome SendLines(SerialLibrary &library, const AttemptOf &what, const Listening &listening);

// The exit status of an outcome, with its message on standard error or
// "sent N bytes to COM1" on standard output.
int Report(const SendOutcome &outcome, const std::string &name);

// Sends, records in `record` when there is one, reports; the exit status.
// An interrupted send ends the program by its signal once recorded.
int SendRecordReport(const AttemptOf &what, const Listening &listening, AttemptRecord *record);

} // namespace cli
