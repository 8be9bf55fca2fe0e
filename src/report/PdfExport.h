#pragma once
// A PDF of a made DOCX through LibreOffice without a display
// (soffice --headless --convert-to pdf), with a private user profile in a
// temporary folder so that a running office suite of the operator is not
// disturbed, and a time limit.
#include <string>

constexpr int kPdfTimeLimitSeconds = 120;

// The soffice program: $VQ7_SOFFICE when set, else soffice or libreoffice on
// PATH; "" when none is there.
std::string FindOffice();

// Converts docx into pdfPath (written whole or not at all). Throws
// EReportError: no office program (the text says so and what to install),
// the time limit passed (the office program is stopped), or no PDF made.
// office: the program to run, "" for FindOffice().
void ConvertDocxToPdf(const std::string& docx, const std::string& pdfPath, int timeLimitSeconds = kPdfTimeLimitSeconds,
                      const std::string& office = "");

// "FILE.pdf" beside "FILE.docx".
std::string PdfPathOf(const std::string& docx);
