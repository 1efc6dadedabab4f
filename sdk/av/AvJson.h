// A small JSON value for the media server's signalling. What a server sends is not trusted:
// parsing is bounded in depth, fails rather than guesses, and every accessor answers a neutral
// value for a missing member or a member of the wrong type.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace brvav {

class Json
{
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Json() = default;
    Json(bool b) : type_(Type::Bool), bool_(b) {}
    Json(int n) : type_(Type::Number), number_(n) {}
    Json(int64_t n) : type_(Type::Number), number_(double(n)) {}
    Json(uint64_t n) : type_(Type::Number), number_(double(n)) {}
    Json(double n) : type_(Type::Number), number_(n) {}
    Json(const char *s) : type_(Type::String), string_(s ? s : "") {}
    Json(std::string s) : type_(Type::String), string_(std::move(s)) {}

    static Json object() { return Json(Type::Object); }
    static Json array() { return Json(Type::Array); }
    /// Null with ok = false on malformed text (or more nesting than a server needs).
    static Json parse(const std::string &text, bool *ok);

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isObject() const { return type_ == Type::Object; }
    bool isArray() const { return type_ == Type::Array; }
    bool isString() const { return type_ == Type::String; }
    bool isNumber() const { return type_ == Type::Number; }

    /// The member, or a null value.
    const Json &operator[](const char *key) const;
    bool has(const char *key) const;
    /// The element, or a null value.
    const Json &at(size_t index) const;
    size_t size() const { return isArray() ? items_.size() : isObject() ? members_.size() : 0; }
    const std::vector<Json> &items() const { return items_; }

    std::string str(const std::string &fallback = {}) const
    {
        return isString() ? string_ : fallback;
    }
    double num(double fallback = 0) const { return isNumber() ? number_ : fallback; }
    /// Integral numbers only (ids); fallback for fractions, huge values and other types.
    uint64_t id(uint64_t fallback = 0) const;
    bool boolean(bool fallback = false) const { return type_ == Type::Bool ? bool_ : fallback; }

    /// Sets (or replaces) a member; turns a null value into an object first.
    Json &set(const std::string &key, Json value);
    Json &push(Json value);

    std::string dump() const;

private:
    explicit Json(Type t) : type_(t) {}
    friend class JsonParser;

    Type type_ = Type::Null;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<Json> items_;
    std::vector<std::pair<std::string, Json>> members_;
};

} // namespace brvav
