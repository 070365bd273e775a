// ElevAdm.exe's command line and its certificate rule, as plain C++: which of its four
// commands it was given (with the path that follows it, in quotes), and whether a file may
// become a trusted publisher. The program itself (elevadm_main.cpp) only gathers the facts
// and acts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qly {

enum class ElevAdmAction {
    kCheck,              // -C: the certificate functions are there (always, on every Windows)
    kRegister,           // -R "dll": register a COM server, as regsvr32 does
    kUnregister,         // -U "dll"
    kImportCertificate,  // -X "file.cer": into the machine's TrustedPublisher store
};

struct ElevAdmCommand {
    ElevAdmAction action = ElevAdmAction::kCheck;
    std::string path;  // empty for -C
};

// The arguments after the program's name. Nothing for anything else: an unknown switch,
// a missing or unterminated path, or words after it.
std::optional<ElevAdmCommand> ParseElevAdmCommand(std::string_view arguments);

// What the file to import turned out to be.
struct CertificateFacts {
    int certificates = 0;                // X.509 certificates in the file
    bool decodes = false;                // the one certificate decodes completely
    bool certificate_authority = false;  // basic constraints say CA
    bool code_signing = false;           // the extended key usage allows code signing
};

// A file becomes a trusted publisher only when it is exactly one complete certificate, not
// an authority, made for code signing. Nothing ever goes to a root store.
bool MayTrustAsPublisher(const CertificateFacts& facts);

}  // namespace qly
