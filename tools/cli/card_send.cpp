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
using Clock = std::chrono::steady_clock;

// Far beyond the line time of the longest configuration at 9600 baud: a
// line that has not drained by then is not draining.
constexpr auto kDrainLimit = 30s;
// How often the send looks whether the bytes have left: a byte takes about 1 ms at 9600 baud.
constexpr auto kPoll = 1ms;

// Hands every byte the card sends to `heard` until `until`, or until the
// card has been quiet for `quietEnds`.
void Listen(BoardLink &link, const Listening &listening, Clock::time_point until,
            const std::function<int()> &interruption = {})
{
    auto lastHeard = Clock::now();
    for (auto now = lastHeard; now < until; now = Clock::now()) {
        if (interruption && interruption() != 0)
            return;
        if (listening.quietEnds.count() > 0 && now - lastHeard >= listening.quietEnds)
            return;
        const auto wait = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(until - now), 5ms);
        if (const auto byte = link.ReadFromCard(wait)) {
            lastHeard = Clock::now();
            if (listening.heard)
                listening.heard(static_cast<char>(*byte));
        }
    }
}

// Writes the lines, stopping before the next one once an interruption came,
// then waits until they have left, listening meanwhile. Returns what was
// handed to the line.
class Writer {
public:
    Writer(BoardLink &link, const SendRequest &request) : link_(link), commands_(link), request_(request) {}

    // False when a write failed, the line went, or the bytes did not leave.
    bool Write(const std::vector<std::string> &lines)
    {
        for (const auto &line : lines) {
            if (Interrupted())
                return true;
            SendRun run(link_, commands_);
            if (!run.Begin({line})) {
                end_ = SendEnd::WriteFailed;
                return false;
            }
        }
        if (request_.progress && !announced_)
            request_.progress(false);
        announced_ = true;
        return Drain();
    }

    bool Drain()
    {
        Listening meanwhile = request_.listening;
        meanwhile.quietEnds = {};
        const auto deadline = Clock::now() + kDrainLimit;
        while (link_.IsSending() && Clock::now() < deadline)
            Listen(link_, meanwhile, Clock::now() + kPoll);
        drained_ = !link_.IsSending();
        end_ = link_.LostData() ? SendEnd::LineLost : SendEnd::Sent;
        return end_ == SendEnd::Sent && drained_;
    }

    bool Interrupted() const { return request_.interruption && request_.interruption() != 0; }
    [[nodiscard]] std::size_t BytesWritten() const { return link_.BytesTaken(); }
    [[nodiscard]] SendEnd End() const { return end_; }
    [[nodiscard]] bool Drained() const { return drained_; }

private:
    BoardLink &link_;
    GatewayCommands commands_;
    const SendRequest &request_;
    SendEnd end_ = SendEnd::Sent;
    bool drained_ = true;
    bool announced_ = false;
};

std::string NotApplied(const std::vector<std::string> &lines)
{
    const bool configuring = !lines.empty() && lines.back() == gateway::EndConfigLine();
    return configuring ? "; the card was not told to apply the configuration" : "";
}

// What the writing came to, once the port is closed.
SendOutcome Ended(const Writer &writer, const SendRequest &request, const std::string &name)
{
    const auto &lines = request.lines;
    SendOutcome outcome = NotSent(kSent, Result::Sent, {});
    outcome.bytes = writer.BytesWritten();
    outcome.total = Bytes(lines);
    outcome.signal = request.interruption ? request.interruption() : 0;
    const auto failed = [&](std::string message) {
        outcome.status = kSendFailed;
        outcome.result = Result::WriteFailed;
        outcome.message = std::move(message) + NotApplied(lines);
        return outcome;
    };
    if (writer.End() == SendEnd::WriteFailed)
        return failed("writing to " + name + " failed");
    if (writer.End() == SendEnd::LineLost)
        return failed("the line to " + name + " failed before the bytes had left");
    if (!writer.Drained())
        return failed("the bytes did not leave for " + name + " within "
                      + std::to_string(std::chrono::seconds(kDrainLimit).count()) + " s");
    if (outcome.bytes < outcome.total && outcome.signal == 0)
        return failed("the line to " + name + " went away before every byte was written");
    if (outcome.bytes < outcome.total) {
        outcome.result = Result::Interrupted;
        outcome.message = "interrupted after " + std::to_string(outcome.bytes) + " of " + std::to_string(outcome.total)
                          + " bytes" + (NotApplied(lines).empty() ? "" : "; the card was not told to apply");
    }
    return outcome;
}

} // namespace

std::size_t Bytes(const std::vector<std::string> &lines)
{
    std::size_t bytes = 0;
    for (const auto &line : lines)
        bytes += line.size();
    return bytes;
}

SendOutcome NotSent(ExitStatus status, Result result, std::string message)
{
    SendOutcome outcome;
    outcome.status = status;
    outcome.result = result;
    outcome.message = std::move(message);
    return outcome;
}

std::string Target::Name() const { return device.empty() ? "COM" + std::to_string(com) : device; }

std::string_view ResultWord(Result result)
{
    switch (result) {
    case Result::Sent:
        return "sent";
    case Result::Refused:
        return "refused";
    case Result::NotOpened:
        return "not opened";
    case Result::WriteFailed:
        return "write failed";
    case Result::Interrupted:
        return "interrupted";
    }
    return "";
}

SendOutcome SendToCard(SerialLibrary &library, const SendRequest &request)
{
    const std::string name = request.target.Name();
    BoardLink link(library);
    // Without its reader the library would not see the line fail.
    if (!link.Start())
        return NotSent(kPortNotOpened, Result::NotOpened, "the serial library could not start reading " + name);
    const auto opening = request.target.device.empty() ? link.SelectComPort(request.target.com)
                                                       : link.SelectDevice(request.target.device);
    // The library has said why on standard error: the reason is not repeated.
    if (!opening.open) {
        auto outcome = NotSent(kPortNotOpened, Result::NotOpened, name + " could not be opened; nothing sent");
        outcome.reason = opening.why;
        return outcome;
    }

    // The sender writes nothing to a port whose line has gone: that is no send.
    link.NoticeLostLine();
    if (!link.IsPortOpen())
        return NotSent(kSendFailed, Result::WriteFailed,
                       "the line to " + name + " failed before anything was written" + NotApplied(request.lines));

    // The log is touched only once the port is up, so a failed open leaves no file.
    const auto &listening = request.listening;
    if (!listening.logFile.empty() && !link.StartLogging(listening.logFile)) {
        link.ClosePort();
        return NotSent(kRefused, Result::Refused, "cannot log to " + listening.logFile + "; nothing was sent");
    }

    const bool configuring = !request.lines.empty() && request.lines.back() == gateway::EndConfigLine();
    std::vector<std::string> body = request.lines;
    if (configuring)
        body.pop_back();
    Writer writer(link, request);
    bool written = writer.Write(body);
    if (written && configuring && !writer.Interrupted())
        written = writer.Write({request.lines.back()});
    if (written && writer.BytesWritten() == Bytes(request.lines))
        Listen(link, listening, Clock::now() + listening.atMost, request.interruption);
    link.StopLogging();
    link.ClosePort();
    if (request.progress)
        request.progress(true);
    return Ended(writer, request, name);
}

} // namespace cli
