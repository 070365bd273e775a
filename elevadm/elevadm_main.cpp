// ElevAdm.exe: the small program setup starts with administrator rights for what only an
// administrator may do: register or unregister a COM server, and trust the maker's
// code-signing certificate as a publisher of this machine. It shows nothing; its exit code
// is its answer (0 done, anything else refused or failed).
#include <windows.h>
#include <ole2.h>
#include <wincrypt.h>

#include <string>
#include <vector>

#include "elevadm/elevadm_command.h"

namespace {

constexpr int kDone = 0;
constexpr int kBadCommand = 2;
constexpr int kFailed = 3;
constexpr int kRefused = 4;

using ServerEntry = HRESULT(STDAPICALLTYPE*)();

// DllRegisterServer or DllUnregisterServer of the library, as regsvr32 calls them.
int CallServer(const std::string& path, const char* entry_name) {
    HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr)
        return kFailed;
    auto entry =
        reinterpret_cast<ServerEntry>(reinterpret_cast<void*>(GetProcAddress(library, entry_name)));
    int result = kFailed;
    if (entry != nullptr) {
        const HRESULT com = OleInitialize(nullptr);
        result = SUCCEEDED(entry()) ? kDone : kFailed;
        if (SUCCEEDED(com))
            OleUninitialize();
    }
    FreeLibrary(library);
    return result;
}

bool ReadWhole(const std::string& path, std::vector<BYTE>* data) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= 64 * 1024;
    if (ok) {
        data->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, data->data(), static_cast<DWORD>(data->size()), &read, nullptr) &&
             read == data->size();
    }
    CloseHandle(file);
    return ok;
}

// How many certificates the file holds, whatever its encoding (DER, base64 or a store).
int CountCertificates(const std::vector<BYTE>& data) {
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(data.size()), const_cast<BYTE*>(data.data())};
    HCERTSTORE store = nullptr;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob, CERT_QUERY_CONTENT_FLAG_ALL,
                          CERT_QUERY_FORMAT_FLAG_ALL, 0, nullptr, nullptr, nullptr, &store, nullptr,
                          nullptr))
        return 0;
    int count = 0;
    for (PCCERT_CONTEXT c = CertEnumCertificatesInStore(store, nullptr); c;
         c = CertEnumCertificatesInStore(store, c))
        ++count;
    CertCloseStore(store, 0);
    return count;
}

bool IsAuthority(PCCERT_CONTEXT cert) {
    PCERT_EXTENSION extension = CertFindExtension(
        szOID_BASIC_CONSTRAINTS2, cert->pCertInfo->cExtension, cert->pCertInfo->rgExtension);
    if (extension == nullptr)
        return false;
    CERT_BASIC_CONSTRAINTS2_INFO info{};
    DWORD size = sizeof(info);
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_BASIC_CONSTRAINTS2, extension->Value.pbData,
                             extension->Value.cbData, 0, nullptr, &info, &size))
        return true;  // a constraint that cannot be read is not taken as "no authority"
    return info.fCA != FALSE;
}

bool AllowsCodeSigning(PCCERT_CONTEXT cert) {
    DWORD size = 0;
    if (!CertGetEnhancedKeyUsage(cert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size) ||
        size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* usage = reinterpret_cast<PCERT_ENHKEY_USAGE>(buffer.data());
    if (!CertGetEnhancedKeyUsage(cert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size))
        return false;
    for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
        if (lstrcmpA(usage->rgpszUsageIdentifier[i], szOID_PKIX_KP_CODE_SIGNING) == 0)
            return true;
    return false;
}

// Base64 text holds as many certificates as it has blocks; the system's own readers stop
// after the first, which would let a second one slip by unseen.
int TextBlocks(const std::vector<BYTE>& data) {
    const std::string text(data.begin(), data.end());
    int blocks = 0;
    for (size_t at = text.find("-----BEGIN"); at != std::string::npos;
         at = text.find("-----BEGIN", at + 1))
        ++blocks;
    return blocks;
}

int ImportCertificate(const std::string& path) {
    std::vector<BYTE> data;
    if (!ReadWhole(path, &data))
        return kFailed;
    qly::CertificateFacts facts;
    std::vector<BYTE> der;
    const int blocks = TextBlocks(data);
    if (blocks > 0) {
        facts.certificates = blocks;
        DWORD der_size = 0;
        if (blocks == 1 &&
            CryptStringToBinaryA(reinterpret_cast<const char*>(data.data()),
                                 static_cast<DWORD>(data.size()), CRYPT_STRING_BASE64HEADER,
                                 nullptr, &der_size, nullptr, nullptr)) {
            der.resize(der_size);
            if (!CryptStringToBinaryA(reinterpret_cast<const char*>(data.data()),
                                      static_cast<DWORD>(data.size()), CRYPT_STRING_BASE64HEADER,
                                      der.data(), &der_size, nullptr, nullptr))
                der.clear();
        }
    } else {
        facts.certificates = CountCertificates(data);
        der = data;
    }
    PCCERT_CONTEXT cert = nullptr;
    if (facts.certificates == 1 && !der.empty())
        cert = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(),
                                            static_cast<DWORD>(der.size()));
    // Complete: the certificate is the whole of its bytes, nothing cut, nothing behind it.
    if (cert != nullptr && cert->cbCertEncoded == der.size()) {
        facts.decodes = true;
        facts.certificate_authority = IsAuthority(cert);
        facts.code_signing = AllowsCodeSigning(cert);
    }
    int result = kRefused;
    if (qly::MayTrustAsPublisher(facts)) {
        HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                         CERT_SYSTEM_STORE_LOCAL_MACHINE, "TrustedPublisher");
        result = kFailed;
        if (store != nullptr) {
            if (CertAddCertificateContextToStore(store, cert, CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr))
                result = kDone;
            CertCloseStore(store, 0);
        }
    }
    if (cert != nullptr)
        CertFreeCertificateContext(cert);
    return result;
}

// The arguments after the program's own (possibly quoted) name.
std::string Arguments() {
    const char* line = GetCommandLineA();
    bool quoted = false;
    while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"')
            quoted = !quoted;
        ++line;
    }
    return line;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const auto command = qly::ParseElevAdmCommand(Arguments());
    if (!command)
        return kBadCommand;
    switch (command->action) {
        case qly::ElevAdmAction::kCheck:
            return kDone;
        case qly::ElevAdmAction::kRegister:
            return CallServer(command->path, "DllRegisterServer");
        case qly::ElevAdmAction::kUnregister:
            return CallServer(command->path, "DllUnregisterServer");
        case qly::ElevAdmAction::kImportCertificate:
            return ImportCertificate(command->path);
    }
    return kBadCommand;
}
