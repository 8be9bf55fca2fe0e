#pragma once
// The text content of a DOCX: paragraphs and tables of the body in order, and
// its title. For the PDF of a report and for reading a report back.
#include <string>
#include <vector>

struct SDocxCell {
    std::string text;
    int span = 1;           // grid columns the cell covers
    bool merged = false;    // covered by the cell above (vertical merge)
};

struct SDocxBlock {
    bool isTable = false;
    std::string text;                                 // a paragraph
    std::string style;                                // its style id
    std::vector<std::vector<SDocxCell>> rows;         // a table
};

struct SDocxContent {
    std::string title;
    std::vector<SDocxBlock> blocks;
};

// Throws EReportError when the file is missing or damaged.
SDocxContent ReadDocxContent(const std::string& path);
