// Why an encrypted connection to a directory server failed: the server's certificate, or the
// server itself.  The LDAP libraries say only that the server is down in both cases.
#pragma once

#include <string>

namespace vela::directory {

enum class CertificateProbe {
    NoTls,      // no TLS handshake could be made: nothing listens there, or it speaks no TLS
    Trusted,    // the certificate is trusted here and names the host
    Untrusted,  // the handshake worked, but this computer does not trust the certificate for the host
};

// Makes one TLS handshake with host:port, sends nothing else, and checks the certificate the
// server showed against this computer's trusted roots and the host name.
[[nodiscard]] CertificateProbe ProbeServerCertificate(const std::string& host, int port);

}  // namespace vela::directory
