#pragma once

#include <string>
#include <vector>

// Verifies a TLS server's certificate chain against roots of the program's
// own, through the system's CryptoAPI, free of Qt types so that it builds and
// is tested on its own with mingw-w64 under wine. Schannel keeps to the
// system's certificate stores; this is how a service certificate issued by a
// CA compiled into the program is checked instead.
namespace win32 {

// One DER-encoded X.509 certificate.
using CertificateBytes = std::vector<unsigned char>;

enum class ServerChainVerdict {
    // The chain leads to one of the roots and is fit now for a TLS server of the name.
    Trusted,
    // A certificate could not be decoded, or no chain could be built at all.
    Unreadable,
    // The chain ends elsewhere than in one of the roots (another CA, a missing issuer).
    NotOurRoot,
    // It ends in one of the roots but is unfit: name, validity period, usage, signature, revocation.
    Refused,
};

struct ServerChainCheck
{
    ServerChainVerdict verdict = ServerChainVerdict::Unreadable;
    // CERT_TRUST_* bits of the chain the system built (0 when none was built).
    unsigned long trustErrors = 0;
    // What the system's SSL policy said (an HRESULT such as CERT_E_CN_NO_MATCH), 0 when it agreed or was not asked.
    long policyError = 0;
};

// chain: as the server presented it, leaf first; roots: the only roots that
// count here (the system's own do not); hostName: the name or address the
// program connected to. Only the leaf's own issuers are looked at; nothing is
// fetched from the network (revocation and missing issuers come from the
// system's caches only), so it may run on a thread that must not block.
ServerChainCheck verifyServerChain(const std::vector<CertificateBytes>& chain,
                                   const std::vector<CertificateBytes>& roots, const std::wstring& hostName);

} // namespace win32
