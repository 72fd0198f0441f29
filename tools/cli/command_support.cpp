#include "command_support.h"

#include "interruption.h"
#include "library_loader.h"
#include "output.h"
#include "port_names.h"
#include "printable.h"
#include "serial_library.h"

#include <cerrno>
#include <filesystem>
#include <iostream>
#include <poll.h>
#include <unistd.h>

namespace cli {

int Refuse(int status, const std::string &message)
{
    std::cerr << "tovrik-cli: " << devices::Printable(message) << '\n';
    return status;
}

std::string ResolvedDevice(const Target &target)
{
    std::string path = target.device;
    if (path.empty()) {
        const auto name = devices::DeviceForPort(target.com);
        path = name ? name->path : "";
    }
    std::error_code error;
    const auto resolved = std::filesystem::canonical(path, error);
    return error ? path : resolved.string();
}

std::string Described(const Target &target)
{
    const std::string device = ResolvedDevice(target);
    return device.empty() || device == target.Name() ? target.Name() : target.Name() + " (" + device + ")";
}

std::optional<std::string> ReadAnswer()
{
    std::string line;
    for (char c = 0;;) {
        // A signal that came just before the read would not wake it: look again now and then.
        pollfd input {STDIN_FILENO, POLLIN, 0};
        if (Interruption())
            return std::nullopt;
        if (const int ready = ::poll(&input, 1, 100); ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR && !Interruption())
            continue;
        if (n <= 0)
            return std::nullopt;
        if (c == '\n')
            return line;
        line += c;
    }
}

std::optional<int> Confirm(const std::string &question, bool yes)
{
    if (yes)
        return std::nullopt;
    if (!isatty(STDIN_FILENO))
        return Refuse(kBadUsage, "standard input is not a terminal: give --yes to send");
    std::cerr << devices::Printable(question) << " [y/N] " << std::flush;
    const auto answer = ReadAnswer();
    if (Interruption())
        EndBy(Interruption());
    if (answer == "y" || answer == "Y" || answer == "yes")
        return std::nullopt;
    return Refuse(kRefused, "nothing sent");
}

Listening LogOnly(const std::string &logFile)
{
    using namespace std::chrono_literals;
    return {logFile, logFile.empty() ? 0ms : 3000ms, 500ms, {}};
}

Attempt AttemptFor(const AttemptOf &what, const SendOutcome &outcome, int exit)
{
    // The lines' bytes also when the port never opened.
    return {what.card,      what.target.Name(), ResolvedDevice(what.target), what.protocol,
            outcome.result, exit,               outcome.bytes,               Bytes(what.lines),
            outcome.reason.empty() ? outcome.message : outcome.reason};
}

bool Record(AttemptRecord *record, const Attempt &attempt)
{
    std::string why;
    if (!record || record->Add(attempt, why))
        return true;
    Refuse(kOutputFailed, "the attempt could not be added to the record " + record->Path() + ": " + why);
    return false;
}

SendOutcome SendLines(SerialLibrary &library, const AttemptOf &what, const Listening &listening)
{
    const std::size_t bytes = Bytes(what.lines);
    const bool showProgress = isatty(STDERR_FILENO);
    const auto progress = [&](bool done) {
        if (showProgress)
            std::cerr << (done ? " done\n"
                               : "Sending " + std::to_string(bytes) + " bytes to "
                                     + devices::Printable(what.target.Name()) + " …")
                      << std::flush;
    };
    return SendToCard(library, {what.target, what.lines, listening, progress, Interruption});
}

int Report(const SendOutcome &outcome, const std::string &name)
{
    if (outcome.result == Result::Sent)
        // For a send, the bytes to the card are what count, not this line.
        (void)Print("sent " + std::to_string(outcome.bytes) + " bytes to " + devices::Printable(name) + "\n");
    else
        Refuse(outcome.status, outcome.message);
    if (outcome.signal != 0)
        return StatusOf(outcome.signal);
    return outcome.status;
}

int SendRecordReport(const AttemptOf &what, const Listening &listening, AttemptRecord *record)
{
    const auto loaded = LoadSerialLibrary();
    SendOutcome outcome;
    if (!loaded.error.empty())
        outcome = NotSent(kPortNotOpened, Result::NotOpened, loaded.error);
    else
        outcome = SendLines(*loaded.library, what, listening);
    const int status = Report(outcome, what.target.Name());
    if (!Record(record, AttemptFor(what, outcome, status)) && status == kSent)
        return kOutputFailed;
    if (outcome.signal != 0)
        EndBy(outcome.signal);
    return status;
}

} // namespace cli
