#include "CommandTokenizer.h"
#include "PrintEscaped.h"

#include <gtest/gtest.h>

namespace {

struct TokenizerCase {
    const char* line;
    QStringList words;
};

void PrintTo(const TokenizerCase& c, std::ostream* os) {
    printEscaped(c.line, os);
}

class TokenizerTest : public testing::TestWithParam<TokenizerCase> {};

TEST_P(TokenizerTest, SplitsIntoWords) {
    EXPECT_EQ(tokenizeCommandLine(QString::fromUtf8(GetParam().line)), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TokenizerTest,
    testing::Values(TokenizerCase{"", {}}, TokenizerCase{"   \t ", {}},
                    TokenizerCase{"writebyte 2A 01 FF", {"writebyte", "2A", "01", "FF"}},
                    TokenizerCase{"  readbyte\t2A   00  ", {"readbyte", "2A", "00"}},
                    TokenizerCase{"echo done\r\n", {"echo", "done"}},
                    TokenizerCase{"statusmsga \"two  words \"", {"statusmsga", "two  words "}},
                    TokenizerCase{"statusmsga \"\"", {"statusmsga", ""}},
                    TokenizerCase{"a\"b c\"d", {"a", "b c", "d"}},
                    TokenizerCase{"\"first\" second", {"first", "second"}},
                    TokenizerCase{"x \"unclosed quote  kept", {"x", "unclosed quote  kept"}},
                    TokenizerCase{"\"\"\"\"", {"", ""}}));

} // namespace
