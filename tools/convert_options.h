// k740-convert's subcommands read their options one way: a command line per subcommand,
// with its own help (k740-convert SUB --help), one usage-error line that points there, and
// numbers read in one place. Arguments are bytes: file names come back exactly as given,
// whatever their encoding.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace k740::convert {

// Prints "k740-convert: MESSAGE (run 'k740-convert COMMAND --help' for usage)" on stderr and
// returns the usage exit status; an empty command points at 'k740-convert --help'.
int usageError(const std::string& command, const std::string& message);

// A decimal number within [lo, hi] and nothing else: optional sign, digits with an optional
// fraction and exponent, blanks around it allowed. parseWhole takes only whole values ("2",
// " 2", "2.0", "2e0"); parseReal any finite one. False, with *out untouched, otherwise (empty
// text, hexadecimal, "inf", "nan", other characters, out of range).
bool parseWhole(const std::string& text, long lo, long hi, long* out);
bool parseReal(const std::string& text, double lo, double hi, double* out);

// The options and arguments of one subcommand (argv[1]).
class CommandLine {
public:
    // synopsis: the usage lines after "usage:"; about: the explanation after the options.
    CommandLine(std::string command, std::string synopsis, std::string about);

    void addFlag(const std::string& name, const std::string& description);
    void addOption(const std::string& name, const std::string& valueName, const std::string& description);

    // Parses argv[2..]. Returns -1 when the subcommand is to run; otherwise its exit status:
    // 0 after printing the help for --help, the usage status after reporting a refusal.
    // Options are words after one dash or two ("-port", "--port"), a value after '=' or as
    // the next argument; "--" ends the options, and "-" alone is a plain argument.
    int parse(int argc, char** argv);

    // Whether the option was given; false for an option this subcommand does not have.
    bool isSet(const std::string& name) const;
    // The option's value as given (the last one when repeated), or the fallback.
    std::string value(const std::string& name, const std::string& fallback = std::string()) const;
    // The plain arguments in order, byte for byte as given.
    std::vector<std::string> arguments() const { return m_Plain; }

    // The option's value as a whole number in [lo, hi] (or a finite number in [lo, hi]); an
    // option not given leaves *out as it is. A refused value is reported as "--NAME takes
    // WHAT, not VALUE" and gives false.
    bool whole(const std::string& name, long lo, long hi, const std::string& what, long* out) const;
    bool real(const std::string& name, double lo, double hi, const std::string& what, double* out) const;

    // --angle-min and --angle-max (when given) as *lo and *hi, by the export's angle-range rule
    // (checkAngleRange); false after reporting a refusal.
    bool angleRange(float* lo, float* hi) const;

    // Reports a refusal of this subcommand's arguments; returns the usage exit status.
    int refuse(const std::string& message) const { return usageError(m_Command, message); }
    std::string helpText() const;
    const std::string& command() const { return m_Command; }

private:
    struct Option {
        std::vector<std::string> names;  // the help's name last
        std::string valueName;           // empty for a flag
        std::string description;
        std::vector<std::string> values;  // the values given, in order (options with a value)
        bool given = false;
    };
    Option* find(const std::string& name);
    const Option* find(const std::string& name) const;
    // Reads the option argument argv[*at] (its name after `dashes` dashes): an unknown name
    // joins *unknown, a missing or unexpected value sets *error; *at moves past a value taken
    // from the next argument.
    void readOption(int* at, std::size_t dashes, int argc, char** argv, std::vector<std::string>* unknown,
                    std::string* error);
    // The option as the user typed it (up to any '='), for the unknown option named `name`.
    std::string typedOption(const std::string& name) const;

    std::string m_Command;
    std::string m_Synopsis;
    std::string m_About;
    std::vector<Option> m_Options;
    std::vector<std::string> m_Given;  // argv[2..] as given
    std::vector<std::string> m_Plain;
};

}  // namespace k740::convert
