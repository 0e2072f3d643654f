#include "tls_credentials.h"

#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace host {
namespace {

bool isCertificateFileName(const std::filesystem::path& path)
{
    const std::string ext = path.extension().string();
    return ext == ".pem" || ext == ".crt" || ext == ".cer";
}

bool holdsPrivateKey(const std::filesystem::path& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r"), std::fclose);
    if (!file)
        return false;
    EVP_PKEY* key = PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr);
    EVP_PKEY_free(key);
    return key != nullptr;
}

// The subject common name of the first certificate in a PEM file, or empty
// when the file holds no certificate.
std::optional<std::string> firstSubjectCommonName(const std::filesystem::path& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r"), std::fclose);
    if (!file)
        return std::nullopt;
    std::unique_ptr<X509, void (*)(X509*)> certificate(PEM_read_X509(file.get(), nullptr, nullptr, nullptr),
                                                       X509_free);
    if (!certificate)
        return std::nullopt;
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    int index = X509_NAME_get_index_by_NID(subject, NID_commonName, -1);
    if (index < 0)
        return std::string();
    ASN1_STRING* data = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, index));
    unsigned char* utf8 = nullptr;
    int length = ASN1_STRING_to_UTF8(&utf8, data);
    if (length < 0)
        return std::string();
    std::string name(reinterpret_cast<char*>(utf8), static_cast<size_t>(length));
    OPENSSL_free(utf8);
    return name;
}

} // namespace

std::optional<TlsCredentials> findTlsCredentials(const std::filesystem::path& certDir,
                                                 const std::string& commonName, std::string& error)
{
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (std::filesystem::directory_iterator it(certDir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file() && isCertificateFileName(it->path()))
            files.push_back(it->path());
    if (ec) {
        error = "cannot read the certificate folder " + certDir.string() + ": " + ec.message();
        return std::nullopt;
    }
    std::sort(files.begin(), files.end());

    TlsCredentials credentials;
    for (const auto& file : files) {
        std::optional<std::string> name = firstSubjectCommonName(file);
        if (!name)
            continue;
        credentials.trustedCertificates.push_back(file);
        if (credentials.certificate.empty() && *name == commonName)
            credentials.certificate = file;
    }
    if (credentials.certificate.empty()) {
        error = "no certificate with subject common name '" + commonName + "' in " + certDir.string() +
                " (*.pem, *.crt, *.cer)";
        return std::nullopt;
    }
    std::filesystem::path key = credentials.certificate;
    key.replace_extension(".key");
    if (std::filesystem::is_regular_file(key))
        credentials.privateKey = key;
    else if (holdsPrivateKey(credentials.certificate))
        credentials.privateKey = credentials.certificate;
    else {
        error = "no private key for " + credentials.certificate.string() + " (expected " + key.string() + ")";
        return std::nullopt;
    }
    return credentials;
}

} // namespace host
