#include "XmppWire.h"

#include "brv_im.h"

#include <cstdlib>
#include <cstring>

namespace brvim {

const char *const wireNs = "urn:brimvale:im:1";

namespace {

const char *attr(xmpp_stanza_t *s, const char *name)
{
    const char *v = s ? xmpp_stanza_get_attribute(s, name) : nullptr;
    return v ? v : "";
}

bool toInt64(const char *text, int64_t &out)
{
    if (!text || !*text)
        return false;
    char *end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (errno || *end || v < 0)
        return false;
    out = v;
    return true;
}

std::string textOf(xmpp_ctx_t *ctx, xmpp_stanza_t *s)
{
    char *t = xmpp_stanza_get_text(s);
    std::string out = t ? t : "";
    if (t)
        xmpp_free(ctx, t);
    return out;
}

// "node@domain/resource" split without allocations of libstrophe.
void splitJid(const std::string &jid, std::string &node, std::string &domain, std::string &res)
{
    const size_t slash = jid.find('/');
    const std::string bare = jid.substr(0, slash);
    res = slash == std::string::npos ? "" : jid.substr(slash + 1);
    const size_t at = bare.find('@');
    node = at == std::string::npos ? "" : bare.substr(0, at);
    domain = at == std::string::npos ? bare : bare.substr(at + 1);
}

bool readElements(xmpp_ctx_t *ctx, xmpp_stanza_t *brv, Message &msg)
{
    size_t total = 0;
    for (xmpp_stanza_t *e = xmpp_stanza_get_children(brv); e; e = xmpp_stanza_get_next(e)) {
        if (!xmpp_stanza_is_tag(e) || std::strcmp(xmpp_stanza_get_name(e), "e") != 0)
            continue;
        Element el;
        int64_t type = -1;
        if (!toInt64(attr(e, "t"), type) || (type != TIM_ELEM_TEXT && type != TIM_ELEM_CUSTOM))
            return false;
        el.type = int(type);
        if (!fromBase64(textOf(ctx, e), el.text) || !fromBase64(attr(e, "d"), el.desc) ||
            !fromBase64(attr(e, "x"), el.ext))
            return false;
        total += el.text.size() + el.desc.size() + el.ext.size();
        // A server may relay more than our own limit; we still refuse to carry giants around.
        if (total > 4 * TIM_MAX_MSG_BYTES)
            return false;
        msg.elems.push_back(std::move(el));
    }
    return !msg.elems.empty();
}

} // namespace

std::string xmlEscape(const std::string &s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string encodeMessageStanza(const Message &msg, const std::string &to)
{
    std::string x = "<message type='";
    x += msg.convType == TIM_CONV_GROUP ? "groupchat" : "chat";
    x += "' to='" + xmlEscape(to) + "' id='" + xmlEscape(msg.msgId) + "'><brv xmlns='" + wireNs +
         "' id='" + xmlEscape(msg.msgId) + "' rand='" + std::to_string(msg.rand) + "' ct='" +
         std::to_string(msg.clientTime) + "'>";
    for (const Element &e : msg.elems) {
        x += "<e t='" + std::to_string(e.type) + "'";
        if (!e.desc.empty())
            x += " d='" + toBase64(e.desc) + "'";
        if (!e.ext.empty())
            x += " x='" + toBase64(e.ext) + "'";
        x += ">" + toBase64(e.text) + "</e>";
    }
    x += "</brv><store xmlns='urn:xmpp:hints'/></message>";
    return x;
}

WireMessage decodeMessageStanza(xmpp_ctx_t *ctx, xmpp_stanza_t *stanza,
                                const std::string &mucDomain)
{
    WireMessage w;
    if (!stanza || !xmpp_stanza_is_tag(stanza) ||
        std::strcmp(xmpp_stanza_get_name(stanza), "message") != 0)
        return w;
    const std::string type = attr(stanza, "type");
    std::string node, domain, res;
    splitJid(attr(stanza, "from"), node, domain, res);

    if (xmpp_stanza_t *ack = xmpp_stanza_get_child_by_name_and_ns(stanza, "ack", wireNs)) {
        // Receipts come from the server itself, never from a user.
        if (!node.empty() || type != "headline")
            return w;
        w.msg.msgId = attr(ack, "id");
        int64_t ts = 0, seq = 0;
        if (w.msg.msgId.empty() || !toInt64(attr(ack, "ts"), ts) || !toInt64(attr(ack, "seq"), seq))
            return w;
        w.msg.serverTime = ts / 1000;
        w.msg.seq = seq;
        w.kind = WireKind::Ack;
        return w;
    }

    xmpp_stanza_t *brv = xmpp_stanza_get_child_by_name_and_ns(stanza, "brv", wireNs);
    xmpp_stanza_t *srv = xmpp_stanza_get_child_by_name_and_ns(stanza, "srv", wireNs);
    if (!brv || !srv)
        return w;
    Message &m = w.msg;
    m.msgId = attr(brv, "id");
    int64_t ts = 0;
    if (m.msgId.empty() || m.msgId.size() > 128 || !toInt64(attr(srv, "ts"), ts) ||
        !toInt64(attr(srv, "seq"), m.seq) || !toInt64(attr(brv, "rand"), m.rand))
        return w;
    m.serverTime = ts / 1000;
    m.rand &= 0x7fffffff;
    if (!toInt64(attr(brv, "ct"), m.clientTime))
        m.clientTime = 0;
    if (!readElements(ctx, brv, m))
        return w;
    if (type == "groupchat") {
        if (domain != mucDomain || node.empty() || res.empty())
            return w;
        m.convType = TIM_CONV_GROUP;
        m.target = node;
        m.sender = res;
        w.room = node;
        w.kind = WireKind::Group;
    } else if (type == "chat") {
        if (node.empty())
            return w;
        m.convType = TIM_CONV_C2C;
        m.sender = node;
        w.kind = WireKind::Direct;
    }
    return w;
}

} // namespace brvim
