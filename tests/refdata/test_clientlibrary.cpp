// Runs in a process of its own: the client library is loaded once per process.
#include "refdata/firebird.h"

#include <gtest/gtest.h>

using namespace refdata;
using namespace Qt::Literals::StringLiterals;

TEST(ClientLibrary, MissingLibraryIsNamedInTheMessage)
{
    EXPECT_EQ(clientLibraryName(), u"libfbclient.so.2"_s);
    setClientLibraryName(u"libfbclient-missing.so.9"_s);
    Connection c;
    c.setDatabaseName(u"/tmp/any.gdb"_s);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            c.connect();
            FAIL() << "the library does not exist";
        } catch (const DbError& e) {
            EXPECT_EQ(e.message(), u"Can't load library libfbclient-missing.so.9 "_s);
        }
    }
    EXPECT_FALSE(c.connected());
}
