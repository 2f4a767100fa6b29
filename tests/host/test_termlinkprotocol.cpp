#include "host/termlinkprotocol.h"
#include "support/qstringprint.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace host::termlink;
using namespace Qt::Literals::StringLiterals;

namespace {

TEST(FrameReader, CutsFramesOutOfAStreamHoweverItArrives)
{
    const QByteArray stream = encodeFrame(kind::Answer, u"PAGE ONE\n)>"_s) +
                              encodeFrame(kind::Error, QString()) +
                              encodeFrame(kind::Send, u"FQC10.00USD/RUB \u20ac"_s);
    for (qsizetype chunk : {qsizetype(1), qsizetype(3), stream.size()}) {
        SCOPED_TRACE(chunk);
        FrameReader reader(100);
        std::vector<Frame> frames;
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            reader.append(stream.mid(at, chunk));
            while (auto f = reader.next())
                frames.push_back(*f);
        }
        ASSERT_EQ(frames.size(), 3u);
        EXPECT_EQ(frames[0].kind, kind::Answer);
        EXPECT_EQ(frames[0].text, u"PAGE ONE\n)>"_s);
        EXPECT_EQ(frames[1].kind, kind::Error);
        EXPECT_TRUE(frames[1].text.isEmpty());
        EXPECT_EQ(frames[2].text, u"FQC10.00USD/RUB \u20ac"_s);
        EXPECT_FALSE(reader.failed());
    }
}

QByteArray header(std::uint32_t length)
{
    QByteArray h(4, Qt::Uninitialized);
    qToBigEndian(length, h.data());
    return h;
}

struct LengthCase {
    const char* name;
    std::uint32_t length; // announced payload length (kind byte + text)
    bool fails;
};

class FrameLength : public testing::TestWithParam<LengthCase> {};

// A length beyond the limit fails as soon as the header is there, without waiting for
// (or keeping) the bytes it announces.
TEST_P(FrameLength, IsCheckedOnTheHeaderAlone)
{
    FrameReader reader(10);
    reader.append(header(GetParam().length));
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.failed(), GetParam().fails);
    if (GetParam().fails) {
        EXPECT_EQ(reader.failedLength(), GetParam().length);
        reader.append(encodeFrame(kind::Answer, u"X"_s)); // nothing after it is trusted
        EXPECT_FALSE(reader.next());
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, FrameLength,
                         testing::Values(LengthCase{"empty", 0, true},
                                         LengthCase{"kindOnly", 1, false},
                                         LengthCase{"atTheLimit", 11, false},
                                         LengthCase{"oneByteOver", 12, true},
                                         LengthCase{"fourGigabytes", 0xFFFFFFFFu, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
