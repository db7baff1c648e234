#pragma once
// A small JSON value with a reader and a writer, enough for the state file:
// objects keep their members in the order they were written.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tvsim {

class Json {
 public:
  enum class Type { Null, Bool, Number, String, Array, Object };
  using Member = std::pair<std::string, Json>;

  Json() = default;
  Json(std::nullptr_t) {}
  Json(bool b) : type_(Type::Bool), bool_(b) {}
  Json(int n) : type_(Type::Number), number_(n) {}
  Json(int64_t n) : type_(Type::Number), number_(static_cast<double>(n)) {}
  Json(double n) : type_(Type::Number), number_(n) {}
  Json(const char* s) : type_(Type::String), string_(s) {}
  Json(std::string s) : type_(Type::String), string_(std::move(s)) {}

  static Json Array() {
    Json j;
    j.type_ = Type::Array;
    return j;
  }
  static Json Object() {
    Json j;
    j.type_ = Type::Object;
    return j;
  }

  Type type() const { return type_; }
  bool IsNull() const { return type_ == Type::Null; }
  bool IsBool() const { return type_ == Type::Bool; }
  bool IsNumber() const { return type_ == Type::Number; }
  bool IsString() const { return type_ == Type::String; }
  bool IsArray() const { return type_ == Type::Array; }
  bool IsObject() const { return type_ == Type::Object; }

  bool AsBool() const { return bool_; }
  double AsNumber() const { return number_; }
  int64_t AsInt() const { return static_cast<int64_t>(number_); }
  const std::string& AsString() const { return string_; }
  const std::vector<Json>& Items() const { return items_; }
  const std::vector<Member>& Members() const { return members_; }

  // Arrays.
  void Push(Json value) { items_.push_back(std::move(value)); }
  // Objects: sets (or replaces) a member.
  Json& Set(const std::string& key, Json value);
  // The member named `key`, or nullptr.
  const Json* Find(std::string_view key) const;

  // Compact with indent 0; otherwise one member or item per line, except
  // that values nested `flatFrom` levels deep or deeper are written on one
  // line each (-1: no such limit).
  std::string Dump(int indent = 2, int flatFrom = -1) const;

  // Parses a whole document; on failure returns nothing and describes the
  // problem (with its byte offset) in `error`.
  static std::optional<Json> Parse(std::string_view text, std::string* error = nullptr);

 private:
  void DumpTo(std::string& out, int indent, int depth, int flatFrom) const;

  Type type_ = Type::Null;
  bool bool_ = false;
  double number_ = 0;
  std::string string_;
  std::vector<Json> items_;
  std::vector<Member> members_;
};

}  // namespace tvsim
