// export and import: items between a storage area and XML documents, one
// item at a time or many in one run.
//
// One item:   export TYPE AREA ITEM [-o FILE]      import TYPE AREA ITEM FILE
// Many items: export TYPE AREA ITEM... -d DIR      import TYPE AREA ITEM... -d DIR
//             export [TYPE] AREA --all -d DIR      import [TYPE] AREA --all -d DIR
//
// A document directory holds one folder per data type, named after the type,
// with one document per item: DIR/SizeCode/MISSES.xml. Characters that a file
// name cannot hold ("/", "\", "%", control characters, a leading ".") are
// written as %XX. A run of many items prints one status line per item and a
// summary, goes on past a failed item and exits with the first failure's code.

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>

#include "cli/commands.h"
#include "core/data_types.h"
#include "api/batch.h"
#include "api/boundary.h"
#include "api/file_conversion.h"
#include "converters/registry.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "platform/host_files.h"
#include "platform/leftovers.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "xml/document.h"
#include "store/item_lookup.h"
#include "store/item_store.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kItemOpenFailure = 5;  // the library's code for a store that cannot be read
constexpr int kUnimplementedType = 7;  // the library's code for a type without a converter
// Runs of at least this many items show their progress on a terminal.
constexpr size_t kProgressMinItems = 20;

struct ConvertArgs {
  std::vector<std::string> args;  // TYPE AREA ITEM... or [TYPE] AREA with --all
  std::string output;             // export: one item's document file
  std::string dir;                // the document directory of a batch
  bool all = false;
  unsigned jobs = 0;              // conversions at once in a batch; 0: one per core
};

// One item of a batch.
struct Job {
  int16_t type;
  std::string item;  // narrow, ANSI code page
  fs::path document;
};

int Usage(const std::string& message) {
  std::cerr << message << std::endl;
  return kUsageError;
}

#ifdef _WIN32
// Windows file names cannot hold these ("A:B.xml" would be a stream of the
// file "A", "A?.xml" no name at all) ...
constexpr std::string_view kWindowsUnfit = "<>:\"|?*";

// ... and a name whose part before the first dot is a device's ("NUL.xml",
// "com1.xml") opens that device: its first character is written as %XX.
bool IsWindowsDeviceName(std::string_view utf8) {
  const std::string_view stem = utf8.substr(0, utf8.find('.'));
  if (stem.size() != 3 && stem.size() != 4) return false;
  std::string upper(stem);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
         upper[3] <= '9';
}
#else
constexpr std::string_view kWindowsUnfit;
bool IsWindowsDeviceName(std::string_view) { return false; }
#endif

// The item's name as a file name (UTF-8, with %XX for what a file name cannot
// hold) and back.
std::string FileNameOf(const std::string& item) {
  const std::string utf8 = platform::AnsiToUtf8(item);
  const bool device = IsWindowsDeviceName(utf8);
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == '%' || (i == 0 && (c == '.' || device)) ||
        kWindowsUnfit.find(static_cast<char>(c)) != std::string_view::npos) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + ".xml";
}

// The item a document's file name stands for (in the code page), or why it
// stands for none: a file name that is not UTF-8, or that decodes to a name
// with a NUL or a character the code page cannot hold, would otherwise
// become another item's name (one cut at the NUL, or with "?" in place of
// the character) and overwrite it.
std::string ItemOfFileName(const std::string& stem, std::string& item) {
  if (platform::Utf16ToUtf8(platform::Utf8ToUtf16(stem)) != stem) return "the file name is not UTF-8";
  std::string utf8;
  for (size_t i = 0; i < stem.size(); ++i) {
    unsigned value = 0;
    if (stem[i] == '%' && i + 2 < stem.size() && std::isxdigit(static_cast<unsigned char>(stem[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(stem[i + 2])) &&
        std::sscanf(stem.substr(i + 1, 2).c_str(), "%2x", &value) == 1) {
      utf8.push_back(static_cast<char>(value));
      i += 2;
    } else {
      utf8.push_back(stem[i]);
    }
  }
  if (utf8.find('\0') != std::string::npos) return "the file name gives an item name with a NUL character";
  if (platform::Utf16ToUtf8(platform::Utf8ToUtf16(utf8)) != utf8) return "the file name gives an item name that is not UTF-8";
  item = platform::Utf8ToAnsi(utf8);
  if (platform::AnsiToUtf8(item) != utf8)
    return "the file name gives an item name with characters that code page " +
           std::to_string(platform::ActiveCodePage()) + " cannot hold";
  return {};
}

fs::path DocumentPath(const std::string& dir, int16_t type, const std::string& item) {
  return HostFile(dir) / DataTypeName(type) / platform::FsPath(FileNameOf(item));
}

// A counter on the error stream while a long batch runs on a terminal. It is
// cleared before each status line, so both streams can share one terminal.
class Progress {
 public:
  Progress(const char* verb, size_t total)
      : verb_(verb), total_(total), enabled_(total >= kProgressMinItems && isatty(STDERR_FILENO)) {}
  ~Progress() { Clear(); }

  void Clear() {
    if (!shown_) return;
    std::cerr << "\r\033[K" << std::flush;
    shown_ = false;
  }
  void Show(size_t done) {
    if (!enabled_) return;
    std::cerr << "\r" << verb_ << " " << done << "/" << total_ << " (" << (done * 100 / total_) << "%)"
              << std::flush;
    shown_ = true;
  }

 private:
  const char* verb_;
  size_t total_;
  bool enabled_;
  bool shown_ = false;
};

struct BatchWords {
  const char* done;     // "exported"
  const char* ongoing;  // "exporting"
  const char* arrow;    // "->"
};

// What a batch did not attempt: items of types without a conversion, and
// catalogs that could not be read (their items are unknown).
struct NotAttempted {
  size_t skipped = 0;
  size_t unreadableCatalogs = 0;
  // Entries of a document directory that are not read, with the reason
  // ("PATH: a directory"); each is one of `skipped`.
  std::vector<std::string> skippedEntries;
  // Documents whose file name names no item: the type, the file and why.
  struct Refused {
    int16_t type;
    std::string file, why;
  };
  std::vector<Refused> refused;
};

// The code of a document whose file name names no item: the library's code
// for an item that cannot be created.
constexpr int kNameRefused = 5;

// A type without an XML export may have a command of its own.
void HintForUnexportedType(int16_t type) {
  if (type == kMarkerDataType) std::cerr << "Markers are exported with: tsln2xml marker AREA NAME" << std::endl;
}

// A batch's work: batch::ImportItems or batch::ExportItems over the area.
using BatchRun =
    std::function<void(const std::vector<batch::Item>&, const batch::Report&, const std::function<void(size_t)>&)>;

// The first line of a message, for the item's status line.
std::string FirstLine(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  const size_t nl = message.find('\n');
  return nl == std::string::npos ? message : message.substr(0, nl) + " ...";
}

// Runs the batch; prints a status line for each item as the run reports it
// (in the order of the jobs), and the summary.
int RunBatch(const std::vector<Job>& jobs, const NotAttempted& notAttempted, const BatchWords& words,
             const BatchRun& run) {
  std::vector<batch::Item> items;
  items.reserve(jobs.size());
  for (const Job& job : jobs) items.push_back({job.type, job.item, ToCodePage(platform::HostString(job.document))});
  size_t done = 0, failed = notAttempted.refused.size();
  int firstFailure = notAttempted.refused.empty() ? 0 : kNameRefused;
  for (const std::string& entry : notAttempted.skippedEntries) std::cout << "skipped " << entry << std::endl;
  for (const auto& r : notAttempted.refused)
    std::cout << "FAILED " << DataTypeName(r.type) << " " << r.file << ": " << r.why << " (code " << kNameRefused
              << ")" << std::endl;
  Progress progress(words.ongoing, jobs.size());
  progress.Show(0);
  size_t handled = 0;  // converted, reported or not
  auto report = [&](size_t i, const Failure& outcome) {
    const Job& job = jobs[i];
    progress.Clear();
    const std::string what = std::string(DataTypeName(job.type)) + " " + platform::AnsiToUtf8(job.item);
    if (outcome.code == 0) {
      ++done;
      std::cout << words.done << " " << what << " " << words.arrow << " " << platform::HostString(job.document) << std::endl;
    } else {
      ++failed;
      if (!firstFailure) firstFailure = outcome.code;
      const std::string message = Shown(outcome.message);
      std::cerr << message << std::endl;
      if (outcome.code == kUnimplementedType) HintForUnexportedType(job.type);
      std::cout << "FAILED " << what << ": " << FirstLine(message) << " (code " << outcome.code << ")" << std::endl;
    }
    progress.Show(handled);
  };
  run(items, report, [&](size_t count) {
    handled = count;
    progress.Show(handled);
  });
  progress.Clear();
  std::cout << done << " " << words.done << ", " << failed << " failed";
  if (notAttempted.skipped) std::cout << ", " << notAttempted.skipped << " skipped";
  if (notAttempted.unreadableCatalogs)
    std::cout << ", " << notAttempted.unreadableCatalogs << " unreadable catalog"
              << (notAttempted.unreadableCatalogs == 1 ? "" : "s");
  std::cout << std::endl;
  if (!firstFailure && notAttempted.unreadableCatalogs) return kItemOpenFailure;
  return firstFailure;
}

batch::Options BatchOptions(const ConvertArgs& a, const std::function<void(size_t)>& progress) {
  batch::Options options;
  options.threads = a.jobs ? a.jobs : batch::DefaultThreads();
  options.progress = progress;
  return options;
}

// The items of a type in the storage area, in catalog order; false when the
// catalog cannot be read.
bool ItemsOfType(const std::string& areaDir, int16_t type, std::vector<std::string>& out) {
  store::ItemLookup lookup;
  std::string name;
  const std::string storage = platform::StoragePath("", areaDir);
  int32_t rc = lookup.LookupItemData(type, storage, name, "*", 0);
  for (; rc == store::kLookupDelivered; rc = lookup.LookupItemData(type, storage, name, "*", 1))
    out.push_back(name);
  if (rc == store::kLookupNoMore) return true;
  std::cerr << "Could not read item catalog " << CatalogFileName(type) << ": " << lookup.LastError() << std::endl;
  return false;
}

// The types of a batch: the one named, or every type of the table.
bool BatchTypes(const std::vector<std::string>& args, bool all, std::vector<int16_t>& types, std::string& area,
                std::vector<std::string>& items) {
  if (all) {
    if (args.size() == 1) {
      for (const DataTypeInfo& t : DataTypes()) types.push_back(t.code);
      area = args[0];
      return true;
    }
    if (args.size() != 2) return false;
  } else if (args.size() < 3) {
    return false;
  }
  auto type = ParseTypeArgument(args[0]);
  if (!type) return false;
  types.push_back(*type);
  area = args[1];
  items.assign(args.begin() + 2, args.end());
  return true;
}

// A type with an export but no import (pieces) comes into an area as bytes.
int HintForUnimportedType(int rc, int16_t type) {
  if (rc == kUnimplementedType && !HasWriter(type) && HasReader(type))
    std::cerr << DataTypeName(type) << " items are export-only; store their bytes with: tsln2xml raw put "
              << DataTypeName(type) << " AREA NAME FILE" << std::endl;
  return rc;
}

// Exports into a file beside `target` that replaces it only on success: a
// failed export leaves an existing document as it was and no partial one. A
// named pipe or a device is written into as it is.
// The library has already written its message on the error stream.
// A failure of the file itself (not the library's) is described in `ownFailure`.
// The one export of a run leaves its document to the process's exit.
int ExportReplacing(int16_t type, const Area& area, const std::string& item, const fs::path& target,
                    std::string* ownFailure = nullptr, bool lastOfRun = false) {
  auto fileFailure = [&](const std::string& why) {
    const std::string message = "Could not write " + platform::HostString(target) + ": " + why;
    std::cerr << message << std::endl;
    if (ownFailure) *ownFailure = message;
    return 1;
  };
  if (platform::WrittenInPlace(platform::HostString(target))) {
    const int rc = ExportItemToFile(type, area.root.c_str(), area.name.c_str(), item.c_str(),
                                    ToCodePage(platform::HostString(target)).c_str(), !lastOfRun);
    if (rc == kUnimplementedType) HintForUnexportedType(type);
    return rc;
  }
  platform::FileBeside beside(platform::HostString(target));
  if (beside.Error() != 0) return fileFailure(std::strerror(beside.Error()));
  beside.Close();
  const int rc = ExportItemToFile(type, area.root.c_str(), area.name.c_str(), item.c_str(),
                                  ToCodePage(beside.Path()).c_str(), !lastOfRun);
  if (rc != 0) {
    if (rc == kUnimplementedType) HintForUnexportedType(type);
    return rc;
  }
  if (const int error = beside.Commit()) return fileFailure(std::strerror(error));
  return 0;
}

// Removes the files beside `target` that exports to it left when they were
// killed before their rename (their processes no longer exist). Done by a
// single export only: a batch would read its directory once per document.
void RemoveExportLeftovers(const fs::path& target) {
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  platform::RemoveLeftovers(platform::HostString(dir),
                            {"." + platform::HostString(target.filename()) + ".", platform::IsTemporaryFileRest});
}

int ExportOne(int16_t type, const Area& area, const std::string& item, const std::string& output) {
  if (!output.empty() && output != "-") {
    RemoveExportLeftovers(HostFile(output));
    return ExportReplacing(type, area, item, HostFile(output), nullptr, true);
  }
  BSTR xml = nullptr;
  const int rc = ConvertDataItemToXMLString(type, area.root.c_str(), area.name.c_str(), item.c_str(), &xml, 0);
  if (rc != 0) {
    if (rc == kUnimplementedType) HintForUnexportedType(type);
    return rc;
  }
  const std::string text = platform::Utf16ToUtf8(platform::BstrView(xml));
  SysFreeString(xml);
  return WriteOutput("-", text) ? 0 : 1;
}

int RunExport(const ConvertArgs& a) {
  const bool batch = a.all || !a.dir.empty();
  if (!batch) {
    if (a.args.size() != 3) return Usage("export: give TYPE AREA ITEM, or several items with -d DIR");
    auto type = ParseTypeArgument(a.args[0]);
    if (!type) return kUsageError;
    return ExplainItemFailure(ExportOne(*type, AreaFromDirectory(a.args[1]), a.args[2], a.output), *type, a.args[1],
                              a.args[2]);
  }
  if (a.dir.empty()) return Usage("export --all: give the document directory with -d DIR");
  if (!a.output.empty()) return Usage("export: -o names one document; a batch writes into -d DIR");
  std::vector<int16_t> types;
  std::string areaDir;
  std::vector<std::string> items;
  if (!BatchTypes(a.args, a.all, types, areaDir, items))
    return Usage(a.all ? "export --all: give [TYPE] AREA" : "export: give TYPE AREA ITEM...");
  if (a.all && !items.empty()) return Usage("export --all: give no item names");

  std::vector<Job> jobs;
  NotAttempted notAttempted;
  for (int16_t type : types) {
    std::vector<std::string> names = items;
    if (a.all && types.size() == 1 && !HasReader(type)) {
      std::cerr << DataTypeName(type) << " items have no XML export" << std::endl;
      HintForUnexportedType(type);
      return kUnimplementedType;
    }
    if (a.all && !ItemsOfType(areaDir, type, names)) ++notAttempted.unreadableCatalogs;
    // Items of a type without an XML export (markers have their own command)
    // are counted, not failed.
    if (!HasReader(type) && a.all && types.size() > 1) {
      notAttempted.skipped += names.size();
      continue;
    }
    for (const auto& name : names) jobs.push_back({type, name, DocumentPath(a.dir, type, name)});
  }
  const Area area = AreaFromDirectory(areaDir);
  return RunBatch(jobs, notAttempted, {"exported", "exporting", "->"},
                  [&](const std::vector<batch::Item>& batchItems, const batch::Report& report,
                      const std::function<void(size_t)>& progress) {
                    batch::ExportItems(batchItems, area.root, area.name, BatchOptions(a, progress), report);
                  });
}

int ImportOne(int16_t type, const Area& area, const std::string& item, const std::string& input) {
  // The one import of the run: its document is left to the exit.
  if (input != "-")
    return ImportItemFromFile(type, input.c_str(), area.root.c_str(), area.name.c_str(), item.c_str(), false);
  // Standard input goes through the same loader as a file: the encoding is
  // found from the bytes, invalid text is refused, and the size is bounded
  // before it is read whole.
  std::string bytes;
  const xml::ReadStatus status = xml::ReadStreamBytes(std::cin, bytes);
  return RunAtBoundary([&] {
    auto writer = CreateWriter(type, area.root, area.name, item);
    if (status == xml::ReadStatus::kTooLarge) DocumentTooLarge();
    if (status == xml::ReadStatus::kUnreadable) throw Tsln2XmlException(kContentUnusable, "xmlFile failed to Load");
    writer->FromBytes(bytes);
  });
}

// Whether `path` (canonical) lies inside the folder `root` (canonical).
bool Inside(const fs::path& path, const fs::path& root) {
  const fs::path relative = path.lexically_relative(root);
  return !relative.empty() && *relative.begin() != "..";
}

// Why an entry named *.xml of a document folder is not read as a document,
// or "". A FIFO would block the run, a directory or a link to nothing fail
// as an unreadable document; a link out of the document directory is not
// followed.
std::string NotADocument(const fs::directory_entry& entry, const fs::path& root) {
  std::error_code ec;
  if (entry.is_symlink(ec)) {
    const fs::path target = fs::canonical(entry.path(), ec);
    if (ec) return "a symbolic link to nothing";
    if (!Inside(target, root)) return "a symbolic link to a file outside the document directory";
  }
  // The type the directory listing gave, unless the entry is a link.
  const fs::file_status status = entry.status(ec);
  if (ec) return ec.message();
  if (fs::is_directory(status)) return "a directory";
  if (!fs::is_regular_file(status)) return "not a regular file";
  return {};
}

// The documents of a type's folder, in file name order; entries that are not
// documents, and documents whose names name no item, go to `notAttempted`.
std::vector<Job> DocumentsOfType(const std::string& dir, int16_t type, NotAttempted& notAttempted) {
  std::vector<Job> jobs;
  std::error_code ec;
  const fs::path root = fs::canonical(HostFile(dir), ec);
  const fs::path folder = HostFile(dir) / DataTypeName(type);
  if (!fs::is_directory(folder, ec)) return jobs;
  if (!Inside(fs::canonical(folder, ec), root)) {
    ++notAttempted.skipped;
    notAttempted.skippedEntries.push_back(platform::HostString(folder) + ": a symbolic link to a folder outside the document directory");
    return jobs;
  }
  std::vector<fs::directory_entry> entries;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".xml") entries.push_back(entry);
  std::sort(entries.begin(), entries.end(),
            [](const fs::directory_entry& x, const fs::directory_entry& y) { return x.path().native() < y.path().native(); });
  for (const auto& entry : entries) {
    if (const std::string why = NotADocument(entry, root); !why.empty()) {
      ++notAttempted.skipped;
      notAttempted.skippedEntries.push_back(platform::HostString(entry.path()) + ": " + why);
      continue;
    }
    std::string item;
    if (const std::string why = ItemOfFileName(platform::HostString(entry.path().stem()), item); !why.empty()) {
      notAttempted.refused.push_back({type, platform::HostString(entry.path()), why});
      continue;
    }
    jobs.push_back({type, item, entry.path()});
  }
  return jobs;
}

// Folders of a document directory that name no data type: skipped, said so.
void UnknownTypeFolders(const std::string& dir, NotAttempted& notAttempted) {
  std::error_code ec;
  std::vector<fs::path> unknown;
  for (const auto& entry : fs::directory_iterator(HostFile(dir), ec)) {
    const std::string name = platform::HostString(entry.path().filename());
    if (!entry.is_directory(ec)) continue;
    const auto type = ParseDataType(name);
    if (!type || DataTypeName(*type) != name) unknown.push_back(entry.path());
  }
  std::sort(unknown.begin(), unknown.end());
  for (const auto& folder : unknown) {
    ++notAttempted.skipped;
    notAttempted.skippedEntries.push_back(platform::HostString(folder) + ": not the folder of a data type");
  }
}

int RunImport(const ConvertArgs& a) {
  if (!a.output.empty()) return Usage("import: -o is an export option");
  const bool batch = a.all || !a.dir.empty();
  if (!batch) {
    if (a.args.size() != 4) return Usage("import: give TYPE AREA ITEM FILE, or several items with -d DIR");
    auto type = ParseTypeArgument(a.args[0]);
    if (!type) return kUsageError;
    return ExplainItemFailure(HintForUnimportedType(ImportOne(*type, AreaFromDirectory(a.args[1]), a.args[2], a.args[3]), *type),
                              *type, a.args[1], a.args[2]);
  }
  if (a.dir.empty()) return Usage("import --all: give the document directory with -d DIR");
  std::vector<int16_t> types;
  std::string areaDir;
  std::vector<std::string> items;
  if (!BatchTypes(a.args, a.all, types, areaDir, items))
    return Usage(a.all ? "import --all: give [TYPE] AREA" : "import: give TYPE AREA ITEM...");
  if (a.all && !items.empty()) return Usage("import --all: give no item names");
  std::error_code ec;
  if (!fs::is_directory(HostFile(a.dir), ec)) {
    std::cerr << "Document directory " << Shown(a.dir) << " does not exist" << std::endl;
    return 1;
  }

  std::vector<Job> jobs;
  NotAttempted notAttempted;
  for (int16_t type : types) {
    if (!a.all) {
      for (const auto& item : items) jobs.push_back({type, item, DocumentPath(a.dir, type, item)});
      continue;
    }
    NotAttempted ofType;
    std::vector<Job> documents = DocumentsOfType(a.dir, type, ofType);
    // Documents of a type without an import (pieces are exported only) are
    // counted, not failed, so a directory written by export --all imports.
    notAttempted.skipped += ofType.skipped;
    for (auto& entry : ofType.skippedEntries) notAttempted.skippedEntries.push_back(std::move(entry));
    if (!HasWriter(type) && types.size() > 1) {
      notAttempted.skipped += documents.size() + ofType.refused.size();
      continue;
    }
    for (auto& refused : ofType.refused) notAttempted.refused.push_back(std::move(refused));
    for (Job& job : documents) jobs.push_back(std::move(job));
  }
  if (a.all && types.size() > 1) UnknownTypeFolders(a.dir, notAttempted);
  const Area area = AreaFromDirectory(areaDir);
  return RunBatch(jobs, notAttempted, {"imported", "importing", "<-"},
                  [&](const std::vector<batch::Item>& batchItems, const batch::Report& report,
                      const std::function<void(size_t)>& progress) {
                    batch::ImportItems(batchItems, area.root, area.name, BatchOptions(a, progress), report);
                  });
}

void AddBatchOptions(CLI::App* cmd, ConvertArgs& args, const char* what) {
  cmd->add_option("-d,--dir", args.dir, std::string("Document directory of a batch: DIR/TYPE/ITEM.xml ") + what);
  cmd->add_flag("-a,--all", args.all, "Every item of TYPE, or of every type when TYPE is left out");
  cmd->add_option("-j,--jobs", args.jobs, "Items of a batch converted at once (default: one per core)")
      ->check(CLI::Range(1, 256));
}

}  // namespace

void RegisterConvertCommands(CLI::App& app, Outcome& outcome) {
  auto exportArgs = std::make_shared<ConvertArgs>();
  auto* exp = app.add_subcommand("export",
                                 "Export items to XML documents.\n"
                                 "  export TYPE AREA ITEM [-o FILE]   one item (standard output without -o)\n"
                                 "  export TYPE AREA ITEM... -d DIR   several items into DIR/TYPE/ITEM.xml\n"
                                 "  export [TYPE] AREA --all -d DIR   every item of TYPE, or of the area");
  exp->add_option("ARGS", exportArgs->args, "TYPE AREA ITEM..., or [TYPE] AREA with --all")->required();
  exp->add_option("-o,--output", exportArgs->output, "Write the one item's document to this file");
  AddBatchOptions(exp, *exportArgs, "(written)");
  exp->callback([exportArgs, &outcome] { outcome.code = RunExport(*exportArgs); });

  auto importArgs = std::make_shared<ConvertArgs>();
  auto* imp = app.add_subcommand("import",
                                 "Import XML documents into items.\n"
                                 "  import TYPE AREA ITEM FILE        one item (FILE - for standard input)\n"
                                 "  import TYPE AREA ITEM... -d DIR   several items from DIR/TYPE/ITEM.xml\n"
                                 "  import [TYPE] AREA --all -d DIR   every document of DIR/TYPE, or of DIR");
  imp->add_option("ARGS", importArgs->args, "TYPE AREA ITEM FILE, TYPE AREA ITEM..., or [TYPE] AREA with --all")
      ->required();
  AddBatchOptions(imp, *importArgs, "(read)");
  imp->callback([importArgs, &outcome] { outcome.code = RunImport(*importArgs); });
}

}  // namespace tsln2xml::cli
