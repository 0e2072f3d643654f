// dicom-host serve end to end: the real executable, module and toolkit
// component in a private installation, DCMTK's storescu and echoscu (and a
// DcmSCU that holds an association open) as clients on loopback.
#include "dicom_objects.h"
#include "host_harness.h"

#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmnet/scu.h>
#include <dcmtk/oflog/oflog.h>

#include <gtest/gtest.h>

#include <memory>

#include <unistd.h>

namespace {

class ServeTest : public ::testing::Test {
protected:
    std::filesystem::path writeSource(const std::string& name, const ObjectSpec& spec)
    {
        std::filesystem::path file = sources.path() / name;
        writeObject(file, spec);
        return file;
    }

    // The stored file holding `sopUid`, wherever the module put it.
    std::filesystem::path findStored(const std::string& sopUid) const
    {
        for (const auto& file : HostInstallation::filesUnder(installation.storage()))
            if (readAttribute(file, DCM_MediaStorageSOPInstanceUID) == sopUid)
                return file;
        return {};
    }

    std::vector<std::filesystem::path> partialFiles() const
    {
        std::vector<std::filesystem::path> partial;
        for (const auto& file : HostInstallation::filesUnder(installation.incoming()))
            if (file.extension() == ".part")
                partial.push_back(file);
        return partial;
    }

    HostInstallation installation;
    TempDir sources;
    HostSettings settings;
};

TEST_F(ServeTest, AnswersEchoAndRejectsAnotherCalledAeTitle)
{
    HostServer server(installation, settings);
    const std::string port = std::to_string(server.port());

    ProcessResult echo = runToEnd({"echoscu", "-aec", settings.aeTitle, "127.0.0.1", port}, clientOptions());
    EXPECT_EQ(echo.exitStatus, 0) << echo.output;

    ProcessResult wrong = runToEnd({"echoscu", "-aec", "NOT-HOSTTEST", "127.0.0.1", port}, clientOptions());
    EXPECT_NE(wrong.exitStatus, 0);
    EXPECT_NE(wrong.output.find("Called AE Title Not Recognized"), std::string::npos) << wrong.output;

    EXPECT_TRUE(server.waitForLog("rejected: called AE title not recognised")) << server.log();
    EXPECT_EQ(server.stop(), 0) << server.log();
}

TEST_F(ServeTest, FilesEveryObjectOfOneAssociationUnderItsStudyAndSeries)
{
    if (!toolkitBuilt())
        GTEST_SKIP() << "the toolkit component is not built";
    ObjectSpec first = freshObject();
    ObjectSpec second = first;
    second.sopUid = freshUid();
    ObjectSpec other = freshObject();
    std::vector<std::filesystem::path> files = {writeSource("first.dcm", first), writeSource("second.dcm", second),
                                                writeSource("other.dcm", other)};
    HostServer server(installation, settings);

    StoreResult sent = storeFiles(server.port(), settings.aeTitle, files);

    EXPECT_EQ(sent.statuses, std::vector<std::string>(3, "Success")) << sent.output;
    for (const ObjectSpec& spec : {first, second, other}) {
        std::filesystem::path filed = installation.filedPath(spec.studyUid, spec.seriesUid, spec.sopUid);
        EXPECT_TRUE(std::filesystem::is_regular_file(filed)) << spec.sopUid << "\n" << server.log();
        EXPECT_EQ(readAttribute(filed, DCM_SOPInstanceUID), spec.sopUid);
        EXPECT_EQ(readAttribute(filed, DCM_SourceApplicationEntityTitle), "STORESCU");
    }
    EXPECT_TRUE(HostInstallation::filesUnder(installation.incoming()).empty());
    EXPECT_EQ(countOccurrences(server.log(), " accepted "), 1u) << server.log();
    EXPECT_EQ(countOccurrences(server.log(), ": filed"), 3u) << server.log();
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServeTest, StoresEachTransferSyntaxAsReceived)
{
    struct Row {
        const char* name;
        E_TransferSyntax syntax;
        const char* uid;
        const char* proposal; // storescu's option proposing it first
    };
    const Row rows[] = {
        {"implicit little endian", EXS_LittleEndianImplicit, UID_LittleEndianImplicitTransferSyntax, "-xi"},
        {"explicit little endian", EXS_LittleEndianExplicit, UID_LittleEndianExplicitTransferSyntax, "-xe"},
        {"explicit big endian", EXS_BigEndianExplicit, UID_BigEndianExplicitTransferSyntax, "-xb"},
        {"deflated", EXS_DeflatedLittleEndianExplicit, UID_DeflatedExplicitVRLittleEndianTransferSyntax, "-xd"},
        {"RLE lossless", EXS_RLELossless, UID_RLELosslessTransferSyntax, "-xr"},
    };
    HostServer server(installation, settings);
    for (const Row& row : rows) {
        ObjectSpec spec = freshObject();
        spec.transferSyntax = row.syntax;
        std::filesystem::path source = writeSource(std::string(row.name) + ".dcm", spec);

        StoreResult sent = storeFiles(server.port(), settings.aeTitle, {source}, {row.proposal});

        EXPECT_EQ(sent.statuses, std::vector<std::string>{"Success"}) << row.name << "\n" << sent.output;
        std::filesystem::path stored = findStored(spec.sopUid);
        ASSERT_FALSE(stored.empty()) << row.name << "\n" << server.log();
        EXPECT_EQ(readAttribute(stored, DCM_TransferSyntaxUID), row.uid) << row.name;
        EXPECT_EQ(readAttribute(stored, DCM_PatientID), spec.patientId) << row.name;
    }
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServeTest, ServesSeveralAssociationsAtOnce)
{
    constexpr int kClients = 4;
    constexpr int kObjectsEach = 5;
    std::vector<std::vector<std::filesystem::path>> batches(kClients);
    std::vector<std::string> sopUids;
    for (int c = 0; c < kClients; ++c)
        for (int i = 0; i < kObjectsEach; ++i) {
            ObjectSpec spec = freshObject();
            sopUids.push_back(spec.sopUid);
            batches[c].push_back(writeSource(std::to_string(c) + "-" + std::to_string(i) + ".dcm", spec));
        }
    HostServer server(installation, settings);

    std::vector<std::unique_ptr<ChildProcess>> clients;
    for (const auto& batch : batches)
        clients.push_back(
            std::make_unique<ChildProcess>(storescuCommand(server.port(), settings.aeTitle, batch), clientOptions()));
    for (auto& client : clients) {
        EXPECT_EQ(client->wait(), 0) << client->output();
        EXPECT_EQ(storeStatuses(client->output()), std::vector<std::string>(kObjectsEach, "Success"))
            << client->output();
    }

    for (const auto& sopUid : sopUids)
        EXPECT_FALSE(findStored(sopUid).empty()) << sopUid;
    EXPECT_EQ(countOccurrences(server.log(), " accepted "), static_cast<size_t>(kClients)) << server.log();
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServeTest, RejectsAnAssociationBeyondTheLimitUntilOneEnds)
{
    HostServer server(installation, settings, {"--max-associations", "1", "-v"});
    const std::vector<std::string> echo = {"echoscu", "-aec", settings.aeTitle, "127.0.0.1",
                                           std::to_string(server.port())};

    OFLog::configure(OFLogger::WARN_LOG_LEVEL);
    DcmSCU holder;
    holder.setPeerHostName("127.0.0.1");
    holder.setPeerPort(server.port());
    holder.setPeerAETitle(settings.aeTitle.c_str());
    holder.setAETitle("HOLDER");
    OFList<OFString> syntaxes;
    syntaxes.push_back(UID_LittleEndianExplicitTransferSyntax);
    holder.addPresentationContext(UID_VerificationSOPClass, syntaxes);
    ASSERT_TRUE(holder.initNetwork().good());
    ASSERT_TRUE(holder.negotiateAssociation().good()) << server.log();
    EXPECT_TRUE(holder.sendECHORequest(0).good());

    ProcessResult refused = runToEnd(echo, clientOptions());
    EXPECT_NE(refused.exitStatus, 0);
    EXPECT_NE(refused.output.find("Local Limit Exceeded"), std::string::npos) << refused.output;

    ASSERT_TRUE(holder.releaseAssociation().good());
    ASSERT_TRUE(server.waitForLog(" released")) << server.log();
    ProcessResult accepted = runToEnd(echo, clientOptions());
    EXPECT_EQ(accepted.exitStatus, 0) << accepted.output << "\n" << server.log();
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServeTest, ServesOthersWhileAPeerConnectsAndSendsNothing)
{
    HostServer server(installation, settings);
    const int silent = connectLoopback(server.port());

    // The request timeout is a bound, not a pace: the server answers at once,
    // but a listener held up by the silent peer would answer after 30 s.
    ProcessResult echo = runToEnd(
        {"echoscu", "-ta", "10", "-aec", settings.aeTitle, "127.0.0.1", std::to_string(server.port())},
        clientOptions());
    EXPECT_EQ(echo.exitStatus, 0) << echo.output << "\n" << server.log();

    EXPECT_EQ(server.stop(), 0) << server.log();
    close(silent);
}

TEST_F(ServeTest, AnswersOutOfResourcesForAnObjectTheModuleRefuses)
{
    if (!toolkitBuilt())
        GTEST_SKIP() << "the toolkit component is not built";
    settings.filenameTemplate = "PatientID\\SOPInstanceUID.dcm";
    ObjectSpec good = freshObject();
    good.patientId = "P1";
    ObjectSpec hostile = freshObject();
    hostile.patientId = "..\\..\\x";
    ObjectSpec later = freshObject();
    later.patientId = "P2";
    std::vector<std::filesystem::path> files = {writeSource("good.dcm", good), writeSource("hostile.dcm", hostile),
                                                writeSource("later.dcm", later)};
    HostServer server(installation, settings);

    StoreResult sent = storeFiles(server.port(), settings.aeTitle, files);

    const std::vector<std::string> expected = {"Success", "Refused: OutOfResources", "Success"};
    EXPECT_EQ(sent.statuses, expected) << sent.output << "\n" << server.log();
    EXPECT_TRUE(std::filesystem::is_regular_file(installation.storage() / "P1" / (good.sopUid + ".dcm")));
    EXPECT_TRUE(std::filesystem::is_regular_file(installation.storage() / "P2" / (later.sopUid + ".dcm")));
    EXPECT_FALSE(std::filesystem::exists(installation.root().parent_path() / "x" / (hostile.sopUid + ".dcm")));
    EXPECT_NE(server.log().find("failed (status 0xA700): the module refused it"), std::string::npos) << server.log();
    EXPECT_EQ(server.stop(), 0);
}

TEST_F(ServeTest, AnswersOutOfResourcesAndDeletesThePartialFileWhenWritingFails)
{
    ObjectSpec big = freshObject();
    big.rows = 1024; // 32 KB of pixel data, over the limit below
    ObjectSpec small = freshObject();
    std::vector<std::filesystem::path> files = {writeSource("big.dcm", big), writeSource("small.dcm", small)};
    ChildOptions limited;
    limited.fileSizeLimit = 16 * 1024;
    HostServer server(installation, settings, {}, limited);

    StoreResult sent = storeFiles(server.port(), settings.aeTitle, files);

    const std::vector<std::string> expected = {"Refused: OutOfResources", "Success"};
    EXPECT_EQ(sent.statuses, expected) << sent.output << "\n" << server.log();
    EXPECT_TRUE(findStored(big.sopUid).empty());
    EXPECT_FALSE(findStored(small.sopUid).empty()) << server.log();
    EXPECT_TRUE(partialFiles().empty());
    EXPECT_NE(server.log().find("cannot write the incoming file"), std::string::npos) << server.log();
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
