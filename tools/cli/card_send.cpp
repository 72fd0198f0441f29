#include "card_send.h"

#include "board_link.h"
#include "command_lines.h"
#include "gateway_commands.h"
#include "send_run.h"

#include <algorithm>
#include <chrono>

namespace cli {

namespace {

using namespace std::chrono_literals;

// Far beyond the line time of the longest configuration at 9600 baud: a
// line that has not drained by then is not draining.
constexpr auto kDrainLimit = 30s;
// How often the send looks whether the bytes have left.
constexpr auto kPoll = 5ms;

std::string Failed(const std::string &what, const std::vector<std::string> &lines)
{
    const bool configuring = !lines.empty() && lines.back() == gateway::EndConfigLine();
    return what + (configuring ? "; the card was not told to apply the configuration" : "");
}

// Hands every byte the card sends to `heard` until `until`, or until the
// card has been quiet for `quietEnds`.
void Listen(BoardLink &link, const Listening &listening, std::chrono::steady_clock::time_point until)
{
    auto lastHeard = std::chrono::steady_clock::now();
    for (auto now = lastHeard; now < until; now = std::chrono::steady_clock::now()) {
        if (listening.quietEnds.count() > 0 && now - lastHeard >= listening.quietEnds)
            return;
        const auto wait = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(until - now), kPoll);
        if (const auto byte = link.ReadFromCard(wait)) {
            lastHeard = std::chrono::steady_clock::now();
            if (listening.heard)
                listening.heard(static_cast<char>(*byte));
        }
    }
}

} // namespace

SendOutcome SendToCard(SerialLibrary &library, std::int16_t port, const std::vector<std::string> &lines,
                       const std::function<void(bool done)> &progress, const Listening &listening)
{
    const std::string com = "COM" + std::to_string(port);
    BoardLink link(library);
    // Without its reader the library would not see the line fail.
    if (!link.Start())
        return {kPortNotOpened, "the serial library could not start reading " + com};
    if (const auto opening = link.SelectComPort(port); !opening.open)
        return {kPortNotOpened, com + " could not be opened" + (opening.why.empty() ? "" : ": " + opening.why)};

    // The sender writes nothing to a port whose line has gone: that is no send.
    link.NoticeLostLine();
    if (!link.IsPortOpen())
        return {kSendFailed, Failed("the line to " + com + " failed before anything was written", lines)};

    // The log is touched only once the port is up, so a failed open leaves no file.
    if (!listening.logFile.empty() && !link.StartLogging(listening.logFile)) {
        link.ClosePort();
        return {kRefused, "cannot log to " + listening.logFile + "; nothing was sent (the reason is above)"};
    }

    GatewayCommands commands(link);
    SendRun run(link, commands);
    const bool written = run.Begin(lines);
    if (progress)
        progress(false);
    // The card answers while the bytes still leave: listen meanwhile.
    Listening meanwhile = listening;
    meanwhile.quietEnds = {};
    const auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
    while (written && run.Sending() && std::chrono::steady_clock::now() < deadline)
        Listen(link, meanwhile, std::chrono::steady_clock::now() + kPoll);
    const bool drained = !run.Sending();
    const SendEnd end = run.End();
    if (end == SendEnd::Sent && drained)
        Listen(link, listening, std::chrono::steady_clock::now() + listening.atMost);
    link.StopLogging();
    link.ClosePort();
    if (progress)
        progress(true);

    switch (end) {
    case SendEnd::WriteFailed:
        return {kSendFailed, Failed("writing to " + com + " failed", lines)};
    case SendEnd::LineLost:
        return {kSendFailed, Failed("the line to " + com + " failed before the bytes had left", lines)};
    case SendEnd::Sent:
        break;
    }
    if (!drained)
        return {kSendFailed, "the bytes did not leave for " + com + " within "
                                 + std::to_string(std::chrono::seconds(kDrainLimit).count()) + " s"};
    return {};
}

} // namespace cli
