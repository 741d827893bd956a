#pragma once

#include <cstdint>
#include <string>

struct cJSON;
struct StAppConfig;

// What joining a live room needs, from the page's login request. Texts are UTF-8.
struct StJoinInfo {
  std::string confid;     // conference identifier
  std::string sid;        // site identifier
  std::string username;   // display name
  std::string userid;     // user identifier
  std::string cid;        // client identifier within the conference
  std::string owtServer;  // application-server endpoint "host:port"
  int32_t role = 0;       // 1 host, any other value a guest
};

// The application-server endpoint used when the login names none (a deployment setting).
extern const char kDefaultOwtServer[];

// Fills |join| and the settings record from a login request {"data": {...}} (keys matched
// without regard to case). Keys that are absent or of another JSON type leave their targets as
// they were; a request that is no object, or whose "data" is no object, changes nothing and
// gives false. "hostSkin" equal to the string "1" chooses the orange skin.
bool ParseLoginData(const cJSON* request, StJoinInfo& join, StAppConfig& config);
