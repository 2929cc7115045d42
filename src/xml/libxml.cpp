#include "xml/libxml.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/byte_scan.h"
#include "platform/per_thread.h"
#include "xml/schema.h"

namespace tsln2xml::xml {
namespace {

// XML_PARSE_HUGE lets a text node grow past 10,000,000 bytes (a large NC
// program is one text). It also lifts libxml2's other limits, which are kept
// here instead: the nesting depth, the length of attribute values and of
// names. Its entity amplification guard is not needed: a document type
// declaration is refused before any entity can be declared, so only the
// predefined entities and character references exist.
constexpr int kMaxDepth = 256;
constexpr size_t kMaxAttributeValue = 10'000'000;
constexpr size_t kMaxName = 50'000;

struct ParseState {
  startElementNsSAX2Func startElement = nullptr;
  bool refused = false;
  std::vector<long>* elementLines = nullptr;
};

// Why the last parse of this thread was refused; empty when it was not.
std::string& LastRefusal() {
  static platform::PerThread<std::string> refusal;
  return refusal.Get();
}

// The refusal of an element with too many attributes. Its name is shown in
// ASCII (our elements' names are; others show "?" for other bytes).
std::string TooManyAttributes(std::string_view element, long line) {
  std::string why = "an element with more than " + std::to_string(kMaxAttributes) + " attributes: ";
  for (char c : element.substr(0, 100))
    why.push_back(static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F ? c : '?');
  if (line > 0) why += " on line " + std::to_string(line);
  return why;
}

void Refuse(xmlParserCtxtPtr ctxt, const std::string& why) {
  static_cast<ParseState*>(ctxt->_private)->refused = true;
  LastRefusal() = why;
  xmlStopParser(ctxt);
}

// A document type declaration is refused outright: entity declarations left
// in the tree would be expanded later, during validation.
void RefuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  Refuse(static_cast<xmlParserCtxtPtr>(ctx), "a document type declaration is not accepted");
}

// Checks the bounds before the element is built. The attributes come as
// five pointers each: local name, prefix, URI, value, end of value.
void BoundedStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                         int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                         const xmlChar** attributes) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  const char* why = nullptr;
  // Normally refused earlier, by the AttributeCounter, before the parser's
  // duplicate check spends time that grows with the square of their number.
  if (nbAttributes + nbNamespaces > kMaxAttributes) {
    Refuse(ctxt, TooManyAttributes(C(localname), ctxt->input ? ctxt->input->line : 0));
    return;
  }
  if (ctxt->nameNr >= kMaxDepth) why = "elements nested deeper than 256 levels";
  if (xmlStrlen(localname) > static_cast<int>(kMaxName)) why = "a name longer than 50,000 bytes";
  for (int i = 0; !why && i < nbAttributes; ++i) {
    const xmlChar* const* a = attributes + 5 * i;
    if (xmlStrlen(a[0]) > static_cast<int>(kMaxName)) why = "a name longer than 50,000 bytes";
    if (static_cast<size_t>(a[4] - a[3]) > kMaxAttributeValue) why = "an attribute value longer than 10,000,000 bytes";
  }
  if (why) {
    Refuse(ctxt, why);
    return;
  }
  auto* state = static_cast<ParseState*>(ctxt->_private);
  state->startElement(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted, attributes);
  if (state->elementLines && ctxt->input) state->elementLines->push_back(ctxt->input->line);
}

// White space that the parser finds between markup (it has checked that the
// text is all white space and that markup follows): left out of the tree when
// an element is on either side. Such white space is either in element-only
// content, where the schema ignores it, or beside a child element that the
// schema refuses anyway (no schema of ours has mixed content); no converter
// reads it. White space next to comments and other text is kept.
void SpaceBetweenElements(void* ctx, const xmlChar* ch, int len) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  const xmlNode* before = ctxt->node ? ctxt->node->last : nullptr;
  const xmlChar* next = ctxt->input ? ctxt->input->cur : nullptr;
  // What follows the "<" may not be read yet (the end of the text read so
  // far): then the white space is kept.
  const bool elementFollows =
      next && next[0] == '<' && next[1] != '\0' && next[1] != '/' && next[1] != '!' && next[1] != '?';
  if ((before && before->type == XML_ELEMENT_NODE) || elementFollows) return;
  xmlSAX2Characters(ctx, ch, len);
}

// Counts the attributes of every start tag in the text as it is handed to
// the parser, so that a tag with too many is refused before the parser
// reads it: libxml2 checks an element's attributes for duplicates, pair by
// pair, before any handler of ours sees the element. The text is followed
// through its markup (tags, quoted values, comments, character data,
// processing instructions); an attribute is an "=" outside quotes in a
// start tag. Text in UTF-16 or UCS-4 is followed unit by unit. Encodings
// where bytes of other characters can look like markup (ISO-2022, UTF-7,
// HZ, EBCDIC), and everything after a document type declaration (which the
// parser refuses), are not counted.
class AttributeCounter {
 public:
  // `encoding`: the encoding forced on the text (nullptr: found from it).
  explicit AttributeCounter(const char* encoding) : forced_(encoding != nullptr) {}

  // False when the text so far holds a start tag with too many attributes;
  // Refusal() then says which.
  bool Scan(const char* data, size_t size) {
    if (size == 0 || state_ == State::kOff) return true;
    if (width_ == 0) Detect(data, size);
    if (width_ == 1) return ScanBytes(data, size);
    // Wider units: each becomes its ASCII byte, or 0x80 for any other
    // character.
    units_.clear();
    for (size_t i = 0; i < size; ++i) {
      pending_[pendingSize_++] = static_cast<uint8_t>(data[i]);
      if (pendingSize_ < width_) continue;
      uint32_t unit = 0;
      for (size_t b = 0; b < width_; ++b)
        unit |= static_cast<uint32_t>(pending_[b]) << (8 * (bigEndian_ ? width_ - 1 - b : b));
      units_.push_back(unit < 0x80 ? static_cast<char>(unit) : static_cast<char>(0x80));
      pendingSize_ = 0;
    }
    return ScanBytes(units_.data(), units_.size());
  }

  std::string Refusal() const { return TooManyAttributes(name_, tagLine_); }

 private:
  enum class State { kText, kLess, kBang, kName, kTag, kQuoted, kEndTag, kComment, kCharacterData, kInstruction, kOff };

  void Detect(const char* data, size_t size) {
    const auto b = [&](size_t i) { return i < size ? static_cast<uint8_t>(data[i]) : 0x100u; };
    width_ = 1;
    if (forced_) return;
    if ((b(0) == 0xFF && b(1) == 0xFE && !(b(2) == 0 && b(3) == 0)) || (b(0) == '<' && b(1) == 0 && b(2) != 0)) {
      width_ = 2;
    } else if ((b(0) == 0xFE && b(1) == 0xFF) || (b(0) == 0 && b(1) == '<' && b(2) == 0)) {
      width_ = 2;
      bigEndian_ = true;
    } else if (b(0) == '<' && b(1) == 0 && b(2) == 0 && b(3) == 0) {
      width_ = 4;
    } else if (b(0) == 0 && b(1) == 0 && b(2) == 0 && b(3) == '<') {
      width_ = 4;
      bigEndian_ = true;
    } else if (b(0) == 0x4C && b(1) == 0x6F && b(2) == 0xA7 && b(3) == 0x94) {
      state_ = State::kOff;  // EBCDIC
    } else if (b(0) != '<' && b(0) != 0xEF && b(0) != ' ' && b(0) != '\t' && b(0) != '\r' && b(0) != '\n') {
      state_ = State::kOff;  // an encoding of its own: left to the parser
    } else if (DeclaresSevenBitEncoding(std::string_view(data, std::min<size_t>(size, 400)))) {
      state_ = State::kOff;
    }
  }

  // Whether an XML declaration at the start names an encoding whose bytes
  // of other characters can look like markup.
  static bool DeclaresSevenBitEncoding(std::string_view start) {
    if (!start.starts_with("<?xml")) return false;
    start = start.substr(0, start.find("?>"));
    const size_t at = start.find("encoding");
    if (at == std::string_view::npos) return false;
    const size_t open = start.find_first_of("\"'", at);
    if (open == std::string_view::npos) return false;
    std::string name;
    for (size_t i = open + 1; i < start.size() && start[i] != start[open]; ++i)
      name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(start[i]))));
    for (std::string_view stateful : {"ISO-2022", "CSISO2022", "UTF-7", "UTF7", "HZ"})
      if (name.starts_with(stateful)) return true;
    return false;
  }

  bool ScanBytes(const char* data, size_t size) {
    const char* p = data;
    const char* const end = data + size;
    linesCountedTo_ = data;
    while (p < end) {
      switch (state_) {
        case State::kOff:
          return true;
        case State::kText: {
          p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
          if (!p) {
            p = end;
          } else {
            lessAt_ = p++;
            state_ = State::kLess;
          }
          continue;
        }
        case State::kLess: {
          const char c = *p++;
          last_[0] = last_[1] = 0;
          if (c == '/') {
            state_ = State::kEndTag;
          } else if (c == '?') {
            state_ = State::kInstruction;
          } else if (c == '!') {
            state_ = State::kBang;
          } else {
            CountLinesTo(lessAt_ ? lessAt_ : p - 1);
            tagLine_ = line_;
            name_.assign(1, c);
            attributes_ = 0;
            state_ = State::kName;
          }
          continue;
        }
        case State::kBang: {
          const char c = *p++;
          state_ = c == '-' ? State::kComment : c == '[' ? State::kCharacterData : State::kOff;
          continue;
        }
        case State::kName: {
          while (p < end && state_ == State::kName) {
            const char c = *p++;
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/') state_ = State::kTag;
            else if (c == '>') state_ = State::kText;
            else if (name_.size() < 100) name_.push_back(c);
          }
          continue;
        }
        case State::kTag: {
          while (p < end && state_ == State::kTag) {
            const char c = *p++;
            if (c == '=') {
              if (++attributes_ > kMaxAttributes) return false;
            } else if (c == '"' || c == '\'') {
              quote_ = c;
              state_ = State::kQuoted;
            } else if (c == '>') {
              state_ = State::kText;
            }
          }
          continue;
        }
        case State::kQuoted:
          SkipPast(p, end, quote_, State::kTag);
          continue;
        case State::kEndTag:
          SkipPast(p, end, '>', State::kText);
          continue;
        case State::kComment:
        case State::kCharacterData:
        case State::kInstruction: {
          // Ends at "-->", "]]>" or "?>".
          const char c = *p++;
          const bool ends = c == '>' && (state_ == State::kComment         ? last_[0] == '-' && last_[1] == '-'
                                         : state_ == State::kCharacterData ? last_[0] == ']' && last_[1] == ']'
                                                                           : last_[1] == '?');
          last_[0] = last_[1];
          last_[1] = c;
          if (ends) state_ = State::kText;
          continue;
        }
      }
    }
    CountLinesTo(end);
    lessAt_ = nullptr;
    return true;
  }

  // Moves `p` past the next `byte` and on to state `next`; without one in
  // the rest of the text, to its end in the same state.
  void SkipPast(const char*& p, const char* end, char byte, State next) {
    const auto* at = static_cast<const char*>(std::memchr(p, byte, static_cast<size_t>(end - p)));
    if (!at) {
      p = end;
      return;
    }
    p = at + 1;
    state_ = next;
  }

  void CountLinesTo(const char* to) {
    if (to > linesCountedTo_)
      line_ += static_cast<long>(platform::CountByte(std::string_view(linesCountedTo_, to), '\n'));
    linesCountedTo_ = std::max(linesCountedTo_, to);
  }

  bool forced_;
  size_t width_ = 0;
  bool bigEndian_ = false;
  uint8_t pending_[4] = {};
  size_t pendingSize_ = 0;
  std::string units_;
  State state_ = State::kText;
  const char* linesCountedTo_ = nullptr;
  const char* lessAt_ = nullptr;
  long line_ = 1;
  long tagLine_ = 0;
  std::string name_;
  int attributes_ = 0;
  char quote_ = '"';
  char last_[2] = {};
};

// The caller's input, counted by an AttributeCounter on its way to the
// parser; a tag with too many attributes ends the input as a read error.
struct CountedInput {
  xmlInputReadCallback read;
  void* context;
  AttributeCounter counter;
  bool refused = false;

  static int Read(void* self, char* buffer, int len) {
    auto* input = static_cast<CountedInput*>(self);
    if (input->refused) return -1;
    const int n = input->read(input->context, buffer, len);
    if (n > 0 && !input->counter.Scan(buffer, static_cast<size_t>(n))) {
      input->refused = true;
      LastRefusal() = input->counter.Refusal();
      return -1;
    }
    return n;
  }
};

struct MemoryInput {
  const char* data;
  size_t left;
};

int ReadMemoryInput(void* context, char* buffer, int len) {
  auto* input = static_cast<MemoryInput*>(context);
  const size_t n = std::min(input->left, static_cast<size_t>(std::max(len, 0)));
  if (n) std::memcpy(buffer, input->data, n);
  input->data += n;
  input->left -= n;
  return static_cast<int>(n);
}

}  // namespace

GenericErrorCapture::GenericErrorCapture()
    : previous_(xmlGenericError), previousContext_(xmlGenericErrorContext) {
  xmlSetGenericErrorFunc(this, &GenericErrorCapture::Collect);
}

GenericErrorCapture::~GenericErrorCapture() { xmlSetGenericErrorFunc(previousContext_, previous_); }

void GenericErrorCapture::Collect(void* self, const char* format, ...) {
  auto* capture = static_cast<GenericErrorCapture*>(self);
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  // Kept short: a message that quotes what it failed on must not carry a
  // whole file or value along.
  if (n > 0 && capture->text_.size() < 2048) capture->text_.append(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

void EnsureInitialised() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSchemaInitTypes();
    InstallSchemaEntityLoader();
  });
}

const char* LastParseRefusal() { return LastRefusal().empty() ? nullptr : LastRefusal().c_str(); }

DocPtr ParseUntrusted(xmlInputReadCallback read, void* context, const char* encoding, const ParseOptions& options) {
  EnsureInitialised();
  LastRefusal().clear();
  ParserCtxtPtr ctxt(xmlNewParserCtxt());
  if (!ctxt || !ctxt->sax) return nullptr;
  ParseState state;
  state.startElement = ctxt->sax->startElementNs;
  state.elementLines = options.elementLines;
  ctxt->sax->internalSubset = RefuseDoctype;
  ctxt->sax->startElementNs = BoundedStartElement;
  ctxt->_private = &state;
  // HUGE only together with the two refusals above (see ParseState).
  int flags = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;
  if (encoding) flags |= XML_PARSE_IGNORE_ENC;
  if (options.compact) {
    // Short texts (most values) are kept inside their nodes instead of in
    // allocations of their own, and white space between elements is left out.
    flags |= XML_PARSE_COMPACT;
    ctxt->sax->ignorableWhitespace = SpaceBetweenElements;
  }
  xmlCtxtUseOptions(ctxt.get(), flags);
  // libxml2 asks the callback for a few kilobytes at a time and drops what
  // it has parsed, so the text is never held whole.
  CountedInput input{read, context, AttributeCounter(encoding)};
  DocPtr doc;
  {
    // A read refused for too many attributes is reported by libxml2 as an
    // I/O error outside the parser's own (silenced) reports.
    GenericErrorCapture quiet;
    doc.reset(xmlCtxtReadIO(ctxt.get(), CountedInput::Read, nullptr, &input, nullptr, encoding, flags));
  }
  ctxt->_private = nullptr;
  if (!doc || !ctxt->wellFormed || state.refused || input.refused || xmlDocGetRootElement(doc.get()) == nullptr)
    return nullptr;
  return doc;
}

DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding, const ParseOptions& options) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return nullptr;
  // Read through a callback in pieces: libxml2 copies a memory input whole
  // before parsing it.
  MemoryInput input{data, size};
  return ParseUntrusted(ReadMemoryInput, &input, encoding, options);
}

DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding, std::vector<long>* elementLines) {
  return ParseUntrusted(data, size, encoding, ParseOptions{elementLines, false});
}

}  // namespace tsln2xml::xml
