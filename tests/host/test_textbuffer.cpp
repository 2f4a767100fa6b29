#include "host/textbuffer.h"

#include <gtest/gtest.h>

using namespace host;
using namespace Qt::Literals::StringLiterals;

namespace {

struct SplitCase {
    const char* name;
    QString text;
    QStringList lines;
};

class TextBufferSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(TextBufferSplit, CountsLinesWithoutAnEmptyLastLine)
{
    TextBuffer b;
    b.setText(GetParam().text);
    EXPECT_EQ(b.lines(), GetParam().lines);
    EXPECT_EQ(b.lineCount(), GetParam().lines.size());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextBufferSplit,
    testing::Values(SplitCase{"empty", u""_s, {}}, SplitCase{"oneBreak", u"\n"_s, {u""_s}},
                    SplitCase{"noFinalBreak", u"A\nB"_s, {u"A"_s, u"B"_s}},
                    SplitCase{"finalBreak", u"A\nB\n"_s, {u"A"_s, u"B"_s}},
                    SplitCase{"emptyLineBeforeFinalBreak", u"A\n\n"_s, {u"A"_s, u""_s}},
                    SplitCase{"crlfAndCr", u"A\r\nB\rC\r\n"_s, {u"A"_s, u"B"_s, u"C"_s}},
                    SplitCase{"lfCrIsTwoBreaks", u"A\n\rB"_s, {u"A"_s, u""_s, u"B"_s}},
                    SplitCase{"blanksKept", u"  A  \n"_s, {u"  A  "_s}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextBuffer, ReadingOutsideTheLinesGivesEmptyText)
{
    TextBuffer b;
    b.setText(u"A\nB\n"_s);
    EXPECT_EQ(b.line(1), u"B"_s);
    EXPECT_EQ(b.line(2), QString());
    EXPECT_EQ(b.line(1000), QString());
    EXPECT_EQ(b.line(-1), QString());
}

TEST(TextBuffer, DeletesAppendsAndGivesItsTextBack)
{
    TextBuffer b;
    b.setText(u"A\nB\nC"_s);
    b.deleteLine(1);
    b.deleteLine(7); // not there: nothing happens
    b.deleteLine(-1);
    b.appendLine(u"D\r\nE"_s); // a text with a break adds two lines
    b.appendLine(QString());
    EXPECT_EQ(b.lines(), (QStringList{u"A"_s, u"C"_s, u"D"_s, u"E"_s, u""_s}));
    EXPECT_EQ(b.text(), u"A\r\nC\r\nD\r\nE\r\n\r\n"_s);

    TextBuffer copy;
    copy.setText(b.text()); // the text reads back as the same lines
    EXPECT_EQ(copy.lines(), b.lines());
}

TEST(TextBuffer, FindsLinesIgnoringLetterCaseButNotBlanks)
{
    TextBuffer b;
    b.setText(u"FARE EUR 100\nTax Line\n"_s);
    EXPECT_EQ(b.indexOfLine(u"tax line"_s), 1);
    EXPECT_TRUE(b.containsLine(u"fare eur 100"_s));
    EXPECT_FALSE(b.containsLine(u"TAX LINE "_s));
    EXPECT_FALSE(b.containsLine(u"TAX"_s));
    EXPECT_EQ(b.indexOfLine(QString()), -1);
}

} // namespace
