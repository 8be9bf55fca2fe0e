#pragma once
// Tables of a small series and templates built in a temporary folder.
#include "report/ZipPackage.h"
#include "workstation/MainTables.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>
#include <string>
#include <vector>

inline constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// Three meters in the set points, two verification rows and two pairs, each
// result table ending with its blank row.
inline void FillSampleTables(CMainTables& t)
{
    const char* numbers[] = {"11000002", "11000004", "11000007"};
    for (int i = 0; i < 3; ++i) {
        t.StringGrid1.SetRowCells(i + 1, {std::to_string(i + 1), "ВЯ-7П", numbers[i], "П" + std::to_string(i), "40",
                                          "04.02.0" + std::to_string(i)});
        t.StringGrid3.SetCell(i + 1, 1, numbers[i]);
    }
    t.StringGrid3.SetRowCount(5);
    t.StringGrid3.SetRowCells(2, {"25.0074", "2.664", "-2.043", "-0.609"});
    t.StringGrid3.SetRowCells(3, {"2.99764", "1.984", "-0.830", "1000.000"});
    t.StringGrid4.SetRowCount(4);
    t.StringGrid4.SetRowCells(1, {"20", "19.71", "20.33", "20.02"});
    t.StringGrid4.SetRowCells(2, {"2", "1.96", "2.05", "2.01"});
}

class ReportDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("vq7report-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path(const std::string& name) const { return (m_dir / name).string(); }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        return names;
    }

    // A package with the given document text; mainType is the main part's content type.
    std::string MakeTemplate(const std::string& name, const std::string& documentXml, bool withCore = false,
                             const std::string& mainType =
                                 "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml")
    {
        CZipPackage p;
        p.Set("[Content_Types].xml",
              "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
              "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
              "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
              "<Override PartName=\"/word/document.xml\" ContentType=\"" + mainType + "\"/></Types>");
        std::string rels =
            "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "officeDocument\" Target=\"word/document.xml\"/>";
        if (withCore) {
            rels += "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/"
                    "metadata/core-properties\" Target=\"docProps/core.xml\"/>";
            p.Set("docProps/core.xml", "<?xml version=\"1.0\"?><cp:coreProperties xmlns:cp=\"http://schemas."
                                       "openxmlformats.org/package/2006/metadata/core-properties\"/>");
        }
        p.Set("_rels/.rels", rels + "</Relationships>");
        p.Set("word/document.xml", documentXml);
        const std::string path = Path(name);
        p.Save(path);
        return path;
    }

    std::filesystem::path m_dir;
};
