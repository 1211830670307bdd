// A registry subtree as plain data, to compare it before and after a repair and its restore.
#pragma once

#include <map>
#include <string>

#include <windows.h>

#include "framework/Registry.h"
#include "framework/StringList.h"

// Every key ("path\") and value ("path|name": type and bytes) below root\path, to compare a tree
// before and after.
using TTreeDump = std::map<std::string, TRegValue>;
inline void DumpTree(HKEY root, const std::string& path, TTreeDump& out, const std::string& relative = "") {
  TRegistry reg(KEY_READ);
  reg.RootKey = root;
  if (!reg.OpenKey("\\" + path, false)) return;
  out[relative + "\\"] = {};
  TStringList names;
  reg.GetValueNames(names);
  for (const std::string& n : names.Items) reg.ReadValue(n, out[relative + "|" + n]);
  TStringList keys;
  reg.GetKeyNames(keys);
  for (const std::string& k : keys.Items) DumpTree(root, path + "\\" + k, out, relative + "\\" + k);
}
inline bool operator==(const TRegValue& a, const TRegValue& b) { return a.Type == b.Type && a.Data == b.Data; }
