#pragma once

#include <string>

// Texts the report upload sends: URL query values and the "clientDiagnosis" XML record.

// Encodes a query value byte by byte: letters, digits, "*", "-", ".", "_" stay, a space becomes
// "+", every other byte "%XX" (upper-case hexadecimal).
std::string UrlEncodeReportText(const std::string& text);

// Wraps `text` in CDATA; a "]]>" inside it is split across two sections so that the record
// stays well-formed and the text reads back unchanged.
std::string CdataSection(const std::string& text);

// The one-line UTF-8 record that names where the uploaded files were stored. `desc`,
// `logAddress` and `dumpAddress` are left out when empty.
std::string BuildDiagnosisXml(const std::string& confId, const std::string& userName,
                              const std::string& desc, const std::string& logAddress,
                              const std::string& dumpAddress);
