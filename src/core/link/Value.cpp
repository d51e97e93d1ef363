#include "core/link/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

namespace corvane {

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Accepts [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)? and nothing else.
bool isDecimalSyntax(const std::string &s)
{
    std::size_t i = 0;
    const std::size_t n = s.size();
    if (i < n && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t intDigits = 0, fracDigits = 0;
    while (i < n && isDigit(s[i])) {
        ++i;
        ++intDigits;
    }
    if (i < n && s[i] == '.') {
        ++i;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++fracDigits;
        }
    }
    if (intDigits + fracDigits == 0)
        return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < n && isDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}

} // namespace

std::optional<double> readValue(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const QStringView core = text.mid(begin, end - begin);
    // Long enough for any honest number; a megabyte of digits is not a PLC value.
    if (core.isEmpty() || core.size() > 400)
        return std::nullopt;
    std::string ascii;
    ascii.reserve(std::size_t(core.size()));
    for (QChar c : core) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
        ascii.push_back(char(c.unicode()));
    }
    if (!isDecimalSyntax(ascii))
        return std::nullopt;
    const char *first = ascii.data();
    const char *last = ascii.data() + ascii.size();
    if (*first == '+')
        ++first; // from_chars takes no leading plus
    double value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString numberText(double value)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? QStringLiteral("NaN") : (value > 0 ? QStringLiteral("Inf") : QStringLiteral("-Inf"));
    if (value == 0)
        return QStringLiteral("0"); // also for -0

    // 15 significant digits in scientific form, then laid out positionally.
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    std::string s(buf);
    const bool negative = s[0] == '-';
    if (negative)
        s.erase(0, 1);
    const auto ePos = s.find('e');
    const int exponent = std::stoi(s.substr(ePos + 1));
    std::string digits = s.substr(0, 1) + s.substr(2, ePos - 2); // 15 digits, no point
    // Next to the largest double, rounding up to 15 digits passes it: such a text would
    // read back as out of range, so no number. The largest 15 digits that still read.
    constexpr char kLargestDigits[] = "179769313486231";
    if (exponent == 308 && digits > kLargestDigits)
        digits = kLargestDigits;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string out;
    const int pointAfter = exponent + 1; // digits before the decimal point
    if (pointAfter <= 0) {
        out = "0." + std::string(std::size_t(-pointAfter), '0') + digits;
    } else if (std::size_t(pointAfter) >= digits.size()) {
        out = digits + std::string(std::size_t(pointAfter) - digits.size(), '0');
    } else {
        out = digits.substr(0, std::size_t(pointAfter)) + "." + digits.substr(std::size_t(pointAfter));
    }
    if (negative)
        out.insert(out.begin(), '-');
    return QString::fromLatin1(out.data(), qsizetype(out.size()));
}

} // namespace corvane
