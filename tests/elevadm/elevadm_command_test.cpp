// ElevAdm's command line and its rule for trusting a certificate as a publisher.
#include <gtest/gtest.h>

#include "elevadm/elevadm_command.h"

namespace qly {
namespace {

TEST(ElevAdmCommand, TakesItsFourCommandsWithAQuotedPathAndNothingElse) {
    struct Case {
        const char* arguments;
        bool valid;
        ElevAdmAction action;
        const char* path;
    } cases[] = {
        {" -C", true, ElevAdmAction::kCheck, ""},
        {"-c  ", true, ElevAdmAction::kCheck, ""},
        {" -R \"C:\\Program Files\\Quillory\\capicom.dll\"", true, ElevAdmAction::kRegister,
         "C:\\Program Files\\Quillory\\capicom.dll"},
        {"-U \"C:\\Q\\x.dll\"", true, ElevAdmAction::kUnregister, "C:\\Q\\x.dll"},
        {"-X \"C:\\Q\\karnoveldahus.cer\"", true, ElevAdmAction::kImportCertificate,
         "C:\\Q\\karnoveldahus.cer"},
        {"", false, ElevAdmAction::kCheck, ""},
        {"-C extra", false, ElevAdmAction::kCheck, ""},
        {"-R C:\\unquoted.dll", false, ElevAdmAction::kCheck, ""},
        {"-R \"C:\\unterminated.dll", false, ElevAdmAction::kCheck, ""},
        {"-R \"\"", false, ElevAdmAction::kCheck, ""},
        {"-X \"a.cer\" \"b.cer\"", false, ElevAdmAction::kCheck, ""},
        {"-Root \"a.cer\"", false, ElevAdmAction::kCheck, ""},
        {"-Z \"a\"", false, ElevAdmAction::kCheck, ""},
    };
    for (const Case& c : cases) {
        const auto command = ParseElevAdmCommand(c.arguments);
        ASSERT_EQ(command.has_value(), c.valid) << c.arguments;
        if (!c.valid)
            continue;
        EXPECT_EQ(command->action, c.action) << c.arguments;
        EXPECT_EQ(command->path, c.path) << c.arguments;
    }
}

TEST(ElevAdmCommand, OnlyOneCompleteCodeSigningCertificateThatIsNoAuthorityIsTrusted) {
    struct Case {
        CertificateFacts facts;
        bool trusted;
    } cases[] = {
        {{1, true, false, true}, true},
        {{1, true, true, true}, false},    // an authority could vouch for anybody's code
        {{1, true, false, false}, false},  // not made for code signing
        {{2, true, false, true}, false},   // more than the one certificate
        {{0, false, false, false}, false},
        {{1, false, false, true}, false},  // does not decode completely
    };
    for (const Case& c : cases)
        EXPECT_EQ(MayTrustAsPublisher(c.facts), c.trusted);
}

}  // namespace
}  // namespace qly
