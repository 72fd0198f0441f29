// Ctrl-C, a terminal closed or a kill: the send in progress ends at the next
// line it would write, says how far it got, and the program then ends by the
// same signal, so that a calling shell or loop knows it was interrupted.
#pragma once

namespace cli {

// Catches SIGINT, SIGTERM and SIGHUP from now on, and ignores SIGPIPE: a
// reader of standard output that went away must not cut a send short.
void CatchInterruptions();

// The signal that arrived, or 0.
[[nodiscard]] int Interruption();

// The exit status a shell shows for `signal`: 128 + its number.
[[nodiscard]] int StatusOf(int signal);

// Ends the program by `signal` itself, as if it had not been caught.
[[noreturn]] void EndBy(int signal);

} // namespace cli
