// What printing of fax pages shares with printing of text documents (print.cpp). Not public.
#pragma once

#include <cstdint>
#include <string>

namespace qorlib2_print {
// The [PRINT] target: a command (and its line) or a PDF folder.
int16_t target(uint32_t host, bool* command, std::string* commandLine, std::string* folder);
int16_t runPrintCommand(uint32_t host, const std::string& commandLine, const char* path);
// A new PDF file in the folder named after the document (numbered when taken); -1 on failure.
int openPdfIn(const std::string& folder, const char* docPath, std::string* pdfPath);
void setLastPrinted(const std::string& what);
}  // namespace qorlib2_print
