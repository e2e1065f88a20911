// The sequencer command strings: what is parsed, and the error numbers of the rest.

#include "MciCommand.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using rt::MciCommand;
using rt::MciVerb;
namespace e = rt::mcierr;

struct Good {
    const char* text;
    MciCommand expected;
};

TEST(MciCommandParse, UnderstandsTheThreeCommandsInAnyCaseAndSpacing) {
    const Good cases[] = {
        {R"(open "C:\foto\a.mid" type sequencer alias can)",
         {MciVerb::Open, R"(C:\foto\a.mid)", "can"}},
        {R"(open "C:\le mie foto\mare 1\a b.mid" type sequencer alias can)",
         {MciVerb::Open, R"(C:\le mie foto\mare 1\a b.mid)", "can"}},
        {R"(open C:\foto\.\a.mid type sequencer alias can)",
         {MciVerb::Open, R"(C:\foto\.\a.mid)", "can"}},
        {R"(OPEN "C:\A.MID" TYPE Sequencer ALIAS Can)", {MciVerb::Open, R"(C:\A.MID)", "can"}},
        {"  open\t\"C:\\a.mid\"   type  sequencer\talias  can  ",
         {MciVerb::Open, R"(C:\a.mid)", "can"}},
        // Keywords inside the quotes are part of the path.
        {R"(open "type sequencer alias" type sequencer alias x)",
         {MciVerb::Open, "type sequencer alias", "x"}},
        {"play can ", {MciVerb::Play, "", "can"}},
        {"play can", {MciVerb::Play, "", "can"}},
        {"PLAY CAN", {MciVerb::Play, "", "can"}},
        {"close can", {MciVerb::Close, "", "can"}},
        {"Close Can\t", {MciVerb::Close, "", "can"}},
    };
    for (const Good& c : cases) {
        const auto r = rt::parseMciCommand(QString::fromUtf8(c.text));
        ASSERT_TRUE(r.ok()) << c.text << " -> " << r.error().number;
        EXPECT_TRUE(r.value() == c.expected)
            << c.text << " -> path " << r.value().path.toStdString() << ", alias "
            << r.value().alias.toStdString();
    }
}

struct Bad {
    const char* text;
    int error;
};

TEST(MciCommandParse, RejectsMalformedCommandsWithTheirErrorNumbers) {
    const Bad cases[] = {
        // Nothing to do.
        {"", e::MissingCommandString},
        {"  \t ", e::MissingCommandString},
        // Unbalanced or misplaced quotes.
        {R"(open "C:\a.mid type sequencer alias can)", e::NoClosingQuote},
        {R"(open C:\a.mid" type sequencer alias can)", e::NoClosingQuote},
        {R"(open "C:\a.mid"type sequencer alias can)", e::NoClosingQuote},
        {R"(play "can)", e::NoClosingQuote},
        // Unknown verbs; a quoted verb is not a verb.
        {"stop can", e::UnrecognizedCommand},
        {"seek can to start", e::UnrecognizedCommand},
        {"\"play\" can", e::UnrecognizedCommand},
        {"opening \"C:\\a.mid\" type sequencer alias can", e::UnrecognizedCommand},
        // Missing parts.
        {"open", e::MissingDeviceName},
        {"play", e::MissingDeviceName},
        {"close ", e::MissingDeviceName},
        {R"(open "C:\a.mid")", e::MissingParameter},
        {R"(open "C:\a.mid" type)", e::MissingStringArgument},
        {R"(open "C:\a.mid" type sequencer)", e::MissingParameter},
        {R"(open "" type sequencer alias can)", e::MissingStringArgument},
        // Empty alias.
        {R"(open "C:\a.mid" type sequencer alias)", e::MissingStringArgument},
        {R"(open "C:\a.mid" type sequencer alias "")", e::MissingStringArgument},
        {R"(play "")", e::MissingStringArgument},
        // Wrong or misplaced keywords, another device type, quoted names.
        {R"(open "C:\a.mid" alias can type sequencer)", e::UnrecognizedKeyword},
        {R"(open "C:\a.mid" "type" sequencer alias can)", e::UnrecognizedKeyword},
        {R"(open "C:\a.wav" type waveaudio alias can)", e::InvalidDeviceName},
        {R"(close "can")", e::InvalidDeviceName},
        // Extra words.
        {R"(open "C:\a.mid" type sequencer alias can wait)", e::UnrecognizedKeyword},
        {"play can from 0", e::UnrecognizedKeyword},
        {"close can can", e::UnrecognizedKeyword},
    };
    for (const Bad& c : cases) {
        const auto r = rt::parseMciCommand(QString::fromUtf8(c.text));
        ASSERT_FALSE(r.ok()) << "accepted: " << c.text;
        EXPECT_EQ(r.error().number, c.error) << c.text;
    }
}

} // namespace
