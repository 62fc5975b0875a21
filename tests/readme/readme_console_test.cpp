// The README's console example is a real start-up of the default main.fx: a fresh run prints the
// same text, frame-rate figures aside. Every error line the README quotes names the source line
// that reports it.
#include "program.h"

#include <filesystem>
#include <regex>
#include <set>

namespace fs = std::filesystem;

namespace {

// The first fenced block after `heading`.
std::string BlockAfter(const std::string& text, const std::string& heading) {
    size_t at = text.find(heading);
    EXPECT_NE(at, std::string::npos) << heading;
    size_t start = text.find("\n```\n", at);
    EXPECT_NE(start, std::string::npos) << "no block after " << heading;
    start += 5;
    return text.substr(start, text.find("\n```\n", start) + 1 - start);
}

// The console up to its first frame-rate line, as a terminal leaves it on a page: the run of dispatch
// lines as one line. Frame-rate figures read N.
std::string AsOnPage(const std::string& console) {
    std::string head = console.substr(0, console.find(" fps            \n") + 17);
    head = std::regex_replace(head, std::regex("(Dispatch X=40,  y=22\r)+"), "Dispatch X=40,  y=22\n");
    return std::regex_replace(head, std::regex("[0-9]+\\.[0-9]{2} fps"), "N fps");
}

// The lines of the sources in `unit`'s folder that report `label`.
std::set<int> ReportingLines(const std::string& unit, const std::string& label) {
    std::set<int> lines;
    for (const auto& entry : fs::directory_iterator(SourceDir() + "/" + unit)) {
        std::istringstream source(ReadFile(entry.path().string()));
        std::string line;
        for (int number = 1; std::getline(source, line); ++number) {
            if (line.find("ErrorReport(") != std::string::npos &&
                line.find('"' + label + '"') != std::string::npos)
                lines.insert(number);
        }
    }
    return lines;
}

} // namespace

using Readme = ProgramTest;

TEST_F(Readme, TheConsoleExampleIsWhatTheDefaultShaderPrints) {
    const Window window = Start();
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(Says(" fps            \n", 1, 60)) << Stdout();
    Quit(window);

    const std::string readme = ReadFile(SourceDir() + "/README.md");
    EXPECT_EQ(AsOnPage(BlockAfter(readme, "## The console")), AsOnPage(Stdout()));
}

TEST_F(Readme, QuotedErrorLinesNameTheLineThatReports) {
    const std::string readme = ReadFile(SourceDir() + "/README.md");
    const std::regex quoted("ERROR : (d3d|scene) : ([0-9]+) 0x[0-9A-F]{8} : ([^`]+)`");
    int count = 0;
    for (auto it = std::sregex_iterator(readme.begin(), readme.end(), quoted); it != std::sregex_iterator();
         ++it) {
        const std::smatch& m = *it;
        EXPECT_EQ(ReportingLines(m[1], m[3]).count(std::stoi(m[2])), 1u) << m[0];
        ++count;
    }
    EXPECT_GT(count, 0);
}
