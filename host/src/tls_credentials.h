// Finding the server's TLS certificate and the trusted CA certificates in
// the certificate folder.
//
// Naming: every file ending in .pem, .crt or .cer is read as a PEM
// certificate. The server's certificate is the one whose subject common name
// equals the configured name (the first in name order when several do); its
// private key is the PEM file of the same stem ending in .key, or else the
// certificate file itself when it also holds the key. Every certificate file
// in the folder is trusted for verifying peers.
#ifndef HOST_TLS_CREDENTIALS_H
#define HOST_TLS_CREDENTIALS_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct TlsCredentials {
    std::filesystem::path certificate;
    std::filesystem::path privateKey;
    std::vector<std::filesystem::path> trustedCertificates;
};

std::optional<TlsCredentials> findTlsCredentials(const std::filesystem::path& certDir,
                                                 const std::string& subjectCommonName, std::string& error);

} // namespace host

#endif // HOST_TLS_CREDENTIALS_H
