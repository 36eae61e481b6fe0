#include "log/call_log.h"

#include <cstring>

#include "log/log_format.h"
#include "text/utf8.h"

namespace instdll {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr std::size_t kLineEndSize = sizeof kLineEnd - 1;
// Room kept at the end of a line for the longest UTF-8 character and the line end.
constexpr std::size_t kReserve = 4 + kLineEndSize;

}  // namespace

CallLog::CallLog(LogSink& sink, const AnsiToUtf8& converter, std::string_view prefix) noexcept
    : sink_(sink), converter_(converter) {
    prefixSize_ = prefix.size() < kPrefixCapacity ? prefix.size() : kPrefixCapacity - 1;
    std::memcpy(prefix_, prefix.data(), prefixSize_);
}

LogRecord::LogRecord(CallLog* log) noexcept : log_(log) {
    if (log_ != nullptr) StartLine(kLogRecordMark);
}

void LogRecord::StartLine(std::string_view mark) noexcept {
    const std::string_view prefix = log_->prefix();
    std::memcpy(line_, prefix.data(), prefix.size());
    std::memcpy(line_ + prefix.size(), mark.data(), mark.size());
    size_ = textStart_ = prefix.size() + mark.size();
}

void LogRecord::Flush() noexcept {
    std::memcpy(line_ + size_, kLineEnd, kLineEndSize);
    log_->sink().Append(line_, size_ + kLineEndSize);
}

// A lead byte keeps room for its whole character, so that valid UTF-8 is never split. A
// continuation byte then always fits; one that continues nothing (ANSI text passed on
// unconverted) is bounded all the same.
void LogRecord::Put(char byte) noexcept {
    const auto unsignedByte = static_cast<unsigned char>(byte);
    const std::size_t needed = IsUtf8ContinuationByte(unsignedByte)
                                   ? 1 + kLineEndSize
                                   : Utf8SequenceLength(unsignedByte) + kReserve;
    if (size_ + needed > kLineCapacity) {
        Flush();
        StartLine(kLogContinuationMark);
    }
    line_[size_++] = byte;
}

// A control character would break the one-record-per-line rule: it shows as \xNN.
void LogRecord::PutShown(unsigned char byte) noexcept {
    if (byte < 0x20 || byte == 0x7F) {
        constexpr char kDigits[] = "0123456789abcdef";
        Put('\\');
        Put('x');
        Put(kDigits[byte >> 4]);
        Put(kDigits[byte & 0xF]);
        return;
    }
    if (escaping_ && (byte == '\\' || byte == '"')) Put('\\');
    Put(static_cast<char>(byte));
}

LogRecord& LogRecord::Text(std::string_view ascii) noexcept {
    if (log_ != nullptr) {
        for (char c : ascii) PutShown(static_cast<unsigned char>(c));
    }
    return *this;
}

void LogRecord::Utf8(const char* text, std::size_t size) noexcept {
    for (std::size_t i = 0; i < size; ++i) PutShown(static_cast<unsigned char>(text[i]));
}

LogRecord& LogRecord::Ansi(std::string_view ansi) noexcept {
    if (log_ != nullptr) log_->converter().Convert(ansi, *this);
    return *this;
}

LogRecord& LogRecord::Ansi(const char* ansi) noexcept {
    return ansi == nullptr ? Text("null") : Ansi(std::string_view(ansi));
}

LogRecord& LogRecord::Quoted(std::string_view ansi) noexcept {
    Text("\"");
    escaping_ = true;
    Ansi(ansi);
    escaping_ = false;
    return Text("\"");
}

LogRecord& LogRecord::Number(long long value) noexcept {
    char digits[24];
    std::size_t count = 0;
    // Counted down from the magnitude as unsigned, so the smallest value has no overflow.
    unsigned long long magnitude = value < 0 ? 0 - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[count++] = '-';
    while (count > 0 && log_ != nullptr) Put(digits[--count]);
    return *this;
}

LogRecord& LogRecord::Hex(std::uint32_t value, int digits) noexcept {
    constexpr char kDigits[] = "0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0 && log_ != nullptr; shift -= 4) {
        Put(kDigits[(value >> shift) & 0xF]);
    }
    return *this;
}

void LogRecord::End() noexcept {
    if (log_ == nullptr) return;
    Flush();
    log_ = nullptr;
}

}  // namespace instdll
