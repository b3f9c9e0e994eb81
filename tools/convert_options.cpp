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


#include "export/save_options.h"
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

CommandLine::CommandLine(std::string command, std::string synopsis, std::string about)
    : m_Command(std::move(command)),
      m_Synopsis(std::move(synopsis)),
      m_About(std::move(about)),
      m_Parser(std::make_unique<QCommandLineParser>()) {
    m_Parser->setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_Options.emplace_back(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                           QStringLiteral("Shows this help."));
    m_Parser->addOption(m_Options.back());
}

void CommandLine::addFlag(const QString& name, const QString& description) {
    m_Options.emplace_back(name, description);
    m_Parser->addOption(m_Options.back());
}

void CommandLine::addOption(const QString& name, const QString& valueName, const QString& description) {
    m_Options.emplace_back(name, description, valueName);
    m_Parser->addOption(m_Options.back());
}

int CommandLine::parse(int argc, char** argv) {
    m_Arguments = QStringList{QString::fromStdString("k740-convert " + m_Command)};
    for (int i = 2; i < argc; ++i) m_Arguments << QString::fromLatin1(argv[i]);
    if (!m_Parser->parse(m_Arguments)) {
        const QStringList unknown = m_Parser->unknownOptionNames();
        if (!unknown.isEmpty()) {
            const std::string typed = typedOption(unknown.first());
            std::string message = "unknown option '" + typed + "' for '" + m_Command + "'";
            if (typed.size() > 2 && typed[1] != '-') message += " (a file name beginning with '-' goes after '--')";
            return refuse(message);
        }
        return refuse(raw(m_Parser->errorText()));
    }
    if (m_Parser->isSet(QStringLiteral("help"))) {
        std::fputs(helpText().c_str(), stdout);
        return tools::kExitOk;
    }
    return -1;
}

std::string CommandLine::typedOption(const QString& name) const {
    // With single-dash words read as long options, "-x", "--x" and "--x=1" all name "x".
    for (int i = 1; i < m_Arguments.size(); ++i) {
        const QString& a = m_Arguments[i];
        if (a == QLatin1String("--")) break;
        if (a.size() < 2 || !a.startsWith(QLatin1Char('-'))) continue;
        const int dashes = a.startsWith(QLatin1String("--")) ? 2 : 1;
        const QString option = a.section(QLatin1Char('='), 0, 0);
        if (option.mid(dashes) == name) return raw(option);
    }
    return "--" + raw(name);
}

bool CommandLine::isSet(const QString& name) const {
    for (const QCommandLineOption& o : m_Options)
        if (o.names().contains(name)) return m_Parser->isSet(name);
    return false;
}

std::string CommandLine::raw(const QString& text) { return text.toLatin1().toStdString(); }

std::string CommandLine::value(const QString& name, const std::string& fallback) const {
    return isSet(name) ? raw(m_Parser->value(name)) : fallback;
}

std::vector<std::string> CommandLine::arguments() const {
    std::vector<std::string> out;
    for (const QString& a : m_Parser->positionalArguments()) out.push_back(raw(a));
    return out;
}

bool CommandLine::whole(const QString& name, long lo, long hi, const std::string& what, long* out) const {
    if (!isSet(name)) return true;
    const std::string text = value(name);
    if (parseWhole(text, lo, hi, out)) return true;
    refuse("--" + name.toStdString() + " takes " + what + ", not '" + text + "'");
    return false;
}

bool CommandLine::real(const QString& name, double lo, double hi, const std::string& what, double* out) const {
    if (!isSet(name)) return true;
    const std::string text = value(name);
    if (parseReal(text, lo, hi, out)) return true;
    refuse("--" + name.toStdString() + " takes " + what + ", not '" + text + "'");
    return false;
}

bool CommandLine::angleRange(float* lo, float* hi) const {
    // Any finite number here; the angle-range rule says what it makes of it.
    constexpr double kAny = std::numeric_limits<double>::max();
    double min = *lo, max = *hi;
    if (!real(QStringLiteral("angle-min"), -kAny, kAny, "a number of degrees", &min)) return false;
    if (!real(QStringLiteral("angle-max"), -kAny, kAny, "a number of degrees", &max)) return false;
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
    for (const QCommandLineOption& o : m_Options) {
        std::string head = "  --" + o.names().last().toStdString();
        if (!o.valueName().isEmpty()) head += " " + o.valueName().toStdString();
        head.resize(std::max<std::size_t>(head.size() + 2, 26), ' ');
        text += head + o.description().toStdString() + "\n";
    }
    if (!m_About.empty()) text += "\n" + m_About;
    return text;
}

}  // namespace k740::convert
