#include "property_blob.h"

#include "text/utf.h"

#include "jet/format.h"
#include "jet_text.h"

namespace mkmdb {
namespace {

constexpr std::uint8_t kSignature[4] = {'M', 'R', '2', '\0'};
constexpr std::uint16_t kNamesBlock = 0x0080;
constexpr std::uint16_t kObjectBlock = 0x0000;
constexpr std::uint16_t kColumnBlock = 0x0001;
constexpr std::uint8_t kEngineProperty = 0x01;

class Blob {
 public:
  // The position of `name` in the names block, added when new.
  std::uint16_t Name(const std::u16string& name) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (names_[i] == name) return static_cast<std::uint16_t>(i);
    }
    names_.push_back(name);
    return static_cast<std::uint16_t>(names_.size() - 1);
  }

  // Adds a block of properties for the object (`group` empty) or one of its columns.
  void StartGroup(std::uint16_t kind, const std::u16string& group) {
    groups_.push_back({kind, {}});
    std::vector<std::uint8_t>& block = groups_.back().bytes;
    const std::vector<std::uint8_t> name = Utf16Bytes(group);
    jet::AppendU32(block, static_cast<std::uint32_t>(6 + name.size()));
    jet::AppendU16(block, static_cast<std::uint16_t>(name.size()));
    block.insert(block.end(), name.begin(), name.end());
  }

  void Add(const std::u16string& name, std::uint8_t type, const std::vector<std::uint8_t>& value) {
    std::vector<std::uint8_t>& block = groups_.back().bytes;
    jet::AppendU16(block, static_cast<std::uint16_t>(8 + value.size()));
    jet::AppendU8(block, kEngineProperty);
    jet::AppendU8(block, type);
    jet::AppendU16(block, Name(name));
    jet::AppendU16(block, static_cast<std::uint16_t>(value.size()));
    block.insert(block.end(), value.begin(), value.end());
  }

  std::vector<std::uint8_t> Finish() const {
    std::vector<std::uint8_t> out(std::begin(kSignature), std::end(kSignature));
    std::vector<std::uint8_t> names;
    for (const std::u16string& name : names_) {
      const std::vector<std::uint8_t> bytes = Utf16Bytes(name);
      jet::AppendU16(names, static_cast<std::uint16_t>(bytes.size()));
      names.insert(names.end(), bytes.begin(), bytes.end());
    }
    Append(out, kNamesBlock, names);
    for (const Group& group : groups_) Append(out, group.kind, group.bytes);
    return out;
  }

 private:
  struct Group {
    std::uint16_t kind;
    std::vector<std::uint8_t> bytes;
  };

  static void Append(std::vector<std::uint8_t>& out, std::uint16_t kind,
                     const std::vector<std::uint8_t>& content) {
    jet::AppendU32(out, static_cast<std::uint32_t>(6 + content.size()));
    jet::AppendU16(out, kind);
    out.insert(out.end(), content.begin(), content.end());
  }

  std::vector<std::u16string> names_;
  std::vector<Group> groups_;
};

std::u16string Checked(const std::string& text, const std::string& what) {
  std::u16string out;
  if (!textconv::Utf8ToUtf16(text, out)) throw WriterError(what + " is not valid UTF-8");
  if (out.size() > kMaxPropertyCharacters) {
    throw WriterError(what + " is longer than " + std::to_string(kMaxPropertyCharacters) +
                      " characters");
  }
  return out;
}

bool HasProperties(const ColumnSpec& column) {
  return !column.description.empty() || column.default_value || column.required;
}

}  // namespace

std::vector<std::uint8_t> BuildPropertyBlob(const std::string& table, const std::string& description,
                                            const std::vector<ColumnSpec>& columns) {
  bool any = !description.empty();
  for (const ColumnSpec& column : columns) any = any || HasProperties(column);
  if (!any) return {};
  Blob blob;
  blob.StartGroup(kObjectBlock, u"");
  if (!description.empty()) {
    blob.Add(u"Description", jet::kTypeText,
             Utf16Bytes(Checked(description, "the description of table " + table)));
  }
  for (const ColumnSpec& column : columns) {
    if (!HasProperties(column)) continue;
    const std::string where = "table " + table + ", column \"" + column.name + "\": ";
    blob.StartGroup(kColumnBlock, textconv::Utf8ToUtf16(column.name));  // checked with the table's names
    if (!column.description.empty()) {
      blob.Add(u"Description", jet::kTypeText,
               Utf16Bytes(Checked(column.description, where + "the description")));
    }
    if (column.default_value) {
      if (column.default_value->empty()) throw WriterError(where + "the default value is empty");
      blob.Add(u"DefaultValue", jet::kTypeMemo,
               Utf16Bytes(Checked(*column.default_value, where + "the default value")));
    }
    if (column.required) blob.Add(u"Required", jet::kTypeBool, {1});
  }
  return blob.Finish();
}

}  // namespace mkmdb
