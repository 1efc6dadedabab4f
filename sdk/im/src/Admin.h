#pragma once

#include "Message.h"

#include <functional>
#include <string>
#include <vector>

namespace brvim {

extern const char *const adminUserId;

// What the "admin" account may look at to answer a request.
struct AdminView
{
    std::function<std::vector<Message>(const std::string &group)> history;
    std::function<std::vector<std::string>(const std::string &group)> members;
    // Publishes a JSON file and returns its URL.
    std::function<std::string(const std::string &name, const std::string &body)> publish;
};

// The answers of "admin" to one message sent to it (none for anything it does not handle).
std::vector<Message> adminAnswers(const Message &request, const AdminView &view);

} // namespace brvim
