// The built program's manifest, read back from the executable with the resource functions: it
// runs with the rights it was started with (a write without them fails instead of going to a
// per-user copy), names the systems it knows, and keeps the common controls it always drew with.
#include <gtest/gtest.h>
#include <msxml2.h>
#include <objbase.h>

#include <vector>

#include "framework/ComPtr.h"
#include "framework/Strings.h"

namespace {

// A string as the XML objects take it, freed when it goes.
struct TBstr {
  BSTR Text;
  explicit TBstr(const wchar_t* text) : Text(SysAllocString(text)) {}
  ~TBstr() { SysFreeString(Text); }
};

std::string Attribute(IXMLDOMNode* node, const wchar_t* name) {
  TComPtr<IXMLDOMElement> element;
  VARIANT value;
  VariantInit(&value);
  TBstr attribute(name);
  if (FAILED(node->QueryInterface(IID_IXMLDOMElement, element.Out())) ||
      element->getAttribute(attribute.Text, &value) != S_OK || value.vt != VT_BSTR)
    return "<none>";
  std::string text = Narrow(value.bstrVal);
  VariantClear(&value);
  return text;
}

std::string NodeText(IXMLDOMNode* node, HRESULT (STDMETHODCALLTYPE IXMLDOMNode::*get)(BSTR*)) {
  BSTR text = nullptr;
  if ((node->*get)(&text) != S_OK || text == nullptr) return "";
  std::string s = Narrow(text);
  SysFreeString(text);
  return s;
}

// The elements of that name, each with the value of its attribute, the names of the elements
// above it, the closest first ("requestedPrivileges/security/..."), and its namespace.
struct TFound {
  std::string Value, Path, Namespace;
};
std::vector<TFound> Elements(IXMLDOMDocument* document, const wchar_t* name, const wchar_t* attribute) {
  std::vector<TFound> found;
  TComPtr<IXMLDOMNodeList> list;
  TBstr tag(name);
  if (FAILED(document->getElementsByTagName(tag.Text, list.OutTyped()))) return found;
  long n = 0;
  list->get_length(&n);
  for (long i = 0; i < n; ++i) {
    TComPtr<IXMLDOMNode> node;
    if (list->get_item(i, node.OutTyped()) != S_OK) continue;
    TFound f{Attribute(node.Get(), attribute), "", NodeText(node.Get(), &IXMLDOMNode::get_namespaceURI)};
    TComPtr<IXMLDOMNode> up;
    node->get_parentNode(up.OutTyped());
    while (up) {
      std::string upName = NodeText(up.Get(), &IXMLDOMNode::get_nodeName);
      if (upName == "#document") break;
      f.Path += (f.Path.empty() ? "" : "/") + upName;
      TComPtr<IXMLDOMNode> next;
      up->get_parentNode(next.OutTyped());
      up = std::move(next);
    }
    found.push_back(f);
  }
  return found;
}

BOOL CALLBACK NoteName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
  auto* list = reinterpret_cast<std::vector<std::wstring>*>(names);
  list->push_back(IS_INTRESOURCE(name) ? std::to_wstring((UINT_PTR)name) : std::wstring(name));
  return TRUE;
}

}  // namespace

TEST(BuiltProgram, ItsManifestSaysItRunsWithTheRightsItWasStartedWith) {
  std::string exe = ExeDir() + "..\\Zelvoran.exe";
  HMODULE module = LoadLibraryExW(Widen(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(module, nullptr) << exe;
  std::vector<std::wstring> names;
  EnumResourceNamesW(module, RT_MANIFEST, NoteName, reinterpret_cast<LONG_PTR>(&names));
  EXPECT_EQ(names, std::vector<std::wstring>{L"1"}) << "one manifest, the one a process starts with";
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
  std::string text(bytes, SizeofResource(module, found));
  FreeLibrary(module);

  // a manifest the system cannot read would keep the program from starting at all
  CLSID documentClass;
  ASSERT_EQ(CLSIDFromProgID(L"Msxml2.DOMDocument.3.0", &documentClass), S_OK);
  TComPtr<IXMLDOMDocument> document;
  ASSERT_EQ(CoCreateInstance(documentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, document.Out()), S_OK);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  TBstr xml(Widen(text).c_str());
  document->loadXML(xml.Text, &loaded);
  ASSERT_EQ(loaded, VARIANT_TRUE) << text;

  auto level = Elements(document.Get(), L"requestedExecutionLevel", L"level");
  ASSERT_EQ(level.size(), 1u);
  EXPECT_EQ(level[0].Value, "asInvoker");
  EXPECT_EQ(level[0].Path, "requestedPrivileges/security/trustInfo/assembly");
  EXPECT_EQ(Elements(document.Get(), L"trustInfo", L"xmlns").at(0).Namespace, "urn:schemas-microsoft-com:asm.v3");
  EXPECT_EQ(Elements(document.Get(), L"requestedExecutionLevel", L"uiAccess").at(0).Value, "false");

  std::vector<std::string> systems;
  for (const TFound& os : Elements(document.Get(), L"supportedOS", L"Id")) {
    EXPECT_EQ(os.Path, "application/compatibility/assembly");
    systems.push_back(AnsiLowerCase(os.Value));
  }
  EXPECT_EQ(systems, (std::vector<std::string>{"{e2011457-1546-43c5-a5fe-008deee3d3f0}",    // Vista
                                               "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // 7
                                               "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // 8
                                               "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",    // 8.1
                                               "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}));  // 10, 11
  // the program draws with the common controls it always had: no other version is asked for
  EXPECT_TRUE(Elements(document.Get(), L"dependency", L"name").empty());
}
