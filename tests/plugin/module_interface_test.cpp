// Every operation of the loaded module, called by position through the
// host's own declaration of the interface.
#include "module_fixture.h"

namespace {

TEST_F(ModuleTest, AnswersEveryPositionFromDefaultsWithoutASettingsFile)
{
    load();
    host::IDicomServerConfiguration* config = configuration();
    ASSERT_NE(config, nullptr);
    EXPECT_STREQ(config->getStorageRoot(), "\\KORVEL");
    EXPECT_STREQ(config->getAeTitle(), "KORVEL");
    EXPECT_EQ(config->getPort(), 104);
    EXPECT_EQ(config->slot04(), 30);
    EXPECT_EQ(config->slot05(), 30);
    EXPECT_EQ(config->slot06(), 30);
    EXPECT_FALSE(config->slot08(1, 2, 3));
    EXPECT_FALSE(config->slot09(1, 2, 3, 4));
    EXPECT_TRUE(config->slot10(1, 2, 3));
    config->slot11();
    config->slot12();
    EXPECT_EQ(config->slot13(), 1);
    EXPECT_FALSE(config->slot14(1, 2, 3));
    config->slot15(1, 2);
    EXPECT_EQ(config->slot16(1, 2, 3), 0u);
    EXPECT_EQ(config->slot17(1, 2), 0u);
    config->slot18(1, 2, 3, 4);
    EXPECT_FALSE(config->slot19(1, 2, 3));
    EXPECT_FALSE(config->slot20(1, 2));
    EXPECT_EQ(config->slot21(1, 2), -1);
    EXPECT_STREQ(config->getPluginName(), "INI File Plugin");
    EXPECT_TRUE(config->slot23());
    EXPECT_EQ(config->slot24(std::string(100, 'a'), std::string(100, 'b')), "");
    config->slot25(std::string(100, 'c'), 7);
    config->slot26(9);
    EXPECT_FALSE(config->isSecureConnection());
    EXPECT_EQ(config->getCertSubjectName(), "DicomServer");
    EXPECT_FALSE(config->isMutualAuthentication());
    EXPECT_EQ(config->slot30(), 0u);
    EXPECT_EQ(config->slot31(), 0u);
    // Construction made the default root's chain: "\" then "\KORVEL".
    EXPECT_EQ(creations, (std::vector<std::string>{"\\", "\\KORVEL"}));
}

TEST_F(ModuleTest, AnswersFromTheSettingsFile)
{
    const std::string root = windowsPath("store\\root");
    writeSettings("AE_TITLE=ARCHIVE\nPORT=11112\nSTORAGE_ROOT=" + root +
                  "\nSECURE_CONNECTION=1\nMUTUAL_AUTHENTICATION=1\nCERT_SUBJECT_NAME=archive.example\n");
    load();
    host::IDicomServerConfiguration* config = configuration();
    EXPECT_EQ(std::string(config->getStorageRoot()), root);
    EXPECT_STREQ(config->getAeTitle(), "ARCHIVE");
    EXPECT_EQ(config->getPort(), 11112);
    EXPECT_TRUE(config->isSecureConnection());
    EXPECT_EQ(config->getCertSubjectName(), "archive.example");
    EXPECT_TRUE(config->isMutualAuthentication());
    EXPECT_STREQ(config->getPluginName(), "INI File Plugin");
    EXPECT_TRUE(std::filesystem::is_directory(hostFolder_.path() / "store" / "root"))
        << "construction creates the storage root's chain";
}

TEST_F(ModuleTest, TextSlotsShareTheFieldsAndCopiesAreFresh)
{
    load();
    host::IDicomServerConfiguration* config = configuration();
    EXPECT_EQ(config->getStorageRoot(), config->getStorageRoot());
    EXPECT_EQ(config->getAeTitle(), config->getAeTitle());
    EXPECT_EQ(config->getPluginName(), config->getPluginName());
    std::string subject = config->getCertSubjectName();
    subject += "-changed";
    EXPECT_EQ(config->getCertSubjectName(), "DicomServer");
}

TEST_F(ModuleTest, PositionsWithFixedAnswersHoldWithoutAToolkit)
{
    toolkit_.reset();
    load();
    host::IDicomServerConfiguration* config = configuration();
    EXPECT_EQ(config->slot04(), 30);
    EXPECT_EQ(config->slot13(), 1);
    EXPECT_EQ(config->slot21(0, 0), -1);
    EXPECT_EQ(config->slot30(), 0u);
    EXPECT_EQ(config->slot31(), 0u);
}

} // namespace
