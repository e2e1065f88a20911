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
    const char* folder; // the program folder
    std::function<bool(rt::Platform&)> open;
    const char* command;
    int style;
    std::vector<PointerShape> pointer; // shapes set, in order
    const char* failure;               // the message when the launcher fails; "": none
};

class Links : public testing::TestWithParam<LinkCase> {
protected:
    FakePlatform fp{QString::fromUtf8(GetParam().folder)};
};

TEST_P(Links, StartOrSayWhy) {
    const LinkCase& c = GetParam();
    EXPECT_TRUE(c.open(fp.platform));
    ASSERT_EQ(fp.launcher.calls.size(), 1u);
    EXPECT_EQ(fp.launcher.calls[0].commandLine, QString::fromUtf8(c.command));
    EXPECT_EQ(fp.launcher.calls[0].windowStyle, c.style);
    EXPECT_EQ(fp.pointer.shapes, c.pointer);
    EXPECT_TRUE(fp.messages.shown.empty());

    fp.launcher.result = rt::Error{70, QStringLiteral("test")};
    EXPECT_FALSE(c.open(fp.platform));
    const QString failure = QString::fromUtf8(c.failure);
    EXPECT_EQ(fp.messages.texts(), failure.isEmpty() ? QStringList() : QStringList{failure});
    for (const ShownMessage& m : fp.messages.shown) {
        EXPECT_EQ(m.style, rt::mb::Question);
        EXPECT_EQ(m.title, QStringLiteral("Quadrello"));
    }
}

const std::vector<PointerShape> PointerLeftAlone;
const std::vector<PointerShape> DefaultPointer{PointerShape::Default};
const std::vector<PointerShape> ArrowAround{PointerShape::Arrow, PointerShape::Arrow};
const char* const Blanks = "D:\\Le mie cose\\Quadrello 2";
const char* const Root = "C:\\";
const char* const HelpFailure =
    "Errore 70 - Non trovato il Browser, controllare installazione di Windows";
const char* const NotepadFailure =
    "Non trovato NOTEPAD.EXE (Blocco appunti) controllare installazione Windows.";

bool homePage(rt::Platform& p) {
    // The address the dialog shows, whatever it is.
    return info::VisitHomePage(p, QStringLiteral("http://altro.example/"));
}

INSTANTIATE_TEST_SUITE_P(
    All, Links,
    testing::Values(LinkCase{"Help", Blanks, info::ShowHelp,
                             "start \"D:\\Le mie cose\\Quadrello 2\\QUADREL.htm\"",
                             rt::MinimizedFocus, DefaultPointer, HelpFailure},
                    LinkCase{"HelpAtADriveRoot", Root, info::ShowHelp, "start \"C:\\QUADREL.htm\"",
                             rt::MinimizedFocus, DefaultPointer, HelpFailure},
                    LinkCase{"CompanionText", Blanks, info::ShowCompanionText,
                             "NOTEPAD \"D:\\Le mie cose\\Quadrello 2\\TRV.txt\"", rt::NormalFocus,
                             PointerLeftAlone, NotepadFailure},
                    LinkCase{"CompanionTextAtADriveRoot", Root, info::ShowCompanionText,
                             "NOTEPAD \"C:\\TRV.txt\"", rt::NormalFocus, PointerLeftAlone,
                             NotepadFailure},
                    LinkCase{"Mail", Root, info::WriteToAuthor,
                             "start mailto:autore@quadrello.example", rt::MinimizedFocus,
                             ArrowAround, ""},
                    LinkCase{"HomePage", Root, homePage, "start http://altro.example/",
                             rt::MinimizedFocus, ArrowAround, ""}),
    [](const testing::TestParamInfo<LinkCase>& p) { return std::string(p.param.name); });

} // namespace
