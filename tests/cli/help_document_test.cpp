#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/cli_support.h"
#include "tests/support/expected_pages.h"

using namespace cli_testing;
using testing_support::Expect;
using testing_support::ExpectedPage;
using testing_support::ExpectedPages;
using testing_support::ExpectedParam;

namespace {

std::string Guide() {
    std::ifstream in(PluginFolder() + "/LUMAPLUG.HTML", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Matches(const std::string& text, const std::regex& pattern) {
    std::vector<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) found.push_back((*it)[1]);
    return found;
}

std::string Anchor(const std::string& name) {
    std::string anchor;
    for (char c : name)
        if (c != ' ') anchor += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return anchor;
}

// The rows of the table in an effect's section, each as its cells.
std::vector<std::vector<std::string>> SectionRows(const std::string& guide, const std::string& anchor) {
    std::size_t start = guide.find("id=\"" + anchor + "\"");
    if (start == std::string::npos) return {};
    std::size_t end = std::min(guide.find("<h3", start + 1), guide.find("<h2", start + 1));
    const std::string section = guide.substr(start, end - start);
    std::vector<std::vector<std::string>> rows;
    const std::regex row("<tr>(.*?)</tr>");
    const std::regex cell("<td>(.*?)</td>");
    for (const std::string& r : Matches(section, row)) {
        std::vector<std::string> cells = Matches(r, cell);
        if (!cells.empty()) rows.push_back(cells);
    }
    return rows;
}

std::string Plain(std::string label) {
    while (!label.empty() && label.back() == ':') label.pop_back();
    return label;
}

std::string Hex(unsigned colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return text;
}

TEST(HelpDocument, LiesBesideThePluginWithTheAnchorsThePluginAsksFor) {
    const std::string guide = Guide();
    ASSERT_FALSE(guide.empty());
    const std::vector<std::string> ids = Matches(guide, std::regex("id=\"([^\"]+)\""));
    std::set<std::string> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), ids.size()) << "an anchor is used twice";
    EXPECT_TRUE(unique.count("PREFACE"));
    EXPECT_TRUE(unique.count("ABOUT"));
    for (const ExpectedPage& page : ExpectedPages()) EXPECT_TRUE(unique.count(Anchor(page.name))) << page.name;
    // Every link within the guide leads somewhere.
    for (const std::string& target : Matches(guide, std::regex("href=\"#([^\"]+)\"")))
        EXPECT_TRUE(unique.count(target)) << target;
    EXPECT_NE(guide.find("<title>Lumafex user guide</title>"), std::string::npos);
    EXPECT_NE(guide.find("</html>"), std::string::npos);
}

TEST(HelpDocument, EveryPageControlWithItsValuesAndDefault) {
    const std::string guide = Guide();
    for (const ExpectedPage& page : ExpectedPages()) {
        const auto rows = SectionRows(guide, Anchor(page.name));
        std::size_t shown = 0;
        for (const ExpectedParam& param : page.params) {
            if (param.kind == Expect::Hidden) continue;
            ++shown;
            std::string name = Plain(param.label);
            if (name == "Enable") {
                // An Enable box goes by the colour of its row.
                const std::string colourKey = param.key.substr(0, param.key.size() - 7) + "Color" + param.key.back();
                for (const ExpectedParam& other : page.params)
                    if (other.key == colourKey) name = Plain(other.label) + " Enable";
            }
            auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& cells) { return cells[0] == name; });
            ASSERT_NE(row, rows.end()) << page.name << ": " << name;
            ASSERT_EQ(row->size(), 4u) << page.name << ": " << name;
            const std::string& values = (*row)[1];
            const std::string& fallback = (*row)[2];
            switch (param.kind) {
            case Expect::Spin:
                EXPECT_EQ(values, std::to_string(param.min) + " to " + std::to_string(param.max)) << name;
                EXPECT_EQ(fallback.substr(0, fallback.find(' ')), std::to_string(param.builtIn)) << name;
                break;
            case Expect::Signed:
                EXPECT_EQ(values, std::to_string(param.min) + " to " + std::to_string(param.max)) << name;
                EXPECT_EQ(fallback, param.builtInText) << name;
                break;
            case Expect::Delay:
                EXPECT_NE(values.find("1 to 100"), std::string::npos) << name;
                EXPECT_NE(values.find("1 to 1000"), std::string::npos) << name;
                EXPECT_EQ(fallback, std::to_string(param.builtIn) + " (with Shift held: " +
                                        std::to_string(param.shiftHundredths) + ", or " +
                                        std::to_string(param.shiftMilliseconds) + " milliseconds)")
                    << name;
                break;
            case Expect::Colour:
                EXPECT_EQ(fallback, Hex(param.builtIn)) << name;
                break;
            case Expect::Check:
                EXPECT_EQ(fallback, param.builtIn ? "on" : "off") << name;
                break;
            case Expect::Combo: {
                std::string items = param.items;
                std::string joined;
                for (std::size_t at = 0; at <= items.size();) {
                    std::size_t end = std::min(items.find(';', at), items.size());
                    joined += (joined.empty() ? "" : " | ") + items.substr(at, end - at);
                    at = end + 1;
                }
                EXPECT_EQ(values, joined) << name;
                break;
            }
            case Expect::Pad:
                EXPECT_EQ(fallback, "right") << name;
                break;
            case Expect::Hidden:
                break;
            }
            EXPECT_FALSE((*row)[3].empty()) << name << " is not explained";
        }
        EXPECT_EQ(rows.size(), shown) << page.name;
    }
}

}  // namespace
