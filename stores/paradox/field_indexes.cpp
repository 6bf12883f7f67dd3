#include "stores/paradox/field_indexes.h"

#include <cstring>

namespace varnholt::paradox {

void FieldIndexes::Reset(const FieldCodec* codec, const MemoFile* memo) {
  codec_ = codec;
  memo_ = memo;
  indexes_.clear();
  indexes_.resize(codec->fields().size());
}

std::string_view FieldIndexes::Key(int field, const uint8_t* record, std::string* scratch) const {
  const uint8_t* p = record + codec_->offset(field);
  switch (codec_->fields()[field].type) {
    case FieldType::kAlpha: {
      const auto* end = static_cast<const uint8_t*>(std::memchr(p, 0, codec_->size(field)));
      return std::string_view(reinterpret_cast<const char*>(p), end ? end - p : codec_->size(field));
    }
    case FieldType::kMemo: {
      const Value v = codec_->Decode(field, record, memo_);
      const auto* s = std::get_if<std::string>(&v);
      *scratch = s ? *s : std::string();
      return *scratch;
    }
    default:
      return std::string_view(reinterpret_cast<const char*>(p), codec_->size(field));
  }
}

uint64_t FieldIndexes::Hash(int field, RowId row, std::string* scratch) const {
  return FieldIndex::Hash(Key(field, chain_->RecordBytes(row), scratch));
}

std::vector<RowId> FieldIndexes::Find(int field, const Value& value) {
  auto& index = indexes_[field];
  std::string scratch;
  if (!index) {
    index = std::make_unique<FieldIndex>();
    index->Reserve(chain_->row_ids());
    for (uint16_t b : chain_->blocks()) {
      for (RowId r : chain_->rows_of(b)) index->Add(Hash(field, r, &scratch), r);
    }
  }
  std::string key;
  if (codec_->fields()[field].type == FieldType::kMemo && std::holds_alternative<std::string>(value)) {
    key = std::get<std::string>(value);
  } else {
    probe_.assign(codec_->record_size(), 0);
    bool exact = true;
    try {
      codec_->Encode(field, value, probe_.data(), &exact);
    } catch (const EngineError&) {
      return {};
    }
    if (!exact) return {};
    key = Key(field, probe_.data(), &scratch);
  }
  std::vector<RowId> hits;
  index->Find(FieldIndex::Hash(key), &hits);
  // Rows whose key only shares the hash are not hits.
  std::erase_if(hits, [&](RowId r) { return Key(field, chain_->RecordBytes(r), &scratch) != key; });
  return hits;
}

void FieldIndexes::Add(RowId row) {
  std::string scratch;
  for (size_t f = 0; f < indexes_.size(); ++f) {
    if (indexes_[f]) indexes_[f]->Add(Hash(static_cast<int>(f), row, &scratch), row);
  }
}

void FieldIndexes::Remove(RowId row) {
  std::string scratch;
  for (size_t f = 0; f < indexes_.size(); ++f) {
    if (indexes_[f]) indexes_[f]->Remove(Hash(static_cast<int>(f), row, &scratch), row);
  }
}

}  // namespace varnholt::paradox
