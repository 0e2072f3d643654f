// compileTemplate against fake dictionaries registered with the COM runtime.
#include <gtest/gtest.h>

#include <thread>

#include "com_apartment.h"
#include "dicom_tags.h"
#include "fake_toolkit.h"
#include "filing/template_compiler.h"
#include "test_platform.h"

namespace {

using namespace tags;

using filing::TemplateElement;
using filing::TemplateElements;

const std::map<std::string, LONG> kKnownKeywords = {
    {"StudyInstanceUID", kStudyInstanceUID}, {"SeriesInstanceUID", kSeriesInstanceUID},
    {"SOPInstanceUID", kSOPInstanceUID},     {"PatientID", kPatientID},
    {"StudyDate", kStudyDate},
};

class TemplateCompiler : public ::testing::Test {
protected:
    void SetUp() override { toolkit_.dictionary.tags = kKnownKeywords; }
    void TearDown() override
    {
        toolkit_.revokeClasses();
        EXPECT_EQ(fakes::liveFakeObjects(), 0) << "a toolkit reference was not released";
        EXPECT_EQ(test_platform::liveBstrCount(), 0) << "a BSTR was not freed";
    }

    ComApartment apartment_;
    fakes::FakeToolkit toolkit_;
};

TEST_F(TemplateCompiler, SplitsAtDotsAndBackslashesAndKeepsKnownKeywordsInOrder)
{
    const struct {
        const char* name;
        std::string filenameTemplate;
        std::vector<std::string> lookups;
        TemplateElements elements;
    } rows[] = {
        {"default template",
         "StudyInstanceUID\\SeriesInstanceUID\\SOPInstanceUID.dcm",
         {"StudyInstanceUID", "SeriesInstanceUID", "SOPInstanceUID", "dcm"},
         {{kStudyInstanceUID, "StudyInstanceUID"},
          {kSeriesInstanceUID, "SeriesInstanceUID"},
          {kSOPInstanceUID, "SOPInstanceUID"}}},
        {"placeholders are words like any other",
         "%SOURCE_AE_TITLE%\\%DESTINATION_AE_TITLE%",
         {"%SOURCE_AE_TITLE%", "%DESTINATION_AE_TITLE%"},
         {}},
        {"an underscore does not split", "PatientID_x", {"PatientID_x"}, {}},
        {"a forward slash does not split", "PatientName/StudyDate", {"PatientName/StudyDate"}, {}},
        {"leading and doubled delimiters give no empty word",
         "\\StudyInstanceUID\\\\SOPInstanceUID..dcm",
         {"StudyInstanceUID", "SOPInstanceUID", "dcm"},
         {{kStudyInstanceUID, "StudyInstanceUID"}, {kSOPInstanceUID, "SOPInstanceUID"}}},
        {"duplicates stay",
         "PatientID\\PatientID.dcm",
         {"PatientID", "PatientID", "dcm"},
         {{kPatientID, "PatientID"}, {kPatientID, "PatientID"}}},
        {"empty template", "", {}, {}},
        {"delimiters only", ".\\..\\", {}, {}},
        {"multi-byte words pass whole", "Pati\xC3\xABntID.StudyDate", {"Pati\xC3\xABntID", "StudyDate"},
         {{kStudyDate, "StudyDate"}}},
    };
    for (const auto& row : rows) {
        toolkit_.dictionary.lookups.clear();
        const int created = toolkit_.dictionariesCreated();
        TemplateElements elements;
        filing::compileTemplate(row.filenameTemplate, elements);
        EXPECT_EQ(toolkit_.dictionary.lookups, row.lookups) << row.name;
        EXPECT_EQ(elements, row.elements) << row.name;
        EXPECT_EQ(toolkit_.dictionariesCreated(), created + 1) << row.name << ": the dictionary is always created";
    }
}

TEST_F(TemplateCompiler, FailuresEndInAShorterListAndReportNothing)
{
    const std::string threeKeywords = "StudyDate\\PatientID\\SOPInstanceUID\\StudyInstanceUID";
    const struct {
        const char* name;
        int failAtLookup;
        HRESULT dictionaryCreation;
        bool registered;
        TemplateElements elements;
        size_t lookups;
    } rows[] = {
        {"fails at the third word", 3, S_OK, true,
         {{kStudyDate, "StudyDate"}, {kPatientID, "PatientID"}}, 3},
        {"fails at the first word", 1, S_OK, true, {}, 1},
        {"creation answers E_NOINTERFACE", 0, E_NOINTERFACE, true, {}, 0},
        {"creation fails otherwise", 0, E_OUTOFMEMORY, true, {}, 0},
        {"no dictionary registered", 0, S_OK, false, {}, 0},
    };
    for (const auto& row : rows) {
        toolkit_.dictionary.lookups.clear();
        toolkit_.dictionary.failAtLookup = row.failAtLookup;
        toolkit_.dictionaryCreation = row.dictionaryCreation;
        toolkit_.registerDictionary = row.registered;
        toolkit_.registerClasses();
        const ULONG depth = test_platform::apartmentDepth();

        ::testing::internal::CaptureStdout();
        TemplateElements elements;
        filing::compileTemplate(threeKeywords, elements);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << row.name;

        EXPECT_EQ(elements, row.elements) << row.name;
        EXPECT_EQ(toolkit_.dictionary.lookups.size(), row.lookups) << row.name;
        EXPECT_EQ(test_platform::apartmentDepth(), depth) << row.name << ": COM initialisation balanced";
        IErrorInfo* leftOver = nullptr;
        if (GetErrorInfo(0, &leftOver) == S_OK && leftOver)
            leftOver->Release();
    }
}

TEST_F(TemplateCompiler, AThreadInAMultithreadedApartmentCompilesNothing)
{
    TemplateElements elements;
    std::thread([&] {
        ComApartment multithreaded(COINIT_MULTITHREADED);
        ASSERT_EQ(multithreaded.result(), S_OK);
        filing::compileTemplate("StudyDate\\PatientID", elements);
        EXPECT_EQ(test_platform::apartmentDepth(), 1u) << "the failed initialisation is not undone";
    }).join();
    EXPECT_TRUE(elements.empty());
    EXPECT_TRUE(toolkit_.dictionary.lookups.empty());
}

} // namespace
