#include "UnitSystemErrorList.h"

#include "../../framework/Registry.h"
#include "../../framework/Strings.h"

namespace UnitSystemError {

namespace {

const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                  "HKEY_CURRENT_CONFIG"};
const HKEY kRootKeys[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG};

struct TBuiltinRow {
  const char* Caption;
  const char* Description;
};
const TBuiltinRow kBuiltinRows[] = {
    {"\"Internal application error\" occurred in Windows Media Player",
     "\"Internal application error\" occurred in Windows Media Player"},
    {"1607: Unable to install InstallShield Scripting Runtime",
     "Received error message \"1607: Unable to install InstallShield Scripting Runtime\" when trying to install "
     "software in Windows XP"},
    {"Unable to open new window by IE hyperlink", "It was unable to open new Window in IE hyperlink. "},
    {"Unable to update Windows online", "The issue of system being unable to update online."}};

// Keys whose values start programs or load code, by their path's parts (upper case).
const char* const kDeniedParts[] = {"RUN", "RUNONCE", "RUNONCEEX", "RUNSERVICES", "RUNSERVICESONCE", "WINLOGON",
                                    "IMAGE FILE EXECUTION OPTIONS", "INPROCSERVER", "INPROCSERVER32",
                                    "INPROCHANDLER", "INPROCHANDLER32", "LOCALSERVER", "LOCALSERVER32",
                                    "ACTIVE SETUP", "SHELLSERVICEOBJECTDELAYLOAD", "SHELLEXECUTEHOOKS",
                                    "BROWSER HELPER OBJECTS", "APPCERTDLLS", "KNOWNDLLS", "SESSION MANAGER"};

std::vector<std::string> KeyParts(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    parts.push_back(AnsiUpperCase(path.substr(start, end - start)));
    start = end + 1;
  }
  return parts;
}

bool HasControlCharacters(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

// A decimal number that fits a double word, as signed or unsigned.
bool IsDwordNumber(const std::string& s, DWORD& value) {
  size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
  if (i == s.size() || s.size() - i > 10) return false;
  long long n = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    n = n * 10 + (s[i] - '0');
  }
  if (s[0] == '-') n = -n;
  if (n < -2147483648LL || n > 4294967295LL) return false;
  value = (DWORD)n;
  return true;
}

// The root's name and the subkey of a key path: the leading "<root>\" is taken off once.
bool SplitKeyPath(const std::string& keyPath, HKEY& root, std::string& subkey) {
  size_t slash = keyPath.find('\\');
  if (slash == std::string::npos) return false;
  root = RootKeyFromName(keyPath.substr(0, slash));
  subkey = keyPath.substr(slash + 1);
  return root != nullptr && !subkey.empty();
}

bool ParseOperations(const std::string& text, std::vector<TRegOp>& ops) {
  ops.clear();
  for (const std::string& piece : SplitString(text)) {
    TRegOp op;
    if (!ParseOperation(piece, op)) return false;
    ops.push_back(op);
  }
  return !ops.empty();
}

// The operations text without its description.
std::string OperationsPart(const std::string& operations) {
  size_t hashes = operations.find("##");
  return TrimRight(hashes == std::string::npos ? operations : operations.substr(0, hashes));
}

}  // namespace

HKEY RootKeyFromName(const std::string& name) {
  for (size_t i = 0; i < std::size(kRootNames); ++i)
    if (name == kRootNames[i]) return kRootKeys[i];
  return nullptr;
}

std::vector<std::string> SplitString(const std::string& text) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(',', start);
    pieces.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return pieces;
    start = comma + 1;
  }
}

bool ParseOperation(const std::string& piece, TRegOp& op) {
  size_t hash = piece.find('#'), dollar = piece.find('$'), at = piece.find('@');
  if (hash == std::string::npos || dollar == std::string::npos || at == std::string::npos) return false;
  if (!(hash < dollar && dollar + 2 == at && at + 2 == piece.size())) return false;
  op.ValueName = piece.substr(0, hash);
  op.Data = piece.substr(hash + 1, dollar - hash - 1);
  op.Action = piece[dollar + 1] - '0';
  op.Type = piece[at + 1] - '0';
  if ((op.Action != 1 && op.Action != 2) || (op.Type != 0 && op.Type != 1)) return false;
  if (HasControlCharacters(op.ValueName) || HasControlCharacters(op.Data)) return false;
  DWORD number = 0;
  return !(op.Action == 1 && op.Type == 0 && !IsDwordNumber(op.Data, number));
}

bool IsDeniedLocation(const std::string& keyPath, const std::string& valueName) {
  std::vector<std::string> parts = KeyParts(keyPath);
  for (size_t i = 0; i < parts.size(); ++i) {
    for (const char* denied : kDeniedParts)
      if (parts[i] == denied) return true;
    // a service's settings; a verb's command line; the libraries loaded into every program
    if (parts[i] == "SERVICES" && i > 0 && (parts[i - 1] == "CURRENTCONTROLSET" || parts[i - 1].rfind("CONTROLSET", 0) == 0))
      return true;
    if (parts[i] == "COMMAND" && i >= 2 && parts[i - 2] == "SHELL") return true;
    if (parts[i] == "WINDOWS" && i >= 2 && parts[i - 1] == "CURRENTVERSION" && parts[i - 2] == "WINDOWS NT") return true;
  }
  std::string value = AnsiUpperCase(valueName);
  return value == "APPINIT_DLLS" || value == "LOADAPPINIT_DLLS";
}

bool ParseErrorLine(const std::string& line, UnitErrorList::TContent& content, std::vector<TRegOp>& ops) {
  size_t paren = line.find(')');
  if (paren == std::string::npos) return false;
  size_t bars = line.find("||", paren + 1);
  if (bars == std::string::npos) return false;
  content.Title = line.substr(0, paren);
  content.KeyPath = line.substr(paren + 1, bars - paren - 1);
  content.Operations = line.substr(bars + 2);
  size_t hashes = content.Operations.find("##");
  content.Description = Widen(hashes == std::string::npos ? "" : content.Operations.substr(hashes + 2));
  content.Mark = 0;
  HKEY root;
  std::string subkey;
  if (HasControlCharacters(content.Title) || HasControlCharacters(content.KeyPath) ||
      !SplitKeyPath(content.KeyPath, root, subkey) || !ParseOperations(OperationsPart(content.Operations), ops))
    return false;
  for (const TRegOp& op : ops)
    if (IsDeniedLocation(subkey, op.ValueName)) return false;
  return true;
}

void LoadErrorList(const std::vector<std::string>& lines, TErrorContents& errors, std::vector<TErrorRow>& rows) {
  std::string previous;
  for (const std::string& raw : lines) {
    std::string line = TrimRight(raw);
    if (line.empty()) continue;
    UnitErrorList::TContent content;
    std::vector<TRegOp> ops;
    if (!ParseErrorLine(line, content, ops)) continue;
    errors.GetItem(errors.Add()).Content = content;
    if (content.Title != previous)
      rows.push_back({.Caption = content.Title, .Description = Narrow(content.Description), .FromList = true});
    previous = content.Title;
  }
}

void AddBuiltinRows(std::vector<TErrorRow>& rows) {
  for (const TBuiltinRow& row : kBuiltinRows) rows.push_back({.Caption = row.Caption, .Description = row.Description});
}

std::string FindDescription(const TErrorContents& errors, const std::string& title) {
  for (int i = 0; i < errors.Count(); ++i)
    if (errors.GetItem(i).Content.Title == title) return Narrow(errors.GetItem(i).Content.Description);
  return "";
}

bool ApplyRegOp(const std::string& keyPath, const TRegOp& op) {
  HKEY root;
  std::string subkey;
  if (!SplitKeyPath(keyPath, root, subkey) || IsDeniedLocation(subkey, op.ValueName)) return false;
  TRegistry reg(KEY_QUERY_VALUE | KEY_SET_VALUE);
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + subkey, false)) return false;
  TRegValue value;
  if (op.Action == 2) return reg.DeleteValue(op.ValueName);
  if (op.Type == 1) {
    std::wstring text = Widen(op.Data);
    value.Type = REG_SZ;
    value.Data.assign((const uint8_t*)text.c_str(), (const uint8_t*)(text.c_str() + text.size() + 1));
    return reg.WriteValue(op.ValueName, value);
  }
  DWORD number = 0;
  if (!IsDwordNumber(op.Data, number)) return false;
  value.Type = REG_DWORD;
  value.Data.assign((const uint8_t*)&number, (const uint8_t*)&number + sizeof number);
  return reg.WriteValue(op.ValueName, value);
}

int Repair(const std::vector<TErrorRow>& rows, const TErrorContents& errors) {
  int applied = 0;
  for (const TErrorRow& row : rows) {
    if (!row.Ticked || !row.FromList) continue;
    for (int i = 0; i < errors.Count(); ++i) {
      const UnitErrorList::TContent& fix = errors.GetItem(i).Content;
      if (Trim(fix.Title) != Trim(row.Caption)) continue;
      std::vector<TRegOp> ops;
      if (!ParseOperations(OperationsPart(fix.Operations), ops)) continue;   // checked when loaded
      for (const TRegOp& op : ops)
        if (ApplyRegOp(fix.KeyPath, op)) ++applied;
    }
  }
  return applied;
}

}  // namespace UnitSystemError
