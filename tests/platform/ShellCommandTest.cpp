// The fallback command line, the failure texts and the mapping of GLib errors: no desktop needed.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ShellCommand.h"

using namespace platform;

namespace {

const std::string kTarget = "https://example.org/quenlar/";

std::vector<std::string> Argv(std::initializer_list<const char*> args)
{
    return std::vector<std::string>(args.begin(), args.end());
}

}  // namespace

TEST(ShellCommand, QuotedPlaceholderIsCutAtItsQuoteAndTheRestDropped)
{
    const auto command = BuildFallbackCommand("/usr/bin/browser --new-window \"%u\" --private", kTarget);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->line, "/usr/bin/browser --new-window  " + kTarget);
    EXPECT_EQ(command->argv, Argv({"/usr/bin/browser", "--new-window", kTarget.c_str()}));

    // A quoted placeholder wins over an earlier bare one.
    const auto both = BuildFallbackCommand("viewer %F --x \"%U\" --y", kTarget);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->line, "viewer %F --x  " + kTarget);
    EXPECT_EQ(both->argv, Argv({"viewer", "--x", kTarget.c_str()}));
}

TEST(ShellCommand, BarePlaceholderIsCutWhereItStands)
{
    for (const char* placeholder : {"%u", "%U", "%f", "%F"}) {
        SCOPED_TRACE(placeholder);
        const auto command = BuildFallbackCommand(std::string("browser -a ") + placeholder + " -b", kTarget);
        ASSERT_TRUE(command);
        EXPECT_EQ(command->line, "browser -a  " + kTarget);
        EXPECT_EQ(command->argv, Argv({"browser", "-a", kTarget.c_str()}));
    }
}

TEST(ShellCommand, WithoutPlaceholderTheTargetIsAppendedAfterOneBlank)
{
    const auto command = BuildFallbackCommand("'/opt/my browser/run' --remote", kTarget);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->line, "'/opt/my browser/run' --remote " + kTarget);
    EXPECT_EQ(command->argv, Argv({"/opt/my browser/run", "--remote", kTarget.c_str()}));
}

TEST(ShellCommand, PercentEscapesAndOtherFieldCodes)
{
    // "%%u" is a literal "%u", not a placeholder.
    const auto literal = BuildFallbackCommand("app --ratio=50%% %%u", kTarget);
    ASSERT_TRUE(literal);
    EXPECT_EQ(literal->argv, Argv({"app", "--ratio=50%", "%u", kTarget.c_str()}));

    // Icon, name and location codes expand to nothing here.
    const auto codes = BuildFallbackCommand("app %i --name=%c %k %u", kTarget);
    ASSERT_TRUE(codes);
    EXPECT_EQ(codes->argv, Argv({"app", "--name=", kTarget.c_str()}));
}

TEST(ShellCommand, TargetStaysOneArgument)
{
    const std::string target = "mailto:quenlar@example.org?subject=a b\" --evil";
    const auto command = BuildFallbackCommand("mailer %u", target);
    ASSERT_TRUE(command);
    ASSERT_EQ(command->argv.size(), 2u);
    EXPECT_EQ(command->argv[1], target);
}

TEST(ShellCommand, UnusableCommandLinesAreRefused)
{
    EXPECT_FALSE(BuildFallbackCommand("\"%u\"", kTarget));          // no program before the placeholder
    EXPECT_FALSE(BuildFallbackCommand("   %U --new", kTarget));
    EXPECT_FALSE(BuildFallbackCommand("", kTarget));
    EXPECT_FALSE(BuildFallbackCommand("app \"--unclosed %u", kTarget));  // cannot be split
}

TEST(ShellCommand, LimitsAreNeverOverrun)
{
    // The registered line fits 259 bytes and a terminator.
    const std::string program = "/" + std::string(250, 'p');
    const std::string fits = program + std::string(259 - program.size(), ' ');
    ASSERT_EQ(fits.size(), 259u);
    EXPECT_TRUE(BuildFallbackCommand(fits, "x"));
    EXPECT_FALSE(BuildFallbackCommand(fits + " ", "x"));

    // The built line fits 519 bytes and a terminator: program, blank, target.
    const std::string longTarget(519 - 1 - program.size(), 't');
    const auto atLimit = BuildFallbackCommand(program, longTarget);
    ASSERT_TRUE(atLimit);
    EXPECT_EQ(atLimit->line.size(), 519u);
    EXPECT_FALSE(BuildFallbackCommand(program, longTarget + "t"));

    // Only the part before the placeholder counts, not what is dropped after it.
    const std::string shortProgram = "/" + std::string(99, 'p');
    const auto dropped = BuildFallbackCommand(shortProgram + " %u" + std::string(150, 'o'),
                                              std::string(519 - 2 - shortProgram.size(), 't'));
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->line.size(), 519u);
}

TEST(ShellCommand, ErrorTextsByteForByte)
{
    EXPECT_EQ(OpenErrorText(26), "A sharing violation occurred. ");
    EXPECT_EQ(OpenErrorText(7), "Unknown Error (7) occurred.");
    EXPECT_EQ(OpenErrorText(-5), "Unknown Error (-5) occurred.");
    EXPECT_EQ(OpenErrorText(0), "The operating system is out\nof memory or resources.");
    EXPECT_EQ(OpenErrorText(31), "There is no application associated\nwith the given filename extension.");
    EXPECT_EQ(OpenErrorText(30),
              "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.");

    EXPECT_EQ(OpenFailureMessage(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(OpenFailureMessage(7), "Unable to open hyperlink:\n\nUnknown Error (7) occurred.");
}

TEST(ShellCommand, GlibErrorsMapToShellCodes)
{
    EXPECT_EQ(ShellCodeForError(G_IO_ERROR, G_IO_ERROR_NOT_FOUND), ShellCode::FileNotFound);
    EXPECT_EQ(ShellCodeForError(G_IO_ERROR, G_IO_ERROR_NOT_SUPPORTED), ShellCode::NoAssociation);
    EXPECT_EQ(ShellCodeForError(G_IO_ERROR, G_IO_ERROR_PERMISSION_DENIED), ShellCode::AccessDenied);
    EXPECT_EQ(ShellCodeForError(G_IO_ERROR, G_IO_ERROR_FAILED), ShellCode::AssociationIncomplete);
    EXPECT_EQ(ShellCodeForError(G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT), ShellCode::FileNotFound);
    EXPECT_EQ(ShellCodeForError(G_SPAWN_ERROR, G_SPAWN_ERROR_NOEXEC), ShellCode::BadFormat);
    EXPECT_EQ(ShellCodeForError(G_SPAWN_ERROR, G_SPAWN_ERROR_FORK), ShellCode::OutOfResources);
    EXPECT_EQ(ShellCodeForError(G_SHELL_ERROR, G_SHELL_ERROR_BAD_QUOTING), ShellCode::AssociationIncomplete);
    for (int code = 0; code <= 32; ++code)
        EXPECT_FALSE(ShellCode::IsSuccess(code));
    EXPECT_TRUE(ShellCode::IsSuccess(ShellCode::Succeeded));
}

TEST(ShellCommand, TargetsBecomeUris)
{
    EXPECT_EQ(TargetToUri(kTarget), kTarget);
    EXPECT_EQ(TargetToUri("mailto:quenlar@example.org"), "mailto:quenlar@example.org");
    EXPECT_EQ(TargetToUri("/opt/quen lar/Quenlar.htm"), "file:///opt/quen%20lar/Quenlar.htm");
}
