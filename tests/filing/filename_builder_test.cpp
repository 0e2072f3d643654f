// buildFnameFromTemplate against fake file objects registered with the COM
// runtime: substitutions, the two log lines, and every reference, BSTR and
// variant released on every path.
#include <gtest/gtest.h>

#include <new>
#include <regex>
#include <thread>

#include "com_apartment.h"
#include "dicom_tags.h"
#include "fake_toolkit.h"
#include "filing/filename_builder.h"
#include "test_platform.h"

namespace {

using namespace tags;

using fakes::FakeAttribute;
using fakes::textAttribute;
using fakes::variantAttribute;
using filing::TemplateElements;

class FilenameBuilder : public ::testing::Test {
protected:
    void TearDown() override
    {
        toolkit_.revokeClasses();
        EXPECT_EQ(fakes::liveFakeObjects(), 0) << "a toolkit reference was not released";
        EXPECT_EQ(test_platform::liveBstrCount(), 0) << "a BSTR was not freed";
    }

    // Builds with stdout captured; answers the name, and the output in `log`.
    std::string build(const std::string& filenameTemplate, const TemplateElements& elements,
                      const std::string& source = "SRC", const std::string& destination = "DST")
    {
        ::testing::internal::CaptureStdout();
        std::string name =
            filing::buildFnameFromTemplate(filenameTemplate, elements, "C:\\in\\x.dcm", source, destination);
        log = ::testing::internal::GetCapturedStdout();
        return name;
    }

    ComApartment apartment_;
    fakes::FakeToolkit toolkit_;
    std::string log;
};

FakeAttribute int32Attribute(LONG number)
{
    return variantAttribute([number](VARIANT* v) {
        v->vt = VT_I4;
        v->lVal = number;
    });
}

TEST_F(FilenameBuilder, SubstitutesTitlesThenValuesInListOrder)
{
    // The string a by-reference value points at; the element does not own it.
    BSTR referenced = SysAllocString(L"REF");
    const struct {
        const char* name;
        std::string filenameTemplate;
        TemplateElements elements;
        std::map<LONG, FakeAttribute> attributes;
        std::string source, destination, expected;
    } rows[] = {
        {"keyword inside another word", "StudyDate\\scan_StudyDate.dcm", {{kStudyDate, "StudyDate"}},
         {{kStudyDate, textAttribute(L"D")}}, "S", "T", "D\\scan_D.dcm"},
        {"earlier keyword breaks a later one", "PatientID\\IssuerOfPatientID",
         {{kPatientID, "PatientID"}, {kIssuerOfPatientID, "IssuerOfPatientID"}},
         {{kPatientID, textAttribute(L"123")}, {kIssuerOfPatientID, textAttribute(L"ISS")}}, "S", "T",
         "123\\IssuerOf123"},
        {"absent attribute leaves its keyword", "PatientID\\SOPInstanceUID.dcm",
         {{kPatientID, "PatientID"}, {kSOPInstanceUID, "SOPInstanceUID"}},
         {{kSOPInstanceUID, textAttribute(L"U")}}, "S", "T", "PatientID\\U.dcm"},
        {"empty calling title removes its placeholder", "%SOURCE_AE_TITLE%\\SOPInstanceUID.dcm",
         {{kSOPInstanceUID, "SOPInstanceUID"}}, {{kSOPInstanceUID, textAttribute(L"U")}}, "", "T", "\\U.dcm"},
        {"both placeholders, every occurrence", "%SOURCE_AE_TITLE%-%DESTINATION_AE_TITLE%\\%SOURCE_AE_TITLE%",
         {}, {}, "MOD", "ARCH", "MOD-ARCH\\MOD"},
        {"titles are replaced before keywords", "%SOURCE_AE_TITLE%.dcm", {{kPatientID, "PatientID"}},
         {{kPatientID, textAttribute(L"42")}}, "PatientID", "T", "42.dcm"},
        {"a value holding a later keyword", "StudyDate\\x", {{kStudyDate, "StudyDate"}, {kPatientID, "PatientID"}},
         {{kStudyDate, textAttribute(L"PatientID")}, {kPatientID, textAttribute(L"P1")}}, "S", "T", "P1\\x"},
        {"placeholders are case-sensitive", "%source_ae_title%\\x", {}, {}, "S", "T", "%source_ae_title%\\x"},
        {"multi-valued text adds a level, trailing spaces stay", "PatientName.dcm", {{kPatientName, "PatientName"}},
         {{kPatientName, textAttribute(L"A\\B ")}}, "S", "T", "A\\B .dcm"},
        {"value ends at its first NUL", "SOPInstanceUID.dcm", {{kSOPInstanceUID, "SOPInstanceUID"}},
         {{kSOPInstanceUID, textAttribute(std::wstring(L"1.2.3\0", 6))}}, "S", "T", "1.2.3.dcm"},
        {"value starting with NUL counts as empty", "PatientID", {{kPatientID, "PatientID"}},
         {{kPatientID, textAttribute(std::wstring(L"\0X", 2))}}, "S", "T", "PatientID"},
        {"zero length leaves the keyword", "PatientID", {{kPatientID, "PatientID"}},
         {{kPatientID, textAttribute(L"ignored", 0)}}, "S", "T", "PatientID"},
        {"empty text leaves the keyword", "PatientID", {{kPatientID, "PatientID"}},
         {{kPatientID, textAttribute(L"", 2)}}, "S", "T", "PatientID"},
        {"null text leaves the keyword", "PatientID", {{kPatientID, "PatientID"}},
         {{kPatientID, variantAttribute([](VARIANT* v) {
               v->vt = VT_BSTR;
               v->bstrVal = nullptr;
           })}},
         "S", "T", "PatientID"},
        {"integer converted to text", "PatientID", {{kPatientID, "PatientID"}}, {{kPatientID, int32Attribute(-7)}},
         "S", "T", "-7"},
        {"real converted to text", "PatientID", {{kPatientID, "PatientID"}},
         {{kPatientID, variantAttribute([](VARIANT* v) {
               v->vt = VT_R8;
               v->dblVal = 1.5;
           })}},
         "S", "T", "1.5"},
        {"text by reference converted", "PatientID", {{kPatientID, "PatientID"}},
         {{kPatientID, variantAttribute([&referenced](VARIANT* v) {
               v->vt = VT_BSTR | VT_BYREF;
               v->pbstrVal = &referenced;
           })}},
         "S", "T", "REF"},
        {"characters of three and four bytes are never cut", "PatientName", {{kPatientName, "PatientName"}},
         {{kPatientName, textAttribute(L"\u5C71\u7530\U0001F600\u00E9")}}, "S", "T",
         "\xE5\xB1\xB1\xE7\x94\xB0\xF0\x9F\x98\x80\xC3\xA9"},
        {"empty template", "", {}, {}, "S", "T", ""},
        {"titles inserted as they are", "%SOURCE_AE_TITLE%\\a", {}, {}, "..\\..\\x ", "T", "..\\..\\x \\a"},
    };
    for (const auto& row : rows) {
        toolkit_.file.attributes = row.attributes;
        EXPECT_EQ(build(row.filenameTemplate, row.elements, row.source, row.destination), row.expected) << row.name;
        EXPECT_EQ(log, "") << row.name;
        EXPECT_EQ(fakes::liveFakeObjects(), 2) << row.name << ": only the two factories stay";
    }
    SysFreeString(referenced);
}

TEST_F(FilenameBuilder, LoadsTheFileEvenWhenTheTemplateNamesNoAttribute)
{
    toolkit_.file.loadResult = E_FAIL;
    toolkit_.file.loadDescription = L"not a DICOM file: C:\\in\\x.dcm";
    EXPECT_EQ(build("fixed.dcm", {}), "");
    EXPECT_EQ(log, "COM Error in buildFnameFromTemplate, code: 80004005, Description: not a DICOM file: "
                   "C:\\in\\x.dcm\n");
    ASSERT_EQ(toolkit_.file.loadedPaths.size(), 1u);
    EXPECT_EQ(toolkit_.file.loadedPaths[0], L"C:\\in\\x.dcm");
}

TEST_F(FilenameBuilder, EveryFailureGivesOneLineAndAnEmptyName)
{
    const std::string filenameTemplate = "StudyDate\\PatientID\\SOPInstanceUID";
    const TemplateElements elements = {
        {kStudyDate, "StudyDate"}, {kPatientID, "PatientID"}, {kSOPInstanceUID, "SOPInstanceUID"}};
    FakeAttribute failingFind;
    failingFind.findResult = E_INVALIDARG;
    FakeAttribute failingLength = textAttribute(L"x");
    failingLength.lengthResult = E_UNEXPECTED;
    FakeAttribute failingValue = textAttribute(L"x");
    failingValue.valueResult = E_ACCESSDENIED;
    const auto throwing = variantAttribute([](VARIANT*) { throw std::bad_alloc(); });

    const struct {
        const char* name;
        HRESULT fileCreation;
        bool registered;
        HRESULT loadResult;
        std::wstring loadDescription;
        FakeAttribute last;  // the last list entry's attribute
        std::string line;
    } rows[] = {
        {"LoadFile fails with a description", S_OK, true, E_FAIL, L"file not found: C:\\in\\x.dcm", {},
         "COM Error in buildFnameFromTemplate, code: 80004005, Description: file not found: C:\\in\\x.dcm\n"},
        {"description written as UTF-8", S_OK, true, E_FAIL, L"Datei \u00FCberlang: \u65E5", {},
         "COM Error in buildFnameFromTemplate, code: 80004005, Description: Datei \xC3\xBC" "berlang: \xE6\x97\xA5\n"},
        {"no file class", S_OK, false, S_OK, L"", {},
         "COM Error in buildFnameFromTemplate, code: 80040154, Description: \n"},
        {"creation answers E_NOINTERFACE: first use raises E_POINTER", E_NOINTERFACE, true, S_OK, L"", {},
         "COM Error in buildFnameFromTemplate, code: 80004003, Description: \n"},
        {"FindElement fails at the last entry", S_OK, true, S_OK, L"", failingFind,
         "COM Error in buildFnameFromTemplate, code: 80070057, Description: \n"},
        {"GetValueLength fails", S_OK, true, S_OK, L"", failingLength,
         "COM Error in buildFnameFromTemplate, code: 8000ffff, Description: \n"},
        {"GetValue fails", S_OK, true, S_OK, L"", failingValue,
         "COM Error in buildFnameFromTemplate, code: 80070005, Description: \n"},
        {"a value without text form", S_OK, true, S_OK, L"",
         variantAttribute([](VARIANT* v) { v->vt = VT_NULL; }),
         "COM Error in buildFnameFromTemplate, code: 80020005, Description: \n"},
        {"an interface value is released after the failed conversion", S_OK, true, S_OK, L"",
         variantAttribute([](VARIANT* v) {
             // Any COM object will do; the fake file object's factory is one.
             CoCreateInstance(toolkit::CLSID_DicomFileObject, nullptr, CLSCTX_ALL, IID_IUnknown,
                              reinterpret_cast<void**>(&v->punkVal));
             v->vt = VT_UNKNOWN;
         }),
         "COM Error in buildFnameFromTemplate, code: 80020005, Description: \n"},
        {"any other failure", S_OK, true, S_OK, L"", throwing, "Unknown error in buildFnameFromTemplate\n"},
    };
    for (const auto& row : rows) {
        toolkit_.fileCreation = row.fileCreation;
        toolkit_.registerFile = row.registered;
        toolkit_.registerClasses();
        toolkit_.file.loadResult = row.loadResult;
        toolkit_.file.loadDescription = row.loadDescription;
        toolkit_.file.attributes = {{kStudyDate, textAttribute(L"D")},
                                    {kPatientID, textAttribute(L"P")},
                                    {kSOPInstanceUID, row.last}};
        EXPECT_EQ(build(filenameTemplate, elements), "") << row.name;
        EXPECT_EQ(log, row.line) << row.name;
        EXPECT_EQ(fakes::liveFakeObjects(), row.registered ? 2 : 1) << row.name << ": references released";
        EXPECT_EQ(test_platform::liveBstrCount(), 0) << row.name << ": BSTRs freed";
    }
}

TEST_F(FilenameBuilder, LinesOfThreadsFailingAtOnceStayWhole)
{
    toolkit_.file.loadResult = E_FAIL;
    toolkit_.file.loadDescription = std::wstring(200, L'x') + L" \u00E9";
    constexpr int kThreads = 8;
    constexpr int kPerThread = 50;
    ::testing::internal::CaptureStdout();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([this] {
            ComApartment apartment;
            const fakes::ApartmentRegistration classes(toolkit_);
            for (int i = 0; i < kPerThread; ++i)
                filing::buildFnameFromTemplate("x", {}, "p", "s", "d");
        });
    for (auto& thread : threads)
        thread.join();
    const std::string output = ::testing::internal::GetCapturedStdout();
    const std::string line = "COM Error in buildFnameFromTemplate, code: 80004005, Description: " +
                             std::string(200, 'x') + " \xC3\xA9\n";
    size_t lines = 0;
    for (size_t at = 0; at < output.size(); at += line.size(), ++lines)
        ASSERT_EQ(output.compare(at, line.size(), line), 0) << "line " << lines << " is not whole";
    EXPECT_EQ(lines, size_t{kThreads * kPerThread});
}

} // namespace
