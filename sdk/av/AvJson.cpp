#include "AvJson.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace brvav {

namespace {
const Json kNull;
constexpr int kMaxDepth = 64;
} // namespace

class JsonParser
{
public:
    explicit JsonParser(const std::string &text) : s_(text) {}

    bool parseDocument(Json &out)
    {
        skip();
        if (!value(out, 0))
            return false;
        skip();
        return pos_ == s_.size();
    }

private:
    void skip()
    {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
            ++pos_;
    }
    bool literal(const char *word)
    {
        size_t i = 0;
        for (; word[i]; ++i) {
            if (pos_ + i >= s_.size() || s_[pos_ + i] != word[i])
                return false;
        }
        pos_ += i;
        return true;
    }
    bool value(Json &out, int depth)
    {
        if (depth > kMaxDepth || pos_ >= s_.size())
            return false;
        const char c = s_[pos_];
        if (c == '{')
            return object(out, depth);
        if (c == '[')
            return array(out, depth);
        if (c == '"') {
            out = Json(Json::Type::String);
            return string(out.string_);
        }
        if (c == 't' && literal("true")) {
            out = Json(true);
            return true;
        }
        if (c == 'f' && literal("false")) {
            out = Json(false);
            return true;
        }
        if (c == 'n' && literal("null")) {
            out = Json();
            return true;
        }
        return number(out);
    }
    bool number(Json &out)
    {
        const size_t start = pos_;
        if (pos_ < s_.size() && s_[pos_] == '-')
            ++pos_;
        size_t digits = 0;
        while (pos_ < s_.size() &&
               ((s_[pos_] >= '0' && s_[pos_] <= '9') || s_[pos_] == '.' || s_[pos_] == 'e' ||
                s_[pos_] == 'E' || s_[pos_] == '+' || s_[pos_] == '-')) {
            ++pos_;
            ++digits;
        }
        if (!digits)
            return false;
        // Not strtod: the application's locale may want a decimal comma.
        const char *first = s_.data() + start;
        const char *last = s_.data() + pos_;
        double v = 0;
        const auto read = std::from_chars(first, last, v);
        if (read.ec != std::errc() || read.ptr != last || !std::isfinite(v))
            return false;
        out = Json(v);
        return true;
    }
    static void utf8(std::string &out, uint32_t cp)
    {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    bool hex4(uint32_t &cp)
    {
        if (pos_ + 4 > s_.size())
            return false;
        cp = 0;
        for (int i = 0; i < 4; ++i) {
            const char h = s_[pos_++];
            cp <<= 4;
            if (h >= '0' && h <= '9')
                cp |= uint32_t(h - '0');
            else if (h >= 'a' && h <= 'f')
                cp |= uint32_t(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                cp |= uint32_t(h - 'A' + 10);
            else
                return false;
        }
        return true;
    }
    bool string(std::string &out)
    {
        ++pos_; // opening quote
        while (pos_ < s_.size()) {
            const char c = s_[pos_++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= s_.size())
                return false;
            const char e = s_[pos_++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                uint32_t cp = 0;
                if (!hex4(cp))
                    return false;
                if (cp >= 0xD800 && cp < 0xDC00) {
                    uint32_t low = 0;
                    if (pos_ + 2 > s_.size() || s_[pos_] != '\\' || s_[pos_ + 1] != 'u')
                        return false;
                    pos_ += 2;
                    if (!hex4(low) || low < 0xDC00 || low >= 0xE000)
                        return false;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp < 0xE000) {
                    return false;
                }
                utf8(out, cp);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }
    bool array(Json &out, int depth)
    {
        out = Json(Json::Type::Array);
        ++pos_;
        skip();
        if (pos_ < s_.size() && s_[pos_] == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            Json item;
            skip();
            if (!value(item, depth + 1))
                return false;
            out.items_.push_back(std::move(item));
            skip();
            if (pos_ >= s_.size())
                return false;
            if (s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (s_[pos_] == ']') {
                ++pos_;
                return true;
            }
            return false;
        }
    }
    bool object(Json &out, int depth)
    {
        out = Json(Json::Type::Object);
        ++pos_;
        skip();
        if (pos_ < s_.size() && s_[pos_] == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skip();
            if (pos_ >= s_.size() || s_[pos_] != '"')
                return false;
            std::string key;
            if (!string(key))
                return false;
            skip();
            if (pos_ >= s_.size() || s_[pos_] != ':')
                return false;
            ++pos_;
            skip();
            Json item;
            if (!value(item, depth + 1))
                return false;
            // Appended as read, so that a message of many members parses in linear time; a
            // repeated key is resolved at look-up, where the last one wins as in browsers.
            out.members_.emplace_back(std::move(key), std::move(item));
            skip();
            if (pos_ >= s_.size())
                return false;
            if (s_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (s_[pos_] == '}') {
                ++pos_;
                return true;
            }
            return false;
        }
    }

    const std::string &s_;
    size_t pos_ = 0;
};

Json Json::parse(const std::string &text, bool *ok)
{
    Json out;
    JsonParser parser(text);
    const bool good = parser.parseDocument(out);
    if (ok)
        *ok = good;
    return good ? out : Json();
}

const Json &Json::operator[](const char *key) const
{
    if (isObject()) {
        for (auto m = members_.rbegin(); m != members_.rend(); ++m) {
            if (m->first == key)
                return m->second;
        }
    }
    return kNull;
}

bool Json::has(const char *key) const
{
    return isObject() && &(*this)[key] != &kNull;
}

const Json &Json::at(size_t index) const
{
    return isArray() && index < items_.size() ? items_[index] : kNull;
}

uint64_t Json::id(uint64_t fallback) const
{
    // Doubles hold integers exactly up to 2^53, which is where Janus keeps its ids.
    if (!isNumber() || number_ < 0 || number_ > 9007199254740992.0 ||
        std::floor(number_) != number_)
        return fallback;
    return uint64_t(number_);
}

Json &Json::set(const std::string &key, Json value)
{
    if (type_ != Type::Object) {
        *this = Json(Type::Object);
    }
    for (auto m = members_.rbegin(); m != members_.rend(); ++m) {
        if (m->first == key) {
            m->second = std::move(value);
            return *this;
        }
    }
    members_.emplace_back(key, std::move(value));
    return *this;
}

Json &Json::push(Json value)
{
    if (type_ != Type::Array)
        *this = Json(Type::Array);
    items_.push_back(std::move(value));
    return *this;
}

namespace {
void quote(std::string &out, const std::string &s)
{
    out += '"';
    for (const char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

std::string Json::dump() const
{
    std::string out;
    switch (type_) {
    case Type::Null:
        return "null";
    case Type::Bool:
        return bool_ ? "true" : "false";
    case Type::Number: {
        char buf[40];
        if (std::floor(number_) == number_ && std::fabs(number_) < 9007199254740992.0) {
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(number_));
            return buf;
        }
        // The shortest text that reads back to the same double, with a decimal point whatever
        // the locale.
        return std::string(buf, std::to_chars(buf, buf + sizeof buf, number_).ptr);
    }
    case Type::String:
        quote(out, string_);
        return out;
    case Type::Array:
        out += '[';
        for (size_t i = 0; i < items_.size(); ++i) {
            if (i)
                out += ',';
            out += items_[i].dump();
        }
        out += ']';
        return out;
    case Type::Object:
        out += '{';
        for (size_t i = 0; i < members_.size(); ++i) {
            if (i)
                out += ',';
            quote(out, members_[i].first);
            out += ':';
            out += members_[i].second.dump();
        }
        out += '}';
        return out;
    }
    return out;
}

} // namespace brvav
