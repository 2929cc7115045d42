// raw get / raw put: an item's bytes as they are stored, for backups and
// test fixtures. put goes through the same transactional commit as imports.
// Markers (type 9) are exchanged in their position-independent form, whatever
// container the storage area keeps them in. Pieces (type 20) are put only when
// the bytes are one piece in the layout of docs/piece-format.md that exports.

#include <exception>
#include <iostream>

#include "cli/commands.h"
#include "converters/grading/piece.h"
#include "core/data_types.h"
#include "platform/paths.h"
#include "store/grading_library.h"
#include "store/item_path.h"
#include "store/item_store.h"
#include "store/marker_file.h"

namespace tsln2xml::cli {
namespace {

struct RawArgs {
  std::string type, area, item, file;
};

const char* StoreResultText(int32_t result) {
  switch (result) {
    case store::kItemNotFound: return "no such item";
    case store::kNoStorageArea: return "the storage area does not exist";
    case store::kBadItemName: return "the item name is empty or longer than 20 characters";
    case store::kCatalogError: return "the catalog could not be read or written";
    case store::kPathTooLong: return "the path is too long for a catalog";
    case store::kMarkerDamaged: return "the stored marker is damaged";
    default: return "store failure";
  }
}

int Fail(const char* message, int32_t result, std::string_view controlPath = {}) {
  std::cerr << message << " (" << StoreResultText(result) << ")";
  const std::string detail = store::StoreFailureDetail(result, controlPath);
  if (!detail.empty()) std::cerr << ": " << detail;
  std::cerr << std::endl;
  return 5;
}

// The catalog of a type kept as items, or an error for the others.
std::optional<std::string> ControlPath(const RawArgs& a, int16_t& type) {
  auto code = ParseTypeArgument(a.type);
  if (!code) return std::nullopt;
  type = *code;
  const ItemFileEntry* entry = FindItemFileEntry(type);
  if (type == kMarkerDataType) return store::MarkerCatalogPath(platform::StoragePath("", a.area));
  if (!entry) {
    std::cerr << "Data type " << type << " is not kept as items" << std::endl;
    return std::nullopt;
  }
  const std::string storage = platform::StoragePath("", a.area);
  return store::ItemDirectory(storage, type) + entry->controlFile;
}

int RunGetMarker(const RawArgs& a) {
  std::vector<uint8_t> data;
  const int32_t result = store::GetMarker(platform::StoragePath("", a.area), a.item, data);
  if (result != store::kMarkerOk)
    return Fail("Error opening marker", result, store::MarkerCatalogPath(platform::StoragePath("", a.area)));
  if (!WriteOutput(a.file, std::string(data.begin(), data.end()))) {
    std::cerr << "Could not write " << Shown(a.file) << std::endl;
    return 1;
  }
  return 0;
}

int RunPutMarker(const RawArgs& a, const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const int32_t result = store::PutMarker(platform::StoragePath("", a.area), a.item, {data, bytes.size()});
  return result == store::kMarkerOk
             ? 0
             : Fail("Could not save file", result, store::MarkerCatalogPath(platform::StoragePath("", a.area)));
}

int RunGet(const RawArgs& a) {
  int16_t type = 0;
  auto control = ControlPath(a, type);
  if (!control) return kUsageError;
  if (type == kMarkerDataType) return RunGetMarker(a);
  store::ItemHandle* handle = nullptr;
  const int32_t result =
      store::OpenItem(*control, a.item, store::kModeRead, FindItemFileEntry(type)->itemFileTemplate, handle, nullptr);
  if (result != store::kStoreOk)
    return ExplainItemFailure(Fail("Could not open file", result, *control), type, a.area, a.item);
  const std::string bytes(handle->data.begin(), handle->data.end());
  store::CloseItem(*control, a.item, handle);
  if (!WriteOutput(a.file, bytes)) {
    std::cerr << "Could not write " << Shown(a.file) << std::endl;
    return 1;
  }
  return 0;
}

// A piece is stored only when it exports: its bytes are one piece whose
// codes and counts its document can show (a refusal names the field and its
// offset), and the export's own steps build and validate its document.
bool ExportablePiece(const RawArgs& a, const std::string& bytes) {
  grading::PIECE piece;
  std::string fault;
  if (!grading::DecodePiece({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, piece,
                            grading::PieceCheck::kExportable, &fault)) {
    std::cerr << "Unable to load Piece: " << fault << std::endl;
    return false;
  }
  try {
    PieceDocument(piece, a.item);
    return true;
  } catch (const std::exception& e) {
    std::cerr << "Unable to load Piece: its export fails: " << e.what() << std::endl;
    return false;
  }
}

int RunPut(const RawArgs& a) {
  int16_t type = 0;
  auto control = ControlPath(a, type);
  if (!control) return kUsageError;
  std::string bytes;
  if (!ReadInput(a.file, bytes)) {
    std::cerr << "Could not read " << Shown(a.file) << std::endl;
    return 1;
  }
  if (type == kMarkerDataType) return RunPutMarker(a, bytes);
  if (type == kPieceDataType && !ExportablePiece(a, bytes)) return ExplainItemFailure(5, type, a.area, a.item);
  store::ItemHandle* handle = nullptr;
  int32_t result =
      store::OpenItem(*control, a.item, store::kModeCreate, FindItemFileEntry(type)->itemFileTemplate, handle, nullptr);
  if (result != store::kStoreOk)
    return ExplainItemFailure(Fail("Could not create file", result, *control), type, a.area, a.item);
  if (store::WriteItem(bytes.data(), 1, bytes.size(), handle) != bytes.size() && !bytes.empty()) {
    store::CloseItem(*control, a.item, handle);
    std::cerr << "Error writing item" << std::endl;
    return 1;
  }
  result = store::CommitItem(handle);
  store::CloseItem(*control, a.item, handle);
  return result == store::kStoreOk ? 0 : Fail("Could not save file", result, *control);
}

}  // namespace

void RegisterRawCommands(CLI::App& app, Outcome& outcome) {
  auto* raw = app.add_subcommand("raw", "An item's stored bytes");
  raw->require_subcommand(1);
  auto getArgs = std::make_shared<RawArgs>();
  auto* get = raw->add_subcommand("get", "Write an item's bytes to FILE (- for standard output)");
  get->add_option("TYPE", getArgs->type, "Data type name or code")->required();
  get->add_option("AREA", getArgs->area, "Storage area directory")->required();
  get->add_option("ITEM", getArgs->item, "Item name")->required();
  get->add_option("FILE", getArgs->file, "Output file")->required();
  get->callback([getArgs, &outcome] { outcome.code = RunGet(*getArgs); });

  auto putArgs = std::make_shared<RawArgs>();
  auto* put = raw->add_subcommand("put", "Store FILE's bytes (- for standard input) as an item");
  put->add_option("TYPE", putArgs->type, "Data type name or code")->required();
  put->add_option("AREA", putArgs->area, "Storage area directory")->required();
  put->add_option("ITEM", putArgs->item, "Item name")->required();
  put->add_option("FILE", putArgs->file, "Input file")->required();
  put->callback([putArgs, &outcome] { outcome.code = RunPut(*putArgs); });
}

}  // namespace tsln2xml::cli
