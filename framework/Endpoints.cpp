#include "Endpoints.h"

namespace Endpoints {
std::string HomePage = "http://www.zelvoran.invalid";
std::string UpdateBase = "http://www.zelvoran.invalid";
std::string FtpHost = "ftp.zelvoran.invalid";
int FtpPort = 21;
std::string FtpUser;
std::string FtpPassword;
}  // namespace Endpoints
