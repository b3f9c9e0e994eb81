// k740-convert's command line: how options, their values and plain arguments are told apart,
// and what is refused with which line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/convert_options.h"

namespace {

using k740::convert::CommandLine;

CommandLine dumpLine() {
    CommandLine c("dump", "  k740-convert dump FILE\n", "");
    c.addFlag("live", "Assemble as the live receiver does.");
    c.addOption("protocol", "0|1", "Protocol.");
    return c;
}

// Parses `k740-convert dump WORDS...`; the refusal's line on stderr in *err.
int parse(CommandLine& c, std::vector<std::string> words, std::string* err = nullptr) {
    words.insert(words.begin(), {"k740-convert", "dump"});
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int rc = c.parse(static_cast<int>(argv.size()), argv.data());
    testing::internal::GetCapturedStdout();
    const std::string text = testing::internal::GetCapturedStderr();
    if (err) *err = text;
    return rc;
}

TEST(ConvertOptions, OptionsValuesAndPlainArgumentsAreToldApart) {
    CommandLine c = dumpLine();
    ASSERT_EQ(parse(c, {"a\xff", "-", "--protocol", "1", "-protocol=0", "-live", "--", "--live", "-x"}), -1);
    EXPECT_EQ(c.arguments(), (std::vector<std::string>{"a\xff", "-", "--live", "-x"}));
    EXPECT_TRUE(c.isSet("live"));
    EXPECT_EQ(c.value("protocol"), "0");  // the last one given
    EXPECT_FALSE(c.isSet("frames"));     // not an option of this command
    EXPECT_EQ(c.value("frames", "7"), "7");

    // A value is the next argument whatever it looks like, or the text after the first '='.
    CommandLine d = dumpLine();
    ASSERT_EQ(parse(d, {"--protocol", "--live", "f", "--protocol=a=b"}), -1);
    EXPECT_FALSE(d.isSet("live"));
    EXPECT_EQ(d.value("protocol"), "a=b");
    EXPECT_EQ(d.arguments(), std::vector<std::string>{"f"});
    long n = 5;
    EXPECT_FALSE(d.whole("protocol", 0, 1, "0 or 1", &n));
    EXPECT_EQ(n, 5);
}

TEST(ConvertOptions, RefusalsNameWhatIsWrongAndHelpEndsTheCommand) {
    const std::string help = " (run 'k740-convert dump --help' for usage)\n";
    struct Case {
        std::vector<std::string> words;
        std::string line;
    };
    const std::vector<Case> cases = {
        {{"f", "--protocol"}, "k740-convert: Missing value after '--protocol'." + help},
        {{"f", "--live=1"}, "k740-convert: Unexpected value after '--live'." + help},
        {{"f", "--bogus=2", "-y"}, "k740-convert: unknown option '--bogus' for 'dump'" + help},
        {{"-dash.pcap"},
         "k740-convert: unknown option '-dash.pcap' for 'dump' (a file name beginning with '-' goes after '--')" +
             help},
    };
    for (const Case& k : cases) {
        CommandLine c = dumpLine();
        std::string err;
        EXPECT_EQ(parse(c, k.words, &err), 2) << k.line;
        EXPECT_EQ(err, k.line);
    }
    for (const char* flag : {"-h", "--help"}) {
        CommandLine c = dumpLine();
        EXPECT_EQ(parse(c, {"f", flag}), 0) << flag;
    }
}

}  // namespace
