#include "support/test_support.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "core/data_types.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "store/item_path.h"
#include "store/item_store.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"

namespace tsln2xml::test {

ByteBuilder& ByteBuilder::Raw(const void* p, size_t n) {
  const auto* b = static_cast<const uint8_t*>(p);
  bytes_.insert(bytes_.end(), b, b + n);
  return *this;
}

ByteBuilder& ByteBuilder::Int(uint64_t v, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return *this;
}

ByteBuilder& ByteBuilder::F32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return Int(bits, 4);
}

ByteBuilder& ByteBuilder::F64(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, 8);
  return Int(bits, 8);
}

ByteBuilder& ByteBuilder::Text(std::string_view text, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes_.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
  return *this;
}

ByteBuilder& ByteBuilder::PatchI32(size_t offset, int32_t v) {
  for (size_t i = 0; i < 4; ++i) bytes_.at(offset + i) = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
  return *this;
}

TempArea::TempArea() {
  std::string templ = (std::filesystem::temp_directory_path() / "tsln2xml-area-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempArea::~TempArea() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {
std::string ControlPath(const std::string& area, int16_t type) {
  return store::ItemDirectory(platform::StoragePath("", area), type) + FindItemFileEntry(type)->controlFile;
}
}  // namespace

void TempArea::PutItem(int16_t type, std::string_view name, const std::vector<uint8_t>& bytes) const {
  const std::string control = ControlPath(path_, type);
  store::ItemHandle* handle = nullptr;
  if (store::OpenItem(control, name, store::kModeCreate, "", handle, nullptr) != store::kStoreOk)
    throw std::runtime_error("PutItem: cannot create");
  if (!bytes.empty()) store::WriteItem(bytes.data(), 1, bytes.size(), handle);
  const int32_t rc = store::CommitItem(handle);
  store::CloseItem(control, name, handle);
  if (rc != store::kStoreOk) throw std::runtime_error("PutItem: commit failed");
}

std::optional<std::vector<uint8_t>> TempArea::GetItem(int16_t type, std::string_view name) const {
  const std::string control = ControlPath(path_, type);
  store::ItemHandle* handle = nullptr;
  if (store::OpenItem(control, name, store::kModeRead, "", handle, nullptr) != store::kStoreOk) return std::nullopt;
  std::vector<uint8_t> bytes = handle->data;
  store::CloseItem(control, name, handle);
  return bytes;
}

CodePageScope::CodePageScope(int codePage) : previous_(platform::ActiveCodePage()) {
  platform::SetActiveCodePage(codePage);
}
CodePageScope::~CodePageScope() { platform::SetActiveCodePage(previous_); }

EnvScope::EnvScope(const char* name, const char* value) : name_(name) {
  if (const char* previous = std::getenv(name)) previous_ = previous;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

EnvScope::~EnvScope() {
  if (previous_)
    setenv(name_.c_str(), previous_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

ExportResult ExportToString(int16_t type, const std::string& area, std::string_view item) {
  BSTR xml = nullptr;
  const std::string name(item);
  const int code = ConvertDataItemToXMLString(type, "", area.c_str(), name.c_str(), &xml, 0);
  ExportResult result{code, {}};
  if (xml) {
    result.xml = platform::Utf16ToUtf8(platform::BstrView(xml));
    SysFreeString(xml);
  }
  return result;
}

int ImportFromString(int16_t type, const std::string& area, std::string_view item, std::string_view utf8Xml) {
  const std::u16string text = platform::Utf8ToUtf16(utf8Xml);
  const std::string name(item);
  return ConvertXMLStringToDataItem(type, text.c_str(), 0, "", area.c_str(), name.c_str());
}

ExportResult ListToString(const std::string& area, const char* schema) {
  BSTR xml = nullptr;
  ExportResult result{EnumerateItemsString("", area.c_str(), &xml, schema), {}};
  if (xml) {
    result.xml = platform::Utf16ToUtf8(platform::BstrView(xml));
    SysFreeString(xml);
  }
  return result;
}

std::string LastErrorMessage() {
  BSTR text = nullptr;
  GetLastErrorStringXML(&text);
  std::string message = platform::Utf16ToUtf8(platform::BstrView(text));
  SysFreeString(text);
  return message;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(platform::FsPath(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(platform::FsPath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int RunCommand(const std::string& command, std::string* out) {
#ifdef _WIN32
  // cmd.exe takes the outer quotes off a command line that begins with one.
  // Its output is read as bytes, with no CR/LF translation.
  // The command line goes over as UTF-16, so that arguments beyond the ANSI
  // code page reach the program as they are.
  const std::u16string full = platform::Utf8ToUtf16("\"" + command + " 2>&1\"");
  FILE* pipe = _wpopen(reinterpret_cast<const wchar_t*>(full.c_str()), L"rb");
#else
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
#endif
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  std::string captured;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) captured.append(buf, n);
  const int status = pclose(pipe);
  if (out) *out = captured;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

std::string Describe(xmlNodePtr n) {
  std::string s = n->name ? reinterpret_cast<const char*>(n->name) : "?";
  for (xmlNodePtr p = n->parent; p && p->type == XML_ELEMENT_NODE; p = p->parent)
    s = std::string(reinterpret_cast<const char*>(p->name)) + "/" + s;
  return s;
}

std::map<std::string, std::string> Attributes(xmlNodePtr n) {
  std::map<std::string, std::string> attrs;
  for (xmlAttrPtr a = n->properties; a; a = a->next) {
    xmlChar* v = xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a));
    attrs[reinterpret_cast<const char*>(a->name)] = v ? reinterpret_cast<const char*>(v) : "";
    xmlFree(v);
  }
  return attrs;
}

std::string NodeText(xmlNodePtr n) {
  std::string text;
  for (xmlNodePtr c = n->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)
      text += reinterpret_cast<const char*>(c->content);
  const auto b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
}

std::string CompareNodes(xmlNodePtr e, xmlNodePtr a) {
  if (std::strcmp(reinterpret_cast<const char*>(e->name), reinterpret_cast<const char*>(a->name)) != 0)
    return "element " + Describe(a) + " where " + Describe(e) + " was expected";
  const std::string ens = e->ns && e->ns->href ? reinterpret_cast<const char*>(e->ns->href) : "";
  const std::string ans = a->ns && a->ns->href ? reinterpret_cast<const char*>(a->ns->href) : "";
  if (ens != ans) return "namespace of " + Describe(a) + ": \"" + ans + "\" instead of \"" + ens + "\"";
  const auto ea = Attributes(e), aa = Attributes(a);
  if (ea != aa) {
    std::string d = "attributes of " + Describe(a) + " differ:";
    for (auto& [k, v] : ea) {
      auto it = aa.find(k);
      if (it == aa.end()) d += " missing " + k + "=\"" + v + "\";";
      else if (it->second != v) d += " " + k + "=\"" + it->second + "\" instead of \"" + v + "\";";
    }
    for (auto& [k, v] : aa)
      if (!ea.count(k)) d += " unexpected " + k + "=\"" + v + "\";";
    return d;
  }
  if (NodeText(e) != NodeText(a)) return "text of " + Describe(a) + ": \"" + NodeText(a) + "\" instead of \"" + NodeText(e) + "\"";
  xmlNodePtr ec = xmlFirstElementChild(e), ac = xmlFirstElementChild(a);
  while (ec && ac) {
    std::string d = CompareNodes(ec, ac);
    if (!d.empty()) return d;
    ec = xmlNextElementSibling(ec);
    ac = xmlNextElementSibling(ac);
  }
  if (ec) return "missing element " + Describe(ec);
  if (ac) return "unexpected element " + Describe(ac);
  return "";
}

}  // namespace

int RunTool(const std::string& args, std::string* out) {
  std::string ignored;
#ifdef _WIN32
  return RunCommand(Quote(TSLN2XML_CLI_PATH) + " " + args, out ? out : &ignored);
#else
  return RunCommand(std::string(TSLN2XML_CLI_PATH) + " " + args, out ? out : &ignored);
#endif
}

long ToolPeakKilobytes(const std::vector<std::string>& args, bool mustSucceed) {
#ifdef _WIN32
  // Windows has no /usr/bin/time and no fork(); the peak tests do not run
  // there (scripts/windows-test.sh).
  (void)args;
  (void)mustSucceed;
  return -1;
#else
  // Measured by /usr/bin/time, a small process of its own: the peak of a
  // child forked from this (large) process would count this one's memory.
  char report[] = "/tmp/tsln2xml-peak-XXXXXX";
  const int fd = mkstemp(report);
  if (fd < 0) return -1;
  close(fd);
  const pid_t child = fork();
  if (child == 0) {
    std::vector<char*> argv{const_cast<char*>("/usr/bin/time"), const_cast<char*>("-f"), const_cast<char*>("%M"),
                            const_cast<char*>("-o"), report, const_cast<char*>(TSLN2XML_CLI_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  const bool exited = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
  long kilobytes = -1;
  std::ifstream in(report);
  // "Command exited with non-zero status N" comes first when it failed.
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) kilobytes = std::stol(line);
  std::remove(report);
  if (!exited || (mustSucceed && WEXITSTATUS(status) != 0)) return -1;
  return kilobytes;
#endif
}

std::string SizeCodes(int entries, int ordered) {
  std::string xml = R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A">)";
  for (int i = 0; i < entries; ++i)
    xml += "<Entry ActualSize=\"" + std::to_string(i) + "\" OrderedSize=\"" + std::to_string(ordered) + "\"/>";
  return xml + "</SizeCode>";
}

std::string Quote(const std::string& s) {
#ifdef _WIN32
  // As a Windows program splits its command line: a quote inside is \".
  std::string q = "\"";
  for (char c : s) q += c == '"' ? std::string("\\\"") : std::string(1, c);
  return q + "\"";
#else
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
#endif
}

std::string CompareXml(std::string_view expected, std::string_view actual) {
  xml::Document e, a;
  if (!e.LoadBytes(expected)) return "the expected text is not well-formed";
  if (!a.LoadBytes(actual)) return "the actual text is not well-formed:\n" + std::string(actual);
  return CompareNodes(e.Root(), a.Root());
}

}  // namespace tsln2xml::test
