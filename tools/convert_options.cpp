// Option parsing of k740-convert's subcommands.
#include "tools/convert_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "export/save_options.h"
#include "tools/exit_codes.h"

namespace k740::convert {

int usageError(const std::string& command, const std::string& message) {
    const std::string help = command.empty() ? "k740-convert --help" : "k740-convert " + command + " --help";
    std::fprintf(stderr, "k740-convert: %s (run '%s' for usage)\n", message.c_str(), help.c_str());
    return tools::kExitUsage;
}

bool parseWhole(const std::string& text, long lo, long hi, long* out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parseReal(const std::string& text, double lo, double hi, double* out) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == nullptr || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
    *out = v;
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
    QStringList args{QString::fromStdString("k740-convert " + m_Command)};
    for (int i = 2; i < argc; ++i) {
        const QString decoded = QString::fromLocal8Bit(argv[i]);
        m_RawArguments.emplace(decoded, argv[i]);
        args << decoded;
    }
    if (!m_Parser->parse(args)) {
        const QStringList unknown = m_Parser->unknownOptionNames();
        if (!unknown.isEmpty())
            return refuse("unknown option '--" + unknown.first().toLocal8Bit().toStdString() + "' for '" +
                          m_Command + "'");
        return refuse(m_Parser->errorText().toStdString());
    }
    if (m_Parser->isSet(QStringLiteral("help"))) {
        std::fputs(helpText().c_str(), stdout);
        return tools::kExitOk;
    }
    return -1;
}

bool CommandLine::isSet(const QString& name) const {
    for (const QCommandLineOption& o : m_Options)
        if (o.names().contains(name)) return m_Parser->isSet(name);
    return false;
}

std::string CommandLine::raw(const QString& text) const {
    const auto it = m_RawArguments.find(text);
    return it != m_RawArguments.end() ? it->second : text.toLocal8Bit().toStdString();
}

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
    const QString complaint = checkAngleRange(lo, hi);
    if (complaint.isEmpty()) return true;
    refuse("--angle-min/--angle-max: " + complaint.toStdString() +
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
