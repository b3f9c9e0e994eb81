// Option parsing of k740-convert's subcommands.
#include "tools/convert_options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "export/save_options.h"  // the angle-range rule
#include "tools/exit_codes.h"

namespace k740::convert {

int usageError(const std::string& command, const std::string& message) {
    const std::string help = command.empty() ? "k740-convert --help" : "k740-convert " + command + " --help";
    std::fprintf(stderr, "k740-convert: %s (run '%s' for usage)\n", message.c_str(), help.c_str());
    return tools::kExitUsage;
}

namespace {

// The text without the blanks around it, when what is left is a plain decimal number.
bool decimalText(const std::string& text, std::string* trimmed) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    std::size_t i = b;
    if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < e && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    if (i < e && text[i] == '.') {
        ++i;
        while (i < e && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < e && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != e) return false;
    *trimmed = text.substr(b, e - b);
    return true;
}

}  // namespace

bool parseReal(const std::string& text, double lo, double hi, double* out) {
    std::string t;
    if (!decimalText(text, &t)) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (errno == ERANGE || end != t.c_str() + t.size() || !std::isfinite(v) || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parseWhole(const std::string& text, long lo, long hi, long* out) {
    double v = 0.0;
    if (!parseReal(text, static_cast<double>(lo), static_cast<double>(hi), &v) || v != std::trunc(v)) return false;
    *out = static_cast<long>(v);
    return true;
}

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// The option's name in an argument after its dashes: up to the first '='.
std::string optionName(const std::string& argument, std::size_t dashes) {
    return argument.substr(dashes, argument.find('=', dashes) - dashes);
}

}  // namespace

CommandLine::CommandLine(std::string command, std::string synopsis, std::string about)
    : m_Command(std::move(command)), m_Synopsis(std::move(synopsis)), m_About(std::move(about)) {
    m_Options.push_back(Option{{"h", "help"}, std::string(), "Shows this help.", {}, false});
}

void CommandLine::addFlag(const std::string& name, const std::string& description) {
    m_Options.push_back(Option{{name}, std::string(), description, {}, false});
}

void CommandLine::addOption(const std::string& name, const std::string& valueName, const std::string& description) {
    m_Options.push_back(Option{{name}, valueName, description, {}, false});
}

CommandLine::Option* CommandLine::find(const std::string& name) {
    for (Option& o : m_Options)
        if (std::find(o.names.begin(), o.names.end(), name) != o.names.end()) return &o;
    return nullptr;
}

const CommandLine::Option* CommandLine::find(const std::string& name) const {
    return const_cast<CommandLine*>(this)->find(name);
}

void CommandLine::readOption(int* at, std::size_t dashes, int argc, char** argv, std::vector<std::string>* unknown,
                             std::string* error) {
    const std::string argument = argv[*at];
    const std::string name = optionName(argument, dashes);
    Option* o = find(name);
    if (o == nullptr) {
        unknown->push_back(name);
        return;
    }
    o->given = true;
    const std::size_t assign = argument.find('=');
    if (o->valueName.empty()) {
        if (assign != std::string::npos) *error = "Unexpected value after '" + argument.substr(0, assign) + "'.";
        return;
    }
    if (assign != std::string::npos) {
        o->values.push_back(argument.substr(assign + 1));
    } else if (*at + 1 < argc) {
        o->values.push_back(argv[++*at]);  // the next argument, whatever it looks like
    } else {
        *error = "Missing value after '" + argument + "'.";
    }
}

int CommandLine::parse(int argc, char** argv) {
    m_Given.assign(argv + std::min(argc, 2), argv + std::max(argc, 2));
    m_Plain.clear();
    for (Option& o : m_Options) {
        o.values.clear();
        o.given = false;
    }
    std::vector<std::string> unknown;
    std::string error;  // the last missing or unexpected value
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string argument = argv[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            m_Plain.push_back(argument);  // "-" alone is a plain argument too
        } else if (argument == "--") {
            optionsEnded = true;
        } else {
            readOption(&i, startsWith(argument, "--") ? 2 : 1, argc, argv, &unknown, &error);
        }
    }
    if (!unknown.empty()) {
        const std::string typed = typedOption(unknown.front());
        std::string message = "unknown option '" + typed + "' for '" + m_Command + "'";
        if (typed.size() > 2 && typed[1] != '-') message += " (a file name beginning with '-' goes after '--')";
        return refuse(message);
    }
    if (!error.empty()) return refuse(error);
    if (isSet("help")) {
        std::fputs(helpText().c_str(), stdout);
        return tools::kExitOk;
    }
    return -1;
}

std::string CommandLine::typedOption(const std::string& name) const {
    // "-x", "--x" and "--x=1" all name "x".
    for (const std::string& a : m_Given) {
        if (a == "--") break;
        if (a.size() < 2 || a[0] != '-') continue;
        const std::size_t dashes = startsWith(a, "--") ? 2 : 1;
        if (optionName(a, dashes) == name) return a.substr(0, a.find('='));
    }
    return "--" + name;
}

bool CommandLine::isSet(const std::string& name) const {
    const Option* o = find(name);
    return o != nullptr && o->given;
}

std::string CommandLine::value(const std::string& name, const std::string& fallback) const {
    if (!isSet(name)) return fallback;
    const Option* o = find(name);
    return o->values.empty() ? std::string() : o->values.back();
}

bool CommandLine::whole(const std::string& name, long lo, long hi, const std::string& what, long* out) const {
    if (!isSet(name)) return true;
    const std::string text = value(name);
    if (parseWhole(text, lo, hi, out)) return true;
    refuse("--" + name + " takes " + what + ", not '" + text + "'");
    return false;
}

bool CommandLine::real(const std::string& name, double lo, double hi, const std::string& what, double* out) const {
    if (!isSet(name)) return true;
    const std::string text = value(name);
    if (parseReal(text, lo, hi, out)) return true;
    refuse("--" + name + " takes " + what + ", not '" + text + "'");
    return false;
}

bool CommandLine::angleRange(float* lo, float* hi) const {
    // Any finite number here; the angle-range rule says what it makes of it.
    constexpr double kAny = std::numeric_limits<double>::max();
    double min = *lo, max = *hi;
    if (!real("angle-min", -kAny, kAny, "a number of degrees", &min)) return false;
    if (!real("angle-max", -kAny, kAny, "a number of degrees", &max)) return false;
    *lo = static_cast<float>(min);
    *hi = static_cast<float>(max);
    const std::string complaint = checkAngleRange(lo, hi);
    if (complaint.empty()) return true;
    refuse("--angle-min/--angle-max: " + complaint +
           ": both lie within 0..360, the minimum not above the maximum");
    return false;
}

std::string CommandLine::helpText() const {
    std::string text = "usage:\n" + m_Synopsis + "\noptions:\n";
    for (const Option& o : m_Options) {
        std::string head = "  --" + o.names.back();
        if (!o.valueName.empty()) head += " " + o.valueName;
        head.resize(std::max<std::size_t>(head.size() + 2, 26), ' ');
        text += head + o.description + "\n";
    }
    if (!m_About.empty()) text += "\n" + m_About;
    return text;
}

}  // namespace k740::convert
