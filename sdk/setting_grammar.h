// The one grammar of the camera library's settings, and the one-line refusal of a bad value.
//
// Every SIMCAM_ and CAMERA_SDK_ variable is read this way, and so is a number or integer that a
// backend reads from a CAMERA_SDK_FEATURES value:
// - Spaces and tabs around a value are ignored. A variable that is unset, empty or blank keeps
//   its default.
// - Integer: an optional minus sign, then decimal digits, within the variable's range.
//   Refused as `VAR: "value" is not an integer` or `VAR: "value" is out of range (MIN to MAX)`.
// - Number: decimal, with an optional minus sign, fraction and exponent (50, 0.5, 2.5e-3, 1e2);
//   a point has digits on both sides; no inf, nan, hex or plus sign. Refused as
//   `VAR: "value" is not a number` or `VAR: "value" is out of range (MIN to MAX)`.
// - List: items separated by the variable's separator; spaces and tabs around each item are
//   ignored and blank items are skipped (so a trailing separator is harmless).
// - A refusal names the variable and quotes the value as given (ConfigProblem); the library
//   prints it as one line on standard error, after "Jai_Factory: ".
#ifndef JAI_FACTORY_SETTING_GRAMMAR_H
#define JAI_FACTORY_SETTING_GRAMMAR_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reads one configuration variable by name: its value, or null when it is not set.
using VariableLookup = std::function<const char *(const char *name)>;

// The refusal line for a bad value: `variable: "value" problem`, with every byte of value
// outside printable ASCII (and the quote and backslash) written as \xNN, so that the line
// stays one line.
std::string ConfigProblem(const char *variable, const std::string &value,
                          const std::string &problem);

// text without the spaces and tabs around it.
std::string Trimmed(const std::string &text);

// The variable's value as given; empty when it is unset.
std::string VariableValue(const VariableLookup &lookup, const char *variable);

// text (nothing around it) as an integer or number from minimum to maximum. Each returns the
// problem, "not an integer" / "not a number" or "out of range (minimum to maximum)", or empty
// once it has set *value.
std::string ParseInteger(const std::string &text, int64_t minimum, int64_t maximum, int64_t *value);
std::string ParseNumber(const std::string &text, double minimum, double maximum, double *value);

// The variable read as an integer or number from minimum to maximum. Each returns the
// refusal line, or empty once it has set *value or found the variable blank (*value keeps
// its default).
std::string ReadInteger(const VariableLookup &lookup, const char *variable, int64_t minimum,
                        int64_t maximum, int64_t *value);
std::string ReadNumber(const VariableLookup &lookup, const char *variable, double minimum,
                       double maximum, double *value);

// The items of a list, trimmed, without the blank ones.
std::vector<std::string> SplitList(const std::string &text, char separator);

#endif
