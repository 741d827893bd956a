#include "shell/report/report_text.h"

#include <gtest/gtest.h>

TEST(ReportTextTest, UrlEncodesQueryValues) {
  struct Case {
    const char* text;
    const char* encoded;
  } cases[] = {
      {"a b&c", "a+b%26c"},          {"", ""},
      {"AZaz09*-._", "AZaz09*-._"},  {"x/y?z=1%", "x%2Fy%3Fz%3D1%25"},
      {"\xE5\xBC\xA0", "%E5%BC%A0"},  // UTF-8 bytes, upper-case digits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UrlEncodeReportText(c.text), c.encoded) << c.text;
  }
}

TEST(ReportTextTest, DiagnosisRecordIsByteExact) {
  const char* head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
      "<clientDiagnosis siteid=\"89281\" userid=\"0\" confid=\"C77\">";
  struct Case {
    const char* user;
    const char* desc;
    const char* log;
    const char* dump;
    std::string body;
  } cases[] = {
      {"a b&c", "", "http://s/log.zip", "",
       "<username><![CDATA[a b&c]]></username>"
       "<file type=\"log\"><![CDATA[http://s/log.zip]]></file>"},
      {"u", "auto send crash log", "L", "D",
       "<username><![CDATA[u]]></username><desc><![CDATA[auto send crash log]]></desc>"
       "<file type=\"log\"><![CDATA[L]]></file><file type=\"dump\"><![CDATA[D]]></file>"},
      {"", "", "", "D",
       "<username><![CDATA[]]></username><file type=\"dump\"><![CDATA[D]]></file>"},
      // "]]>" inside a text is split across two sections.
      {"x]]>y", "a]]>b]]>", "", "D",
       "<username><![CDATA[x]]]]><![CDATA[>y]]></username>"
       "<desc><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]></desc>"
       "<file type=\"dump\"><![CDATA[D]]></file>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.user);
    EXPECT_EQ(BuildDiagnosisXml("C77", c.user, c.desc, c.log, c.dump),
              std::string(head) + c.body + "</clientDiagnosis>");
  }
  // An id with markup characters stays inside its attribute.
  EXPECT_EQ(BuildDiagnosisXml("1\"&<", "u", "", "L", ""),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<clientDiagnosis siteid=\"89281\" userid=\"0\" confid=\"1&quot;&amp;&lt;\">"
            "<username><![CDATA[u]]></username><file type=\"log\"><![CDATA[L]]></file>"
            "</clientDiagnosis>");
}
