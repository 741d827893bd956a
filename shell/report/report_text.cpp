#include "shell/report/report_text.h"

namespace {

std::string EscapeAttribute(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string UrlEncodeReportText(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() * 3);
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
        c == '-' || c == '.' || c == '_') {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string CdataSection(const std::string& text) {
  std::string out = "<![CDATA[";
  size_t start = 0;
  for (size_t end = text.find("]]>"); end != std::string::npos; end = text.find("]]>", start)) {
    // "]]" closes this section; the ">" opens the next one.
    out.append(text, start, end + 2 - start);
    out += "]]><![CDATA[";
    start = end + 2;
  }
  out.append(text, start, std::string::npos);
  out += "]]>";
  return out;
}

std::string BuildDiagnosisXml(const std::string& confId, const std::string& userName,
                              const std::string& desc, const std::string& logAddress,
                              const std::string& dumpAddress) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  xml +=
      "<clientDiagnosis siteid=\"89281\" userid=\"0\" confid=\"" + EscapeAttribute(confId) + "\">";
  xml += "<username>" + CdataSection(userName) + "</username>";
  if (!desc.empty()) {
    xml += "<desc>" + CdataSection(desc) + "</desc>";
  }
  if (!logAddress.empty()) {
    xml += "<file type=\"log\">" + CdataSection(logAddress) + "</file>";
  }
  if (!dumpAddress.empty()) {
    xml += "<file type=\"dump\">" + CdataSection(dumpAddress) + "</file>";
  }
  xml += "</clientDiagnosis>";
  return xml;
}
