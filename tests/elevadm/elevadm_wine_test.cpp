// ElevAdm.exe run as setup runs it, its exit code read: -C answers 0; a code-signing
// certificate becomes a trusted publisher of the machine, while an authority, a certificate
// for another use, a file of two and a broken file are refused with nothing imported, and
// nothing ever reaches the root store; -R and -U call a COM server's entries, and refuse a
// missing file or a library without them.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <string>
#include <vector>

namespace {

std::string Bin() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string bin(path);
    return bin.substr(0, bin.find_last_of('\\') + 1);
}

// The certificates the build made with openssl for this test.
std::string Certificate(const char* name) {
    return std::string("Z:") + QLY_TEST_CERTIFICATES + "/" + name;
}

DWORD RunElevAdm(const std::string& arguments) {
    std::string line = "\"" + Bin() + "ElevAdm.exe\" " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return 0xFFFFFFFF;
    WaitForSingleObject(pi.hProcess, 20000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

bool InStore(const char* store_name, const char* subject) {
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                      CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, store_name);
    if (store == nullptr)
        return false;
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                      CERT_FIND_SUBJECT_STR_A, subject, nullptr);
    const bool present = found != nullptr;
    if (found)
        CertFreeCertificateContext(found);
    CertCloseStore(store, 0);
    return present;
}

// How many certificates a store of the machine holds.
int Count(const char* store_name) {
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                      CERT_SYSTEM_STORE_LOCAL_MACHINE | CERT_STORE_READONLY_FLAG, store_name);
    if (store == nullptr)
        return 0;
    int count = 0;
    for (PCCERT_CONTEXT c = CertEnumCertificatesInStore(store, nullptr); c;
         c = CertEnumCertificatesInStore(store, c))
        ++count;
    CertCloseStore(store, 0);
    return count;
}

bool ComServerMarker() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    return RegGetValueA(HKEY_CURRENT_USER, "Software\\QuilloryTest", "ComServerRegistered",
                        RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS;
}

TEST(ElevAdm, TrustsOnlyACodeSigningCertificateAsPublisherAndNeverTouchesTheRoots) {
    EXPECT_EQ(RunElevAdm("-C"), 0u);
    EXPECT_NE(RunElevAdm("-Q"), 0u);
    struct Case {
        const char* file;
        const char* subject;
        bool imported;
    } cases[] = {
        {"ca.cer", "Quillory Test Authority", false},
        {"tls.cer", "Quillory Test Server", false},
        {"two.cer", "Quillory Test Pair", false},
        {"broken.cer", "Quillory Test Broken", false},
        {"missing.cer", "Quillory Test Missing", false},
        {"codesign.cer", "Quillory Test Publisher", true},
    };
    const int roots = Count("Root");
    for (const Case& c : cases) {
        const int publishers = Count("TrustedPublisher");
        const DWORD code = RunElevAdm("-X \"" + Certificate(c.file) + "\"");
        EXPECT_EQ(code == 0, c.imported) << c.file << " exit " << code;
        if (c.imported)
            EXPECT_TRUE(InStore("TrustedPublisher", c.subject)) << c.file;
        else
            EXPECT_EQ(Count("TrustedPublisher"), publishers) << c.file << " was imported";
        EXPECT_FALSE(InStore("Root", c.subject)) << c.file;
    }
    EXPECT_EQ(Count("Root"), roots) << "a root certificate was added";
}

TEST(ElevAdm, RegistersAndUnregistersAComServerAndRefusesWhatIsNone) {
    const std::string server = Bin() + "elevadm_test_com_server.dll";
    ASSERT_EQ(RunElevAdm("-R \"" + server + "\""), 0u);
    EXPECT_TRUE(ComServerMarker());
    ASSERT_EQ(RunElevAdm("-U \"" + server + "\""), 0u);
    EXPECT_FALSE(ComServerMarker());
    EXPECT_NE(RunElevAdm("-R \"" + Bin() + "no such server.dll\""), 0u);
    EXPECT_NE(RunElevAdm("-R \"" + Bin() + "QLYDLL.DLL\""), 0u) << "a library without the entry";
}

}  // namespace
