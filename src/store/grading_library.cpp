#include "store/grading_library.h"

#include <algorithm>
#include <cstdio>

#include "platform/byte_order.h"
#include "platform/paths.h"
#include "store/item_path.h"
#include "store/item_store.h"

namespace tsln2xml::grading {
namespace {

constexpr int kPieceDataType = 20;
constexpr const char* kPieceCatalog = "piece.ctl";
constexpr const char* kPieceItemFiles = "piece%c%c%c.pce";

}  // namespace

struct GradePieceManager {
  int option = 0;
  std::vector<std::unique_ptr<PIECE>> delivered;
  std::string baseSizeText;
};

std::string BaseSizeText(const PIECE& piece) {
  if (piece.sizeIdType == kNumeric) {
    char text[8];
    std::snprintf(text, sizeof text, "%6d", platform::LoadLE<int16_t>(piece.baseSize.data()));
    return text;
  }
  const auto end = std::find(piece.baseSize.begin(), piece.baseSize.begin() + 7, uint8_t{0});
  return std::string(piece.baseSize.begin(), end);
}

GradePieceManager* OpenGradePieceManager(int option) {
  auto* manager = new GradePieceManager;
  manager->option = option;
  return manager;
}

PIECE* GetBasePiece(GradePieceManager* manager, std::string_view storageDirectory, std::string_view name, int) {
  if (!manager) return nullptr;
  const std::string control = store::ItemDirectory(storageDirectory, kPieceDataType) + kPieceCatalog;
  store::ItemHandle* handle = nullptr;
  if (store::OpenItem(control, name, store::kModeRead, kPieceItemFiles, handle, nullptr) != store::kStoreOk)
    return nullptr;
  const std::vector<uint8_t> bytes = std::move(handle->data);
  store::CloseItem(control, name, handle);
  auto piece = std::make_unique<PIECE>();
  if (!DecodePiece(bytes, *piece)) return nullptr;
  manager->baseSizeText = BaseSizeText(*piece);
  manager->delivered.push_back(std::move(piece));
  return manager->delivered.back().get();
}

const std::string& DeliveredBaseSizeText(const GradePieceManager* manager) { return manager->baseSizeText; }

void FreeGradedPiece(GradePieceManager* manager, PIECE* piece) {
  if (!manager) return;
  std::erase_if(manager->delivered, [piece](const std::unique_ptr<PIECE>& p) { return p.get() == piece; });
}

void CloseGradePieceManager(GradePieceManager* manager) { delete manager; }

int32_t StorePiece(const std::string& areaDirectory, std::string_view name, const PIECE& piece) {
  const std::vector<uint8_t> bytes = EncodePiece(piece);
  const std::string control =
      store::ItemDirectory(platform::StoragePath("", areaDirectory), kPieceDataType) + kPieceCatalog;
  store::ItemHandle* handle = nullptr;
  int32_t status = store::OpenItem(control, name, store::kModeCreate, kPieceItemFiles, handle, nullptr);
  if (status != store::kStoreOk) return status;
  if (store::WriteItem(bytes.data(), 1, bytes.size(), handle) != bytes.size()) status = store::kCatalogError;
  if (status == store::kStoreOk) status = store::CommitItem(handle);
  store::CloseItem(control, name, handle);
  return status;
}

}  // namespace tsln2xml::grading
