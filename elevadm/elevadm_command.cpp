// ElevAdm.exe's command line and certificate rule; see elevadm_command.h.
#include "elevadm/elevadm_command.h"

#include <cctype>

namespace qly {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::optional<ElevAdmCommand> ParseElevAdmCommand(std::string_view arguments) {
    std::string_view rest = Trimmed(arguments);
    if (rest.size() < 2 || (rest[0] != '-' && rest[0] != '/'))
        return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(rest[1])));
    if (rest.size() > 2 && !std::isspace(static_cast<unsigned char>(rest[2])))
        return std::nullopt;
    rest = Trimmed(rest.substr(2));
    ElevAdmCommand command;
    switch (letter) {
        case 'C':
            if (!rest.empty())
                return std::nullopt;
            command.action = ElevAdmAction::kCheck;
            return command;
        case 'R':
            command.action = ElevAdmAction::kRegister;
            break;
        case 'U':
            command.action = ElevAdmAction::kUnregister;
            break;
        case 'X':
            command.action = ElevAdmAction::kImportCertificate;
            break;
        default:
            return std::nullopt;
    }
    if (rest.size() < 3 || rest.front() != '"' || rest.back() != '"')
        return std::nullopt;
    rest = rest.substr(1, rest.size() - 2);
    if (rest.empty() || rest.find('"') != std::string_view::npos)
        return std::nullopt;
    command.path = std::string(rest);
    return command;
}

bool MayTrustAsPublisher(const CertificateFacts& facts) {
    return facts.certificates == 1 && facts.decodes && !facts.certificate_authority &&
           facts.code_signing;
}

}  // namespace qly
