// The settings' grammar: trimming, integers, numbers, lists and the refusal line.
#include "setting_grammar.h"

#include <charconv>
#include <cstdio>
#include <system_error>

namespace {

// The position of the first byte from at that is not a decimal digit.
size_t SkipDigits(const std::string &text, size_t at)
{
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        ++at;
    return at;
}

// The position after an optional minus sign and one or more digits from at; npos when
// there are no digits.
size_t SkipSignedDigits(const std::string &text, size_t at)
{
    if (at < text.size() && text[at] == '-')
        ++at;
    const size_t end = SkipDigits(text, at);
    return end == at ? std::string::npos : end;
}

bool IsInteger(const std::string &text) { return SkipSignedDigits(text, 0) == text.size(); }

// Digits, optionally a point and digits, optionally an exponent: the forms that from_chars
// would also take with a plus sign, a bare point, hex digits, inf or nan are left out.
bool IsNumber(const std::string &text)
{
    size_t at = SkipSignedDigits(text, 0);
    if (at < text.size() && text[at] == '.') {
        const size_t end = SkipDigits(text, at + 1);
        at = end == at + 1 ? std::string::npos : end;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E'))
        at = SkipSignedDigits(text, at + 1);
    return at == text.size();
}

// The number as printf's %g writes it in the C locale (0.001, 100000), whatever the locale of
// the program that loaded the library.
std::string NumberText(double number)
{
    char text[32];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, number, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

std::string OutOfRange(const std::string &minimum, const std::string &maximum)
{
    return "out of range (" + minimum + " to " + maximum + ")";
}

} // namespace

std::string ConfigProblem(const char *variable, const std::string &value,
                          const std::string &problem)
{
    std::string quoted;
    for (const char c : value) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E || c == '"' || c == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return std::string(variable) + ": \"" + quoted + "\" " + problem;
}

std::string Trimmed(const std::string &text)
{
    const char *blank = " \t";
    const size_t first = text.find_first_not_of(blank);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blank) - first + 1);
}

std::string VariableValue(const VariableLookup &lookup, const char *variable)
{
    const char *value = lookup(variable);
    return value == nullptr ? std::string() : std::string(value);
}

std::string ParseInteger(const std::string &text, int64_t minimum, int64_t maximum, int64_t *value)
{
    if (!IsInteger(text))
        return "not an integer";
    int64_t parsed = 0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc() || parsed < minimum || parsed > maximum)
        return OutOfRange(std::to_string(minimum), std::to_string(maximum));
    *value = parsed;
    return {};
}

std::string ParseNumber(const std::string &text, double minimum, double maximum, double *value)
{
    if (!IsNumber(text))
        return "not a number";
    double parsed = 0;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (result.ec != std::errc() || parsed < minimum || parsed > maximum)
        return OutOfRange(NumberText(minimum), NumberText(maximum));
    *value = parsed;
    return {};
}

std::string ReadInteger(const VariableLookup &lookup, const char *variable, int64_t minimum,
                        int64_t maximum, int64_t *value)
{
    const std::string given = VariableValue(lookup, variable);
    const std::string text = Trimmed(given);
    if (text.empty())
        return {};
    const std::string problem = ParseInteger(text, minimum, maximum, value);
    return problem.empty() ? problem : ConfigProblem(variable, given, "is " + problem);
}

std::string ReadNumber(const VariableLookup &lookup, const char *variable, double minimum,
                       double maximum, double *value)
{
    const std::string given = VariableValue(lookup, variable);
    const std::string text = Trimmed(given);
    if (text.empty())
        return {};
    const std::string problem = ParseNumber(text, minimum, maximum, value);
    return problem.empty() ? problem : ConfigProblem(variable, given, "is " + problem);
}

std::vector<std::string> SplitList(const std::string &text, char separator)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find(separator, start);
        const std::string item = Trimmed(text.substr(start, end - start));
        if (!item.empty())
            items.push_back(item);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return items;
}
