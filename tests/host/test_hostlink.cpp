#include "host/hosterror.h"
#include "host/hostlink.h"
#include "support/recordinginteraction.h"
#include "support/scriptedhost.h"

#include <gtest/gtest.h>

using namespace host;
using namespace Qt::Literals::StringLiterals;

namespace {

class HostLinkTest : public testing::Test {
protected:
    HostLinkTest() { scripted.registerIn(registry); }

    testsupport::ScriptedHost scripted;
    AutomationRegistry registry;
    testsupport::RecordingInteraction ui;
    HostLink link{registry, ui};
};

TEST_F(HostLinkTest, ConnectsWhenTheTerminalHasSessions)
{
    scripted.count = 2;
    link.ConnectHost();
    EXPECT_TRUE(link.HostConnected());
    EXPECT_TRUE(ui.messages.isEmpty());
    ASSERT_NE(link.hostSession(), nullptr);
    EXPECT_EQ(scripted.sessionsCreated, 1);
    EXPECT_EQ(scripted.sessionCreated, 1);
}

struct FailureCase {
    const char* name;
    void (*arrange)(testsupport::ScriptedHost&);
    QStringView message;
    bool sessionCreated;
};

class HostLinkFailure : public HostLinkTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(HostLinkFailure, ShowsItsMessageAndStaysDisconnected)
{
    link.ConnectHost(); // connected first: a failed connection must not keep the old state
    ASSERT_TRUE(link.HostConnected());
    GetParam().arrange(scripted);
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{GetParam().message.toString()});
    EXPECT_EQ(link.hostSession(), nullptr);
    EXPECT_EQ(scripted.sessionCreated, GetParam().sessionCreated ? 2 : 1);
    EXPECT_THROW(link.session(), HostError);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, HostLinkFailure,
    testing::Values(
        FailureCase{"noSessions", [](auto& h) { h.count = 0; }, ConnectionErrorMessage, false},
        FailureCase{"sessionsNotCreated", [](auto& h) { h.failCreateSessions = true; },
                    NotRegisteredMessage, false},
        FailureCase{"countFails", [](auto& h) { h.failCount = true; }, NotRegisteredMessage, false},
        FailureCase{"sessionNotCreated", [](auto& h) { h.failCreateSession = true; },
                    NotRegisteredMessage, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostLinkTest, NothingRegisteredIsTheNotRegisteredMessage)
{
    AutomationRegistry empty;
    HostLink bare(empty, ui);
    bare.ConnectHost();
    EXPECT_FALSE(bare.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{NotRegisteredMessage.toString()});
}

TEST_F(HostLinkTest, AnObjectOfTheWrongInterfaceIsACreationFailure)
{
    struct NotASession : AutomationObject {};
    registry.registerClass(HostSessionProgId.toString(),
                           [] { return std::make_unique<NotASession>(); });
    link.ConnectHost();
    EXPECT_FALSE(link.HostConnected());
    EXPECT_EQ(ui.messages, QStringList{NotRegisteredMessage.toString()});
}

TEST_F(HostLinkTest, EveryConnectionReleasesTheObjectsBeforeCreatingNewOnes)
{
    link.ConnectHost();
    link.ConnectHost();
    EXPECT_EQ(scripted.alive, 2);
    EXPECT_EQ(scripted.sessionsCreated, 2);
    link.release();
    EXPECT_EQ(scripted.alive, 0);
    EXPECT_EQ(link.hostSessions(), nullptr);
    link.release(); // releasing twice is harmless
}

TEST_F(HostLinkTest, SendErrorsReachTheCaller)
{
    link.ConnectHost();
    scripted.failSend = true;
    EXPECT_THROW(link.session().Send(u"MD"_s, 1), HostError);
}

} // namespace
