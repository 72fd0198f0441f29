#include "card_send.h"

#include "board_link.h"
#include "command_lines.h"
#include "gateway_commands.h"
#include "send_run.h"

#include <chrono>
#include <thread>

namespace cli {

namespace {

using namespace std::chrono_literals;

// Far beyond the line time of the longest configuration at 9600 baud: a
// line that has not drained by then is not draining.
constexpr auto kDrainLimit = 30s;

std::string Failed(const std::string &what, const std::vector<std::string> &lines)
{
    const bool configuring = !lines.empty() && lines.back() == gateway::EndConfigLine();
    return what + (configuring ? "; the card was not told to apply the configuration" : "");
}

} // namespace

SendOutcome SendToCard(SerialLibrary &library, std::int16_t port, const std::vector<std::string> &lines,
                       const std::function<void(bool done)> &progress)
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

    GatewayCommands commands(link);
    SendRun run(link, commands);
    const bool written = run.Begin(lines);
    if (progress)
        progress(false);
    const auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
    while (written && run.Sending() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    const bool drained = !run.Sending();
    const SendEnd end = run.End();
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
