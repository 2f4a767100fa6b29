#include "host/termlinkprotocol.h"
#include "support/qstringprint.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace host::termlink;
using namespace Qt::Literals::StringLiterals;

namespace {

TEST(FrameReader, CutsFramesOutOfAStreamHoweverItArrives)
{
    const QByteArray stream = encodeFrame(kind::Answer, 1, u"PAGE ONE\n)>"_s) +
                              encodeFrame(kind::Error, 0x01020304u, QString()) +
                              encodeFrame(kind::Send, 0xFFFFFFFFu, u"FQC10.00USD/RUB \u20ac"_s);
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
        EXPECT_EQ(frames[0].number, 1u);
        EXPECT_EQ(frames[0].text, u"PAGE ONE\n)>"_s);
        EXPECT_EQ(frames[1].kind, kind::Error);
        EXPECT_EQ(frames[1].number, 0x01020304u);
        EXPECT_TRUE(frames[1].text.isEmpty());
        EXPECT_EQ(frames[2].number, 0xFFFFFFFFu);
        EXPECT_EQ(frames[2].text, u"FQC10.00USD/RUB \u20ac"_s);
        EXPECT_FALSE(reader.failed());
        EXPECT_FALSE(reader.hasPendingBytes());
    }
}

QByteArray header(std::uint32_t length)
{
    QByteArray h(4, Qt::Uninitialized);
    qToBigEndian(length, h.data());
    return h;
}

using Failure = FrameReader::Failure;

struct LengthCase {
    const char* name;
    std::uint32_t length; // announced payload length (kind, request number, text)
    Failure failure;
};

class FrameLength : public testing::TestWithParam<LengthCase> {};

// A length beyond the limit fails as soon as the header is there, without waiting for
// (or keeping) the bytes it announces.
TEST_P(FrameLength, IsCheckedOnTheHeaderAlone)
{
    FrameReader reader(10);
    reader.append(header(GetParam().length));
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.failure(), GetParam().failure);
    EXPECT_EQ(reader.failed(), GetParam().failure != Failure::None);
    if (reader.failed()) {
        EXPECT_EQ(reader.failedLength(), GetParam().length);
        reader.append(encodeFrame(kind::Answer, 1, u"X"_s)); // nothing after it is trusted
        EXPECT_FALSE(reader.next());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, FrameLength,
    testing::Values(LengthCase{"empty", 0, Failure::Empty},
                    LengthCase{"kindOnly", 1, Failure::TooShort},
                    LengthCase{"oneByteOfTheNumberMissing", 4, Failure::TooShort},
                    LengthCase{"noText", 5, Failure::None},
                    LengthCase{"atTheLimit", 15, Failure::None},
                    LengthCase{"oneByteOver", 16, Failure::TooLarge},
                    LengthCase{"fourGigabytes", 0xFFFFFFFFu, Failure::TooLarge}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameReader, TextThatIsNotUtf8BreaksTheStream)
{
    QByteArray frame = encodeFrame(kind::Answer, 3, u"AB"_s);
    frame[9] = '\xff';
    FrameReader reader(100);
    reader.append(frame + encodeFrame(kind::Answer, 4, u"C"_s));
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.failure(), Failure::NotUtf8);
    EXPECT_FALSE(reader.next());
}

} // namespace
