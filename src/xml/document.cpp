#include "xml/document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/code_page.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "xml/document_text.h"

namespace tsln2xml::xml {

Document::Document() {
  EnsureInitialised();
  doc_.reset(xmlNewDoc(X("1.0")));
  // Element and attribute names are kept once in the document's dictionary,
  // as a parsed document keeps them, rather than copied into every node.
  if (doc_) doc_->dict = xmlDictCreate();
}

Document Document::Streamed() {
  Document doc;
  if (doc.doc_) {
    doc.stream_ = std::make_unique<TextStream>();
    doc.doc_->_private = doc.stream_.get();
  }
  return doc;
}

std::string Document::FinishText(size_t& longestText) {
  longestText = 0;
  return stream_ ? stream_->Finish(longestText) : std::string();
}

Node AppendChild(Node parent, Node child) {
  // Linked first: an element the stream refuses is still freed with its
  // document.
  Node added = xmlAddChild(parent, child);
  if (TextStream* stream = TextStream::Of(parent); stream && added) stream->Append(parent, child);
  return added;
}

namespace {

// A file handed to the parser in pieces, counted against the document limit.
class FileInput {
 public:
  explicit FileInput(int fd) : fd_(fd) {}
  FileInput(const FileInput&) = delete;
  FileInput& operator=(const FileInput&) = delete;
  ~FileInput() { ::close(fd_); }

  static int Read(void* self, char* buffer, int len) { return static_cast<FileInput*>(self)->ReadSome(buffer, len); }

  // After a failed parse: reads on to the end, so that a document beyond the
  // limit or one that cannot be read is told apart from one that is not
  // well-formed, as when the file is read whole before parsing.
  void ReadToEnd() {
    char buffer[1 << 16];
    while (ReadSome(buffer, sizeof buffer) > 0) {
    }
  }
  bool TooLarge() const { return tooLarge_; }
  bool Unreadable() const { return unreadable_; }

 private:
  int ReadSome(char* buffer, int len) {
    if (tooLarge_ || unreadable_) return -1;
    ssize_t n;
    do n = ::read(fd_, buffer, static_cast<size_t>(std::max(len, 0)));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      unreadable_ = true;
      return -1;
    }
    total_ += static_cast<size_t>(n);
    if (total_ > kMaxDocumentBytes) {
      tooLarge_ = true;
      return -1;
    }
    return static_cast<int>(n);
  }

  int fd_;
  size_t total_ = 0;
  bool tooLarge_ = false;
  bool unreadable_ = false;
};

ParseOptions OptionsFor(Tree tree) { return ParseOptions{nullptr, tree == Tree::kCompact}; }

}  // namespace

bool Document::LoadUtf8(std::string_view utf8, Tree tree) {
  DocPtr doc = ParseUntrusted(utf8.data(), utf8.size(), "UTF-8", OptionsFor(tree));
  if (!doc) return false;
  doc_ = std::move(doc);
  namespaces_.clear();
  return true;
}

bool Document::LoadBytes(std::string_view bytes, Tree tree) {
  DocPtr doc = ParseUntrusted(bytes.data(), bytes.size(), nullptr, OptionsFor(tree));
  if (!doc) return false;
  doc_ = std::move(doc);
  namespaces_.clear();
  return true;
}

bool Document::LoadUtf16(std::u16string_view text, Tree tree) {
  if (!text.empty() && text.front() == u'\xFEFF') text.remove_prefix(1);
  return LoadUtf8(platform::Utf16ToUtf8(text), tree);
}

LoadStatus Document::LoadFile(const std::string& path, Tree tree) {
  const std::string host = platform::HostPath(path);
  struct stat info;
  // Checked before opening: opening a pipe would wait for a writer.
  if (platform::StatPath(host, &info) != 0 || !S_ISREG(info.st_mode)) return LoadStatus::kUnreadable;
  const int fd = platform::OpenDescriptor(host, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LoadStatus::kUnreadable;
  FileInput input(fd);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return LoadStatus::kUnreadable;
  if (static_cast<uintmax_t>(info.st_size) > kMaxDocumentBytes) return LoadStatus::kTooLarge;
  DocPtr doc;
  {
    // A read that fails makes libxml2 report an I/O error outside the
    // parser's own (silenced) reports.
    GenericErrorCapture quiet;
    doc = ParseUntrusted(FileInput::Read, &input, nullptr, OptionsFor(tree));
  }
  if (!doc) input.ReadToEnd();
  if (input.TooLarge()) return LoadStatus::kTooLarge;
  if (input.Unreadable()) return LoadStatus::kUnreadable;
  if (!doc) return LoadStatus::kNotWellFormed;
  doc_ = std::move(doc);
  namespaces_.clear();
  return LoadStatus::kOk;
}

Node Document::CreateElement(std::string_view name, std::string_view nsUri) {
  if (!doc_) return nullptr;
  Node node;
  if (doc_->dict) {
    // The name is taken from the dictionary, not copied into the node.
    const xmlChar* dictName = xmlDictLookup(doc_->dict, X(name.data()), static_cast<int>(name.size()));
    node = dictName ? xmlNewDocNodeEatName(doc_.get(), nullptr, const_cast<xmlChar*>(dictName), nullptr) : nullptr;
  } else {
    const std::string nameZ(name);
    node = xmlNewDocNode(doc_.get(), nullptr, X(nameZ.c_str()), nullptr);
  }
  if (!node || nsUri.empty()) return node;
  for (auto& [uri, ns] : namespaces_) {
    if (uri == nsUri) {
      xmlSetNs(node, ns);
      return node;
    }
  }
  const std::string uriZ(nsUri);
  xmlNsPtr ns = xmlNewNs(node, X(uriZ.c_str()), nullptr);
  xmlSetNs(node, ns);
  namespaces_.emplace_back(uriZ, ns);
  return node;
}

void Document::SetRoot(Node element) {
  if (!doc_ || !element) return;
  if (stream_ && Root()) {
    // A second root would replace the first in a tree; the element is
    // kept by the document, to be freed with it.
    xmlAddChild(AsNode(), element);
    throw NotStreamable{};
  }
  xmlDocSetRootElement(doc_.get(), element);
  if (stream_) stream_->Root(element);
}

namespace {

bool AppendToString(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}

bool WriteToFile(std::FILE* file, const char* data, size_t size) {
  return std::fwrite(data, 1, size, file) == size;
}

// Our writer's sink: the file, and whether anything reached it.
struct FileSink {
  std::FILE* file;
  bool written = false;
  static bool Write(void* context, const char* data, size_t size) {
    auto* sink = static_cast<FileSink*>(context);
    sink->written = true;
    return WriteToFile(sink->file, data, size);
  }
};

// libxml2's output callback over the same file.
int WriteChunkToFile(void* context, const char* buffer, int len) {
  return WriteToFile(static_cast<std::FILE*>(context), buffer, static_cast<size_t>(len)) ? len : -1;
}

std::string LibxmlText(xmlDocPtr doc) {
  xmlChar* mem = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc, &mem, &size, "UTF-8", 1);
  XmlCharPtr owner(mem);
  if (!mem || size <= 0) return {};
  return std::string(C(mem), static_cast<size_t>(size));
}

}  // namespace

std::string Document::SerializeUtf8() const {
  if (!doc_) return {};
  std::string text;
  if (WritePlainText(doc_.get(), true, AppendToString, &text) == PlainTextResult::kWritten) return text;
  return LibxmlText(doc_.get());
}

std::u16string Document::SerializeUtf16() const {
  if (!doc_) return {};
  std::string utf8;
  if (WritePlainText(doc_.get(), false, AppendToString, &utf8) != PlainTextResult::kWritten)
    return ToStringText(LibxmlText(doc_.get()));
  return platform::Utf8ToUtf16(utf8);
}

std::u16string ToStringText(std::string utf8) {
  if (utf8.starts_with(kUtf8Declaration)) utf8.replace(0, kUtf8Declaration.size(), kPlainDeclaration);
  return platform::Utf8ToUtf16(utf8);
}

bool WriteTextFile(const std::string& path, std::string_view text) {
  std::FILE* f = platform::OpenFile(platform::HostPath(path), "wb");
  if (!f) return false;
  const bool written = WriteToFile(f, text.data(), text.size());
  return std::fclose(f) == 0 && written;
}

bool Document::SaveFile(const std::string& path) const {
  if (!doc_) return false;
  std::FILE* f = platform::OpenFile(platform::HostPath(path), "wb");
  if (!f) return false;
  // Written as it is serialised (the same text as SerializeUtf8), so a large
  // document is never held twice.
  FileSink sink{f};
  PlainTextResult result = WritePlainText(doc_.get(), true, FileSink::Write, &sink);
  if (result == PlainTextResult::kNotPlain) {
    // Whatever was written goes; libxml2 writes the document from the start.
    // The output buffer does not close the file.
    const bool emptied = !sink.written || (std::fflush(f) == 0 && ftruncate(fileno(f), 0) == 0 &&
                                           std::fseek(f, 0, SEEK_SET) == 0);
    xmlOutputBufferPtr out = emptied ? xmlOutputBufferCreateIO(WriteChunkToFile, nullptr, f, nullptr) : nullptr;
    result = out && xmlSaveFormatFileTo(out, doc_.get(), "UTF-8", 1) >= 0 ? PlainTextResult::kWritten
                                                                           : PlainTextResult::kSinkFailed;
  }
  return std::fclose(f) == 0 && result == PlainTextResult::kWritten;
}

namespace {

bool IsSimplePath(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.back() == '/') return false;
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                    c == '_' || c == '-' || c == '/' || static_cast<unsigned char>(c) >= 0x80;
    if (!ok) return false;
  }
  return name.find("//") == std::string_view::npos;
}

// Compares the element's name first, the cheaper and more telling test; an
// element of a large document nearly always shares its namespace node with
// the sibling before it, so a namespace once found equal is not compared
// again.
class ElementMatcher {
 public:
  ElementMatcher(std::string_view name, std::string_view nsUri) : name_(name), nsUri_(nsUri) {}
  bool operator()(Node n) {
    if (n->type != XML_ELEMENT_NODE || !NameIs(n->name)) return false;
    if (n->ns && n->ns == matchingNs_) return true;
    const std::string_view uri = n->ns && n->ns->href ? C(n->ns->href) : "";
    if (uri != nsUri_) return false;
    matchingNs_ = n->ns;
    return true;
  }

 private:
  // `name_` holds no NUL (a simple path).
  bool NameIs(const xmlChar* name) const {
    if (!name) return name_.empty();
    const char* s = C(name);
    return std::strncmp(s, name_.data(), name_.size()) == 0 && s[name_.size()] == '\0';
  }
  std::string_view name_;
  std::string_view nsUri_;
  xmlNsPtr matchingNs_ = nullptr;
};

void CollectChildren(Node parent, ElementMatcher& matches, std::vector<Node>& out) {
  for (Node c = parent->children; c; c = c->next)
    if (matches(c)) out.push_back(c);
}

std::vector<Node> SelectByXPath(Node parent, std::string_view name, std::string_view nsUri) {
  std::vector<Node> out;
  XPathContextPtr ctx(xmlXPathNewContext(parent->doc));
  if (!ctx) return out;
  const std::string uri(nsUri);
  xmlXPathRegisterNs(ctx.get(), X("this"), X(uri.c_str()));
  ctx->node = parent;
  std::string expr;
  // Every step of a plain path gets the prefix; anything else is taken as it is.
  expr = "this:" + std::string(name);
  XPathObjectPtr result(xmlXPathEvalExpression(X(expr.c_str()), ctx.get()));
  if (!result || result->type != XPATH_NODESET || !result->nodesetval) return out;
  for (int i = 0; i < result->nodesetval->nodeNr; ++i) out.push_back(result->nodesetval->nodeTab[i]);
  return out;
}

}  // namespace

std::vector<Node> SelectNodes(Node parent, std::string_view name, std::string_view nsUri) {
  std::vector<Node> out;
  if (!parent) return out;
  RequireTree(parent);
  if (!IsSimplePath(name)) return SelectByXPath(parent, name, nsUri);
  std::vector<Node> level{parent};
  size_t start = 0;
  while (true) {
    const size_t slash = name.find('/', start);
    const std::string_view step = name.substr(start, slash == std::string_view::npos ? name.npos : slash - start);
    std::vector<Node> next;
    ElementMatcher matches(step, nsUri);
    for (Node p : level) CollectChildren(p, matches, next);
    level = std::move(next);
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return level;
}

Node SelectSingleNode(Node parent, std::string_view name, std::string_view nsUri) {
  if (!parent) return nullptr;
  RequireTree(parent);
  if (IsSimplePath(name) && name.find('/') == std::string_view::npos) {
    ElementMatcher matches(name, nsUri);
    for (Node c = parent->children; c; c = c->next)
      if (matches(c)) return c;
    return nullptr;
  }
  auto nodes = SelectNodes(parent, name, nsUri);
  return nodes.empty() ? nullptr : nodes.front();
}

std::string NamespaceOf(Node element) {
  return element && element->ns && element->ns->href ? C(element->ns->href) : "";
}

std::string LocalName(Node element) { return element && element->name ? C(element->name) : ""; }

ReadStatus ReadStreamBytes(std::istream& in, std::string& out) {
  out.clear();
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    if (out.size() + static_cast<size_t>(in.gcount()) > kMaxDocumentBytes) return ReadStatus::kTooLarge;
    out.append(buffer, static_cast<size_t>(in.gcount()));
  }
  return in.bad() ? ReadStatus::kUnreadable : ReadStatus::kOk;
}

ReadStatus ReadDocumentBytes(const std::string& path, std::string& out) {
  std::error_code ec;
  const std::filesystem::path host = platform::FsPath(platform::HostPath(path));
  if (!std::filesystem::is_regular_file(host, ec)) return ReadStatus::kUnreadable;
  std::ifstream in(host, std::ios::binary);
  if (!in) return ReadStatus::kUnreadable;
  // Read in one go into a buffer of the file's size (a large document is not
  // copied through a growing buffer); whatever the file gained since follows,
  // up to the limit.
  const auto size = std::filesystem::file_size(host, ec);
  if (!ec && size > kMaxDocumentBytes) return ReadStatus::kTooLarge;
  out.resize(ec ? 0 : static_cast<size_t>(size));
  in.read(out.data(), static_cast<std::streamsize>(out.size()));
  out.resize(static_cast<size_t>(in.gcount()));
  if (in.bad()) return ReadStatus::kUnreadable;
  in.clear();
  std::string rest;
  const ReadStatus status = ReadStreamBytes(in, rest);
  if (status != ReadStatus::kOk) return status;
  if (out.size() + rest.size() > kMaxDocumentBytes) return ReadStatus::kTooLarge;
  out += rest;
  return ReadStatus::kOk;
}

bool ReadFileBytes(const std::string& path, std::string& out) {
  return ReadDocumentBytes(path, out) == ReadStatus::kOk;
}

}  // namespace tsln2xml::xml
