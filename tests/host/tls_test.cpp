// dicom-host serve over TLS: the server certificate found by its subject
// name in the certificate folder, and client certificates required only with
// mutual authentication. Certificates are made with the openssl command.
#include "dicom_objects.h"
#include "host_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

const char kServerName[] = "HostTestServer";

void openssl(const std::vector<std::string>& args, const std::filesystem::path& folder)
{
    std::vector<std::string> argv = {"openssl"};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildOptions options;
    options.workingDirectory = folder.string();
    ProcessResult run = runToEnd(argv, options);
    if (run.exitStatus != 0)
        throw std::runtime_error("openssl failed:\n" + run.output);
}

// <name>.key and <name>.pem (an EC key, quick to make), signed by <ca>, or
// self-signed when ca is empty.
void makeCertificate(const std::filesystem::path& folder, const std::string& name, const std::string& commonName,
                     const std::string& ca)
{
    const std::vector<std::string> newKey = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                             "-keyout", name + ".key", "-subj", "/CN=" + commonName};
    std::vector<std::string> request = {"req"};
    request.insert(request.end(), newKey.begin(), newKey.end());
    if (ca.empty()) {
        request.insert(request.end(), {"-x509", "-days", "2", "-out", name + ".pem"});
        openssl(request, folder);
        return;
    }
    request.insert(request.end(), {"-out", name + ".csr"});
    openssl(request, folder);
    openssl({"x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key", "-CAcreateserial",
             "-out", name + ".pem", "-days", "2"},
            folder);
}

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        keys = new TempDir();
        const auto& folder = keys->path();
        makeCertificate(folder, "ca", "Host Test CA", "");
        makeCertificate(folder, "server", kServerName, "ca");
        makeCertificate(folder, "client", "Host Test Client", "ca");
        makeCertificate(folder, "rogue-ca", "Rogue CA", "");
        makeCertificate(folder, "rogue", "Rogue Client", "rogue-ca");
    }
    static void TearDownTestSuite()
    {
        delete keys;
        keys = nullptr;
    }

    void SetUp() override
    {
        std::filesystem::create_directories(installation.certs());
        for (const char* file : {"ca.pem", "server.pem", "server.key"})
            std::filesystem::copy_file(keys->path() / file, installation.certs() / file);
        settings.secureConnection = true;
        settings.certSubjectName = kServerName;
        object = sources.path() / "object.dcm";
        writeObject(object, freshObject());
    }

    static std::string key(const char* file) { return (keys->path() / file).string(); }

    struct Client {
        const char* name;
        std::vector<std::string> args;
        bool stores;
    };

    void expectClients(const std::vector<Client>& clients)
    {
        HostServer server(installation, settings);
        for (const Client& client : clients) {
            StoreResult sent = storeFiles(server.port(), settings.aeTitle, {object}, client.args);
            if (client.stores)
                EXPECT_EQ(sent.statuses, std::vector<std::string>{"Success"}) << client.name << "\n"
                                                                              << sent.output << server.log();
            else
                EXPECT_TRUE(sent.statuses.empty()) << client.name << "\n" << sent.output;
        }
        const auto refused = std::count_if(clients.begin(), clients.end(), [](const Client& c) { return !c.stores; });
        // A worker logs a refused handshake on its own time, possibly after
        // the client has gone.
        if (refused > 0)
            server.waitForLog("failed before negotiation: TLS error", static_cast<size_t>(refused));
        EXPECT_EQ(countOccurrences(server.log(), "failed before negotiation: TLS error"), static_cast<size_t>(refused))
            << server.log();
        EXPECT_EQ(server.stop(), 0) << server.log();
    }

    static TempDir* keys;
    HostInstallation installation;
    HostSettings settings;
    TempDir sources;
    std::filesystem::path object;
};

TempDir* TlsTest::keys = nullptr;

TEST_F(TlsTest, MutualAuthenticationAdmitsOnlyCertificatesOfATrustedCa)
{
    settings.mutualAuthentication = true;
    expectClients({
        {"certificate of the trusted CA", {"+tls", key("client.key"), key("client.pem"), "+cf", key("ca.pem")}, true},
        {"no certificate", {"+tla", "+cf", key("ca.pem")}, false},
        {"certificate of another CA", {"+tls", key("rogue.key"), key("rogue.pem"), "+cf", key("ca.pem")}, false},
    });
}

TEST_F(TlsTest, WithoutMutualAuthenticationAnyTlsClientIsServed)
{
    expectClients({
        {"no certificate", {"+tla", "+cf", key("ca.pem")}, true},
        {"certificate of another CA", {"+tls", key("rogue.key"), key("rogue.pem"), "+cf", key("ca.pem")}, true},
        {"plain TCP", {}, false},
    });
}

TEST_F(TlsTest, RefusesToStartWithoutACertificateOfTheConfiguredName)
{
    settings.certSubjectName = "SomeoneElse";
    installation.writeSettings(settings);
    ProcessResult run = runToEnd({installation.executable().string(), "serve", "--bind", "127.0.0.1"});
    EXPECT_EQ(run.exitStatus, 1) << run.output;
    EXPECT_NE(run.output.find("no certificate with subject common name 'SomeoneElse'"), std::string::npos)
        << run.output;
}

} // namespace
