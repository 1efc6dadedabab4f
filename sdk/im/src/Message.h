#pragma once

#include <QJsonObject>
#include <cstdint>
#include <string>
#include <vector>

namespace brvim {

// One element of a message: text (type 0) or custom (type 3).
struct Element
{
    int type = 3;
    std::string text; // text content, or custom data
    std::string desc;
    std::string ext;
};

struct Message
{
    int convType = 0;   // 1 one-to-one, 2 group
    std::string target; // group id, or the receiving user's id
    std::string sender;
    std::string msgId;
    int64_t clientTime = 0;
    int64_t serverTime = 0; // Unix seconds
    int64_t seq = 0;
    int64_t rand = 0;
    std::vector<Element> elems;

    // Bytes of element text the size limit counts.
    size_t payloadBytes() const;
    // The message as one user sees it: the conversation is the group or the other party.
    QJsonObject toJson(const std::string &self) const;
};

// Reads the caller's message JSON; returns 0 or a TIM_ERR_* code.
int parseOutgoing(const char *json, Message &out);
std::string newMessageId();
int64_t newRand();
int64_t nowSeconds();
int64_t nowMillis();
std::string compact(const QJsonObject &o);

// Base64 helpers for the wire format (standard alphabet, padded).
std::string toBase64(const std::string &bytes);
bool fromBase64(const std::string &text, std::string &bytes);

} // namespace brvim
