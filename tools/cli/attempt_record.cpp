#include "attempt_record.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

// Thousands of attempts; more is no record of ours.
constexpr std::size_t kMaxRecordBytes = 16 * 1024 * 1024;

QString Q(const std::string &text) { return QString::fromStdString(text); }

// What the regular file behind `fd` holds, read through a descriptor of its
// own: the one for appending cannot read.
std::optional<std::string> ReadWhole(int fd, std::string &why)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const devices::FileHandle reading(::open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!reading || ::fstat(reading.Get(), &st) != 0) {
        why = std::string("cannot be read: ") + std::strerror(errno);
        return std::nullopt;
    }
    if (static_cast<std::size_t>(st.st_size) > kMaxRecordBytes) {
        why = "holds more than 16 MiB, which is no record of attempts; give a new file";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(reading.Get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            why = std::string("cannot be read: ") + std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

} // namespace

std::string TimeNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

// `text` as a JSON string, quoted and escaped; bytes that are no UTF-8 become U+FFFD.
std::string Quoted(const std::string &text)
{
    const QByteArray array = QJsonDocument(QJsonArray {Q(text)}).toJson(QJsonDocument::Compact);
    return array.sliced(1, array.size() - 2).toStdString();
}

std::string RecordLine(const Attempt &attempt, const std::string &time)
{
    const auto orNull = [](const std::string &text) { return text.empty() ? std::string("null") : Quoted(text); };
    // In the order a reader scans them: when, which card, where, what came of it.
    std::string line = "{\"time\":" + Quoted(time) + ",\"card\":" + orNull(attempt.card) + ",\"port\":"
                       + Quoted(attempt.port) + ",\"device\":" + Quoted(attempt.device) + ",\"protocol\":"
                       + orNull(attempt.protocol) + ",\"result\":" + Quoted(std::string(ResultWord(attempt.result)))
                       + ",\"exit\":" + std::to_string(attempt.exit) + ",\"bytes\":" + std::to_string(attempt.bytes)
                       + ",\"total\":" + std::to_string(attempt.total);
    if (!attempt.why.empty())
        line += ",\"why\":" + Quoted(attempt.why);
    return line + "}";
}

std::optional<AttemptRecord> AttemptRecord::Open(const std::string &path, std::string &why)
{
    devices::FileHandle file = devices::OpenForAppend(path, why);
    if (!file)
        return std::nullopt;
    // Appending never waits on a pipe's reader; the descriptor was opened non-blocking.
    ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
    struct stat st {};
    if (::fstat(file.Get(), &st) != 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    AttemptRecord record(path, std::move(file));
    // A pipe or a terminal is written to, never read back.
    if (S_ISREG(st.st_mode)) {
        const auto text = ReadWhole(record.file_.Get(), why);
        if (!text)
            return std::nullopt;
        record.Read(*text);
    }
    return record;
}

void AttemptRecord::Read(const std::string &text)
{
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.empty())
            continue;
        const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        if (!object.value("card").isString() || !object.value("result").isString()) {
            // An erase names no card; anything else is not ours.
            passedOver_ += object.contains("result") ? 0 : 1;
            continue;
        }
        last_[object.value("card").toString().toStdString()] = object.value("result").toString().toStdString();
    }
}

bool AttemptRecord::Add(const Attempt &attempt, std::string &why)
{
    const std::string line = RecordLine(attempt, TimeNow()) + '\n';
    // One write with O_APPEND: a line is never interleaved with another run's.
    ssize_t n = 0;
    do
        n = ::write(file_.Get(), line.data(), line.size());
    while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(line.size())) {
        why = n < 0 ? std::strerror(errno) : "the line was cut short";
        return false;
    }
    if (::fdatasync(file_.Get()) != 0 && errno != EINVAL && errno != EROFS) {
        why = std::strerror(errno);
        return false;
    }
    if (!attempt.card.empty())
        last_[attempt.card] = std::string(ResultWord(attempt.result));
    return true;
}

} // namespace cli
