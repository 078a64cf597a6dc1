#include "win32_server_chain.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

// The certificates come from fixtures/ (made by make_fixtures.sh), which CTest
// makes the working directory. Leaves name service.velmora.test and 127.0.0.1.
namespace {

using win32::CertificateBytes;
using win32::ServerChainVerdict;

CertificateBytes fixture(const char* name)
{
    std::ifstream file(std::string(name) + ".pem", std::ios::binary);
    const std::string pem{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    DWORD size = 0;
    if (pem.empty() || !CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size,
                                             nullptr, nullptr))
        return {};
    CertificateBytes der(size);
    CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr);
    return der;
}

struct Case
{
    const char* name;
    std::vector<const char*> chain;
    std::vector<const char*> roots;
    const wchar_t* host;
    ServerChainVerdict verdict;
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.name;
}

class ServerChain : public testing::TestWithParam<Case>
{
};

} // namespace

TEST_P(ServerChain, Verdict)
{
    const Case& c = GetParam();
    std::vector<CertificateBytes> chain, roots;
    for (const char* name : c.chain)
        chain.push_back(fixture(name));
    for (const char* name : c.roots)
        roots.push_back(fixture(name));
    for (const auto& bytes : chain)
        ASSERT_FALSE(bytes.empty()) << "fixture missing: run from tests/win32/fixtures";
    const win32::ServerChainCheck check = win32::verifyServerChain(chain, roots, c.host);
    EXPECT_EQ(int(check.verdict), int(c.verdict))
        << std::hex << "trust errors 0x" << check.trustErrors << ", policy error 0x" << check.policyError;
}

INSTANTIATE_TEST_SUITE_P(
    Win32, ServerChain,
    testing::Values(
        Case{"our CA", {"leaf"}, {"ca"}, L"service.velmora.test", ServerChainVerdict::Trusted},
        Case{"our CA, by address", {"leaf"}, {"ca"}, L"127.0.0.1", ServerChainVerdict::Trusted},
        Case{"root presented too",
             {"leaf", "ca"},
             {"other-ca", "ca"},
             L"service.velmora.test",
             ServerChainVerdict::Trusted},
        Case{"through an intermediate",
             {"leaf-via-intermediate", "intermediate"},
             {"ca"},
             L"service.velmora.test",
             ServerChainVerdict::Trusted},
        Case{"intermediate missing",
             {"leaf-via-intermediate"},
             {"ca"},
             L"service.velmora.test",
             ServerChainVerdict::NotOurRoot},
        Case{"another CA", {"leaf-other-ca"}, {"ca"}, L"service.velmora.test", ServerChainVerdict::NotOurRoot},
        Case{"another CA, presented",
             {"leaf-other-ca", "other-ca"},
             {"ca"},
             L"service.velmora.test",
             ServerChainVerdict::NotOurRoot},
        // A presented copy of our root does not make a leaf of another CA ours.
        Case{"another CA, our root presented",
             {"leaf-other-ca", "ca"},
             {"ca"},
             L"service.velmora.test",
             ServerChainVerdict::NotOurRoot},
        Case{"other name", {"leaf"}, {"ca"}, L"other.velmora.test", ServerChainVerdict::Refused},
        Case{"other address", {"leaf"}, {"ca"}, L"127.0.0.2", ServerChainVerdict::Refused},
        Case{"expired", {"leaf-expired"}, {"ca"}, L"service.velmora.test", ServerChainVerdict::Refused},
        Case{"not for servers", {"leaf-client"}, {"ca"}, L"service.velmora.test", ServerChainVerdict::Refused}),
    [](const testing::TestParamInfo<Case>& info) {
        std::string name = info.param.name;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(Win32ServerChain, NothingToGoOnIsUnreadable)
{
    using Certificates = std::vector<CertificateBytes>;
    const CertificateBytes leaf = fixture("leaf"), ca = fixture("ca");
    ASSERT_FALSE(leaf.empty());
    const CertificateBytes garbage = {0x30, 0x03, 0x02, 0x01, 0x00};
    const std::vector<std::tuple<Certificates, Certificates, std::wstring>> cases = {
        {{}, {ca}, L"service.velmora.test"},
        {{garbage}, {ca}, L"service.velmora.test"},
        {{leaf}, {garbage}, L"service.velmora.test"},
        {{leaf}, {}, L"service.velmora.test"},
        {{leaf}, {ca}, L""}};
    for (const auto& [chain, roots, host] : cases)
        EXPECT_EQ(int(win32::verifyServerChain(chain, roots, host).verdict), int(ServerChainVerdict::Unreadable));
}
