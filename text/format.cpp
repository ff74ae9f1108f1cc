#include "text/format.h"

namespace zirvon {
namespace {

/// Two digits, with a leading zero.
std::string two_digits(std::uint64_t n) {
    std::string text = std::to_string(n);
    if (text.size() < 2) text.insert(text.begin(), '0');
    return text;
}

}  // namespace

std::string with_commas(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
        text.push_back(digits[i]);
    }
    return text;
}

std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
    std::string text = std::to_string(n) + " ";
    if (n == 1) return text.append(one);
    if (many.empty()) return text.append(one) + "s";
    return text.append(many);
}

std::string counted_with_commas(std::uint64_t n, std::string_view one, std::string_view many) {
    const std::string text = counted(n, one, many);
    return with_commas(n) + text.substr(text.find(' '));
}

std::string joined(const std::vector<std::string>& items, std::string_view last) {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0 && i + 1 == items.size()) {
            text.append(" ").append(last).append(" ");
        } else if (i > 0) {
            text.append(", ");
        }
        text += items[i];
    }
    return text;
}

std::string hex(std::uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 15]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    return "0x" + text;
}

std::string minutes_seconds(std::uint64_t ticks) {
    const std::uint64_t seconds = ticks / 50;
    return std::to_string(seconds / 60) + ":" + two_digits(seconds % 60);
}

std::string minutes_hundredths(std::uint64_t hundredths, bool always_hundredths) {
    const std::uint64_t seconds = hundredths / 100;
    std::string text = std::to_string(seconds / 60) + ":" + two_digits(seconds % 60);
    if (always_hundredths || hundredths % 100 != 0) text.append(".").append(two_digits(hundredths % 100));
    return text;
}

std::string hours_minutes_seconds(std::uint64_t seconds) {
    return std::to_string(seconds / 3600) + ":" + two_digits(seconds / 60 % 60) + ":" +
           two_digits(seconds % 60);
}

std::string printable(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    return out;
}

}  // namespace zirvon
