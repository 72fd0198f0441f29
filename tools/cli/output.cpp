#include "output.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace cli {

namespace {
std::string failure;
}

bool Print(std::string_view text)
{
    while (failure.empty() && !text.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            failure = n < 0 ? std::strerror(errno) : "nothing could be written";
        else
            text.remove_prefix(static_cast<std::size_t>(n));
    }
    return failure.empty();
}

std::string OutputError() { return failure; }

} // namespace cli
