// The C functions: thin wrappers over the process-wide PortLink. No
// exception crosses the C boundary; one that would is reported as failure.
#include "portlink.h"

#include "port_link.h"

#include <algorithm>
#include <cstring>

namespace {

portlink::PortLink &Link()
{
    static portlink::PortLink link;
    return link;
}

template <typename F>
int16_t Guarded(F &&call) noexcept
{
    try {
        return call() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Writes `text`, NUL-terminated, cut short to `size` bytes on a character
// boundary, never inside a UTF-8 sequence. False when there is nothing to say.
bool CopyCut(const std::string &text, char *buffer, int32_t size)
{
    if (!buffer || size <= 0 || text.empty())
        return false;
    std::size_t length = std::min(text.size(), static_cast<std::size_t>(size) - 1);
    if (length < text.size())
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return true;
}

std::chrono::milliseconds Millis(int32_t ms) { return std::chrono::milliseconds(std::max<int32_t>(ms, 0)); }

} // namespace

extern "C" {

int16_t Run(void)
{
    return Guarded([] { return Link().Run(); });
}

int16_t Stop(void)
{
    return Guarded([] {
        Link().Stop();
        return true;
    });
}

int16_t OpenCommPort(int16_t port)
{
    return Guarded([port] { return Link().Open(port); });
}

int16_t OpenCommDevice(const char *path)
{
    return Guarded([path] { return Link().OpenPath(path ? path : ""); });
}

int16_t ReopenCommPort(void)
{
    return Guarded([] { return Link().Reopen(); });
}

int16_t ConfigureOpenComPort(void)
{
    return Guarded([] { return Link().Configure(); });
}

int16_t CloseCommPort(void)
{
    return Guarded([] {
        Link().Close();
        return true;
    });
}

int16_t WriteToBoard(uint8_t byte, int32_t timeout_ms)
{
    return Guarded([=] { return Link().Write(byte, Millis(timeout_ms)); });
}

int16_t IsSendingData(void)
{
    return Guarded([] { return Link().Sending(); });
}

int16_t StartLogging(const char *file_name)
{
    return Guarded([file_name] { return Link().StartLogging(file_name); });
}

int16_t StopLogging(void)
{
    return Guarded([] {
        Link().StopLogging();
        return true;
    });
}

int16_t IsLogging(void)
{
    return Guarded([] { return Link().Logging(); });
}

int16_t GetLogFileName(char *buffer, int32_t size)
{
    return Guarded([=] { return Link().LogFileName(buffer, size); });
}

int16_t ReadByteFromBoard(uint8_t *byte, int32_t timeout_ms)
{
    return Guarded([=] { return byte && Link().ReadByte(*byte, Millis(timeout_ms)); });
}

int16_t IsLineUp(void)
{
    return Guarded([] { return Link().LineUp(); });
}

int16_t HasLostData(void)
{
    return Guarded([] { return Link().LostData(); });
}

int16_t GetOpenError(char *buffer, int32_t size)
{
    return Guarded([=] { return CopyCut(Link().OpenError(), buffer, size); });
}

int16_t GetLogError(char *buffer, int32_t size)
{
    return Guarded([=] { return CopyCut(Link().LogError(), buffer, size); });
}

} // extern "C"
