// The maker's network addresses. They are build-time constants on reserved hosts that never
// resolve; tests point them at servers they start on 127.0.0.1.
#pragma once

#include <string>

namespace Endpoints {
extern std::string HomePage;     // the maker's web site; "/help" is appended for the online help
extern std::string UpdateBase;   // base of the update files and lists, e.g. base + "/update/Update.ini"
extern std::string FtpHost;      // where a repair backup is uploaded
extern int FtpPort;
extern std::string FtpUser;       // empty: anonymous login
extern std::string FtpPassword;
}  // namespace Endpoints
