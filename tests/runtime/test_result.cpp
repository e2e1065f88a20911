// Results: a value or an error, and the value of an error is a fault that stops the
// program in every build, not a read of memory that holds no value.

#include "Result.h"

#include <gtest/gtest.h>

#include <QString>

namespace {

rt::Result<QString> found(bool ok) {
    if (!ok) return rt::Error{rt::err::FileNotFound, QStringLiteral("no such file")};
    return QStringLiteral("C:\\foto");
}

TEST(ResultDeathTest, TheValueOfAnErrorStopsTheProgramNamingIt) {
    EXPECT_EQ(found(true).value(), QStringLiteral("C:\\foto"));
    EXPECT_EQ(found(false).valueOr(QStringLiteral("-")), QStringLiteral("-"));
    const rt::Result<QString> missing = found(false);
    EXPECT_DEATH((void)missing.value(), "error 53 \\(no such file\\)");
    EXPECT_DEATH((void)found(false).value(), "error 53");
}

} // namespace
