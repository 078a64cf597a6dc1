#include "win32_server_chain.h"

// In this order: winsock2.h before windows.h, wincrypt.h after it.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

namespace win32 {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The SSL policy's own checks (wininet.h spells them; this file needs no more of it).
constexpr DWORD kIgnoreRevocation = 0x00000080;
constexpr DWORD kIgnoreUnknownCa = 0x00000100;
constexpr DWORD kIgnoreNameMismatch = 0x00001000;

// What a chain ending in one of our roots may carry: the root is not in the
// system's store, and a private CA names no place to ask for revocation, so
// that stays unknown. A revoked certificate is still refused.
constexpr DWORD kToleratedTrustErrors =
    CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

// Nothing comes from the network: revocation and missing issuers from the
// caches only, no root update from Windows Update.
constexpr DWORD kChainFlags = CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY |
                              CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL | CERT_CHAIN_DISABLE_AUTH_ROOT_AUTO_UPDATE;

struct StoreClose
{
    void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreClose>;

struct CertificateFree
{
    void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct ChainFree
{
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

// Decodes one certificate into the store; hands back its context when asked.
bool addToStore(HCERTSTORE store, const CertificateBytes& bytes, Certificate* added = nullptr)
{
    if (bytes.empty() || bytes.size() > MAXDWORD)
        return false;
    PCCERT_CONTEXT context = nullptr;
    if (!CertAddEncodedCertificateToStore(store, kEncoding, bytes.data(), DWORD(bytes.size()),
                                          CERT_STORE_ADD_USE_EXISTING, added ? &context : nullptr))
        return false;
    if (added)
        added->reset(context);
    return true;
}

// Byte for byte: a certificate of the same subject and key that is not the root itself does not count.
bool isOneOf(const CERT_CONTEXT& certificate, const std::vector<CertificateBytes>& roots)
{
    return std::any_of(roots.begin(), roots.end(), [&certificate](const CertificateBytes& root) {
        return root.size() == certificate.cbCertEncoded &&
               std::memcmp(root.data(), certificate.pbCertEncoded, root.size()) == 0;
    });
}

struct LocalMemoryFree
{
    void operator()(void* memory) const { LocalFree(memory); }
};

// The address's bytes when the name is an IPv4 or IPv6 address, nothing otherwise.
std::vector<unsigned char> addressBytes(const std::wstring& hostName)
{
    IN6_ADDR address{};
    for (const auto& [family, size] : {std::pair{AF_INET, 4}, std::pair{AF_INET6, 16}}) {
        if (InetPtonW(family, hostName.c_str(), &address) == 1) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(&address);
            return {bytes, bytes + size};
        }
    }
    return {};
}

// Whether the certificate names the address among its subject's alternative
// names, the only place an address may be named (RFC 6125). Windows matches
// these too, but not every implementation of its interface does (wine).
bool namesAddress(const CERT_CONTEXT& certificate, const std::vector<unsigned char>& address)
{
    const CERT_INFO& info = *certificate.pCertInfo;
    const CERT_EXTENSION* extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
    void* decoded = nullptr;
    DWORD size = 0;
    if (!extension || !CryptDecodeObjectEx(kEncoding, X509_ALTERNATE_NAME, extension->Value.pbData,
                                           extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size))
        return false;
    const std::unique_ptr<void, LocalMemoryFree> owned(decoded);
    const auto* names = static_cast<const CERT_ALT_NAME_INFO*>(decoded);
    return std::any_of(names->rgAltEntry, names->rgAltEntry + names->cAltEntry, [&address](const auto& entry) {
        return entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == address.size() &&
               std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
    });
}

} // namespace

ServerChainCheck verifyServerChain(const std::vector<CertificateBytes>& chain,
                                   const std::vector<CertificateBytes>& roots, const std::wstring& hostName)
{
    ServerChainCheck check;
    if (chain.empty() || roots.empty() || hostName.empty())
        return check;

    // The presented certificates and our roots are where the system looks for
    // issuers, besides its own stores.
    Store candidates(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!candidates)
        return check;
    Certificate leaf;
    for (size_t i = 0; i < chain.size(); ++i) {
        if (!addToStore(candidates.get(), chain[i], i == 0 ? &leaf : nullptr))
            return check;
    }
    for (const CertificateBytes& root : roots) {
        if (!addToStore(candidates.get(), root))
            return check;
    }

    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA parameters{};
    parameters.cbSize = sizeof(parameters);
    parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT built = nullptr;
    if (!CertGetCertificateChain(nullptr, leaf.get(), nullptr, candidates.get(), &parameters, kChainFlags, nullptr,
                                 &built) ||
        !built)
        return check;
    const Chain owned(built);
    check.trustErrors = built->TrustStatus.dwErrorStatus;

    // One simple chain (no trust lists involved) whose last certificate is one of our roots.
    const CERT_SIMPLE_CHAIN* simple = built->cChain == 1 ? built->rgpChain[0] : nullptr;
    if (!simple || simple->cElement == 0 || (check.trustErrors & CERT_TRUST_IS_PARTIAL_CHAIN) ||
        !isOneOf(*simple->rgpElement[simple->cElement - 1]->pCertContext, roots)) {
        check.verdict = ServerChainVerdict::NotOurRoot;
        return check;
    }
    if (check.trustErrors & ~kToleratedTrustErrors) {
        check.verdict = ServerChainVerdict::Refused;
        return check;
    }

    // An address is matched here; a name, and whatever else the system asks
    // of a TLS server's chain, by its SSL policy. The root and revocation were
    // settled above.
    const std::vector<unsigned char> address = addressBytes(hostName);
    if (!address.empty() && !namesAddress(*leaf, address)) {
        check.verdict = ServerChainVerdict::Refused;
        check.policyError = long(CERT_E_CN_NO_MATCH);
        return check;
    }
    std::wstring serverName = hostName;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof(ssl);
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = kIgnoreUnknownCa | kIgnoreRevocation | (address.empty() ? 0 : kIgnoreNameMismatch);
    ssl.pwszServerName = serverName.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, built, &policy, &status)) {
        check.verdict = ServerChainVerdict::Unreadable;
        return check;
    }
    check.policyError = long(status.dwError);
    check.verdict = status.dwError == 0 ? ServerChainVerdict::Trusted : ServerChainVerdict::Refused;
    return check;
}

} // namespace win32
