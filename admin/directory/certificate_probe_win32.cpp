// The handshake through the platform's TLS provider with the certificate check left to us, then
// the check the provider would have made: the chain to a trusted root, for server authentication,
// naming the host.
#define SECURITY_WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

#include "admin/directory/certificate_probe.h"

namespace vela::directory {

namespace {

constexpr int kConnectMilliseconds = 5000;
constexpr DWORD kReceiveMilliseconds = 5000;

struct Socket {
    SOCKET s = INVALID_SOCKET;
    ~Socket() {
        if (s != INVALID_SOCKET) ::closesocket(s);
    }
};

struct Credentials {
    CredHandle h{};
    bool valid = false;
    ~Credentials() {
        if (valid) ::FreeCredentialsHandle(&h);
    }
};

struct Context {
    CtxtHandle h{};
    bool valid = false;
    ~Context() {
        if (valid) ::DeleteSecurityContext(&h);
    }
};

struct CertificateFree {
    void operator()(const CERT_CONTEXT* c) const { ::CertFreeCertificateContext(c); }
};
struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* c) const { ::CertFreeCertificateChain(c); }
};

bool ConnectWithin(SOCKET s, const sockaddr* address, int length) {
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    if (::connect(s, address, length) != 0 && ::WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval t{kConnectMilliseconds / 1000, (kConnectMilliseconds % 1000) * 1000};
    if (::select(0, nullptr, &writable, &failed, &t) <= 0 || FD_ISSET(s, &failed)) return false;
    u_long blocking = 0;
    ::ioctlsocket(s, FIONBIO, &blocking);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&kReceiveMilliseconds),
                 sizeof kReceiveMilliseconds);
    return true;
}

bool SendAll(SOCKET s, const void* data, unsigned long size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const int sent = ::send(s, p, static_cast<int>(size), 0);
        if (sent <= 0) return false;
        p += sent;
        size -= static_cast<unsigned long>(sent);
    }
    return true;
}

// The handshake; the certificate the server showed, or null.
const CERT_CONTEXT* Handshake(SOCKET s, const std::wstring& host) {
    SCHANNEL_CRED sc{};
    sc.dwVersion = SCHANNEL_CRED_VERSION;
    sc.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    Credentials cred;
    wchar_t package[] = UNISP_NAME_W;
    if (::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &sc, nullptr, nullptr, &cred.h,
                                    nullptr) != SEC_E_OK)
        return nullptr;
    cred.valid = true;
    const ULONG flags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                        ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_MANUAL_CRED_VALIDATION;
    Context ctx;
    std::wstring target = host;
    std::vector<char> received;
    for (int round = 0; round < 32; ++round) {
        SecBuffer in[2] = {{static_cast<unsigned long>(received.size()), SECBUFFER_TOKEN, received.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
        ULONG attributes = 0;
        const SECURITY_STATUS status =
            ::InitializeSecurityContextW(&cred.h, ctx.valid ? &ctx.h : nullptr, target.data(), flags, 0, 0,
                                         ctx.valid ? &inDesc : nullptr, 0, &ctx.h, &outDesc, &attributes, nullptr);
        ctx.valid = ctx.valid || status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK ||
                    status == SEC_E_INCOMPLETE_MESSAGE;
        if (out[0].pvBuffer) {
            const bool sent = out[0].cbBuffer == 0 || SendAll(s, out[0].pvBuffer, out[0].cbBuffer);
            ::FreeContextBuffer(out[0].pvBuffer);
            if (!sent) return nullptr;
        }
        if (status == SEC_E_OK) {
            const CERT_CONTEXT* cert = nullptr;
            if (::QueryContextAttributesW(&ctx.h, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) != SEC_E_OK) return nullptr;
            return cert;
        }
        if (status == SEC_I_CONTINUE_NEEDED) {
            // Whatever the provider did not use stays for the next round.
            if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0 && in[1].cbBuffer <= received.size())
                received.erase(received.begin(), received.end() - in[1].cbBuffer);
            else if (ctx.valid && round > 0)
                received.clear();
        } else if (status != SEC_E_INCOMPLETE_MESSAGE) {
            return nullptr;
        }
        if (status == SEC_I_CONTINUE_NEEDED && !received.empty()) continue;
        char chunk[16384];
        const int got = ::recv(s, chunk, sizeof chunk, 0);
        if (got <= 0) return nullptr;
        received.insert(received.end(), chunk, chunk + got);
    }
    return nullptr;
}

bool Trusted(const CERT_CONTEXT* cert, const std::wstring& host) {
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    const CERT_CHAIN_CONTEXT* raw = nullptr;
    if (!::CertGetCertificateChain(nullptr, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &raw)) return false;
    std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(raw);
    std::wstring name = host;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    // The chain's own errors count as well: Wine's policy check passes a chain that ends short of
    // any root (the server sent its certificate alone and nothing here knows the issuer).
    return chain->TrustStatus.dwErrorStatus == CERT_TRUST_NO_ERROR &&
           ::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status) &&
           status.dwError == 0;
}

}  // namespace

CertificateProbe ProbeServerCertificate(const std::string& host, int port) {
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return CertificateProbe::NoTls;
    struct Cleanup {
        ~Cleanup() { ::WSACleanup(); }
    } cleanup;
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return CertificateProbe::NoTls;
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    Socket sock;
    sock.s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (sock.s == INVALID_SOCKET || !ConnectWithin(sock.s, found->ai_addr, static_cast<int>(found->ai_addrlen)))
        return CertificateProbe::NoTls;
    // The host as the connection named it (ASCII host names and addresses).
    const std::wstring wideHost(host.begin(), host.end());
    std::unique_ptr<const CERT_CONTEXT, CertificateFree> cert(Handshake(sock.s, wideHost));
    if (!cert) return CertificateProbe::NoTls;
    return Trusted(cert.get(), wideHost) ? CertificateProbe::Trusted : CertificateProbe::Untrusted;
}

}  // namespace vela::directory
