// The links of the settings dialog: the command each hands to the launcher, the pointer
// around it, what each says when the launcher fails, and whether it reports the start.

#include "FakePlatform.h"
#include "Links.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using PointerShape = rt::PointerShape;

struct LinkCase {
    const char* name;
    std::function<bool(rt::Platform&)> open;
    QString command;
    int style;
    std::vector<PointerShape> pointer; // shapes set, in order
    QString failure;                   // the message when the launcher fails; empty: none
};

class Links : public testing::TestWithParam<LinkCase> {
protected:
    FakePlatform fp{QStringLiteral("D:\\Le mie cose\\Quadrello 2")};
};

TEST_P(Links, StartOrSayWhy) {
    const LinkCase& c = GetParam();
    EXPECT_TRUE(c.open(fp.platform));
    ASSERT_EQ(fp.launcher.calls.size(), 1u);
    EXPECT_EQ(fp.launcher.calls[0].commandLine, c.command);
    EXPECT_EQ(fp.launcher.calls[0].windowStyle, c.style);
    EXPECT_EQ(fp.pointer.shapes, c.pointer);
    EXPECT_TRUE(fp.messages.shown.empty());

    fp.launcher.result = rt::Error{70, QStringLiteral("test")};
    EXPECT_FALSE(c.open(fp.platform));
    EXPECT_EQ(fp.messages.texts(), c.failure.isEmpty() ? QStringList() : QStringList{c.failure});
    for (const ShownMessage& m : fp.messages.shown) {
        EXPECT_EQ(m.style, rt::mb::Question);
        EXPECT_EQ(m.title, QStringLiteral("Quadrello"));
    }
}

const std::vector<PointerShape> ArrowAround{PointerShape::Arrow, PointerShape::Arrow};

INSTANTIATE_TEST_SUITE_P(
    All, Links,
    testing::Values(
        LinkCase{"Help",
                 info::ShowHelp,
                 "start \"D:\\Le mie cose\\Quadrello 2\\QUADREL.htm\"",
                 rt::MinimizedFocus,
                 {PointerShape::Default},
                 "Errore 70 - Non trovato il Browser, controllare installazione di Windows"},
        LinkCase{"CompanionText",
                 info::ShowCompanionText,
                 "NOTEPAD \"D:\\Le mie cose\\Quadrello 2\\TRV.txt\"",
                 rt::NormalFocus,
                 {},
                 "Non trovato NOTEPAD.EXE (Blocco appunti) controllare installazione Windows."},
        LinkCase{"Mail", info::WriteToAuthor, "start mailto:autore@quadrello.example",
                 rt::MinimizedFocus, ArrowAround, ""},
        // The address the dialog shows, whatever it is.
        LinkCase{"HomePage",
                 [](rt::Platform& p) {
                     return info::VisitHomePage(p, QStringLiteral("http://altro.example/"));
                 },
                 "start http://altro.example/", rt::MinimizedFocus, ArrowAround, ""}),
    [](const testing::TestParamInfo<LinkCase>& p) { return std::string(p.param.name); });

} // namespace
