-- The classroom's host rules: one session per user (a new sign-in closes the others), server time
-- and sequence on one-to-one messages with a receipt to the sender, and the service account
-- "admin" that answers history and online-user requests with a loopback HTTP file.
local st = require "util.stanza";
local json = require "util.json";
local base64 = require "util.encodings".base64;
local jid_split, jid_bare = require "util.jid".split, require "util.jid".bare;
local time_now = require "util.time".now;
local uuid = require "util.uuid".generate;
local storagemanager = require "core.storagemanager";

local NS = "urn:brimvale:im:1";
local host = module.host;
local admin_jid = "admin@" .. host;
local muc_host = module:get_option_string("brv_muc_host", "conference." .. host);

-- One session per user.
module:hook("resource-bind", function(event)
	local session = event.session;
	local user = prosody.hosts[host].sessions[session.username];
	if not user then return; end
	for _, other in pairs(user.sessions) do
		if other ~= session then
			other:close({ condition = "conflict", text = "signed in elsewhere" });
		end
	end
end);

-- One-to-one messages: the server's stamp, and a receipt so the sender may forget its copy.
local pair_seq = module:open_store("brv_pair_seq", "keyval");
local pair_cache = {};
local function next_pair_seq(a, b)
	local key = a < b and (a .. " " .. b) or (b .. " " .. a);
	local seq = pair_cache[key];
	if not seq then
		local stored = pair_seq:get(nil) or {};
		seq = (stored[key] or 0) + 64;
	end
	seq = seq + 1;
	pair_cache[key] = seq;
	if seq % 64 == 0 then
		local stored = pair_seq:get(nil) or {};
		stored[key] = seq;
		pair_seq:set(nil, stored);
	end
	return seq;
end

local function stamp(stanza)
	local ts = string.format("%d", math.floor(time_now() * 1000));
	local seq = string.format("%d", next_pair_seq(jid_bare(stanza.attr.from), jid_bare(stanza.attr.to)));
	stanza:remove_children("srv", NS);
	stanza:tag("srv", { xmlns = NS, ts = ts, seq = seq }):up();
	return ts, seq;
end

local function elements(stanza)
	local brv = stanza:get_child("brv", NS);
	local out = {};
	if not brv then return out, nil; end
	for e in brv:childtags("e") do
		out[#out + 1] = { t = tonumber(e.attr.t), d = base64.decode(e.attr.d or "") or "",
			data = base64.decode(e:get_text() or "") or "" };
	end
	return out, brv;
end

local function answer(from, desc, data)
	local id = uuid();
	local m = st.message({ from = admin_jid, to = from, type = "chat", id = id })
		:tag("brv", { xmlns = NS, id = "admin-" .. id, rand = tostring(math.random(0, 2147483647)),
			ct = string.format("%d", os.time()) })
		:tag("e", { t = "3", d = base64.encode(desc) }):text(base64.encode(json.encode(data))):up()
		:up();
	stamp(m);
	module:send(m);
end

-- Files for the admin's answers, in memory; the newest few hundred are kept.
local files, order = {}, {};
local function publish(name, body)
	local path = uuid() .. "/" .. name:gsub("[^%w%-_%.]", "_");
	files[path] = body;
	order[#order + 1] = path;
	if #order > 256 then files[table.remove(order, 1)] = nil; end
	return module:http_url("brv-files") .. "/" .. path;
end

local function room_of(node)
	local muc = prosody.hosts[muc_host] and prosody.hosts[muc_host].modules.muc;
	return muc and muc.get_room_from_jid(node .. "@" .. muc_host);
end

local function history(node, kind)
	local archive = storagemanager.open(muc_host, "muc_log", "archive");
	local out = {};
	local items = archive and archive:find(node, { limit = 5000 });
	if not items then return out; end
	for _, item in items do
		local brv = item:get_child("brv", NS);
		local srv = item:get_child("srv", NS);
		if brv then
			local sender = select(3, jid_split(item.attr.from));
			for _, e in ipairs((elements(item))) do
				if e.t == 3 and e.d == kind then
					out[#out + 1] = { sender = sender, seq = srv and tonumber(srv.attr.seq) or 0,
						time = srv and math.floor((tonumber(srv.attr.ts) or 0) / 1000) or 0,
						desc = e.d, data = e.data };
				end
			end
		end
	end
	return out;
end

local commands = {
	GetHistoryChatMsg = { "HistoryChatMsg", "chat-", function(live) return history(live, "ChatMsg"); end };
	GetHistoryBoardMsg = { "HistoryBoardMsg", "board-", function(live) return history(live, "BoardCommand"); end };
	GetOnlineLiveUser = { "OnlineLiveUser", "online-", function(live)
		local users, room = {}, room_of(live);
		if room then
			for _, occupant in room:each_occupant() do
				users[#users + 1] = { userId = (jid_split(occupant.bare_jid)) };
			end
		end
		return users;
	end };
};

module:hook("pre-message/bare", function(event)
	local stanza = event.stanza;
	if stanza.attr.type ~= "chat" or not stanza:get_child("brv", NS) then return; end
	local ts, seq = stamp(stanza);
	local brv = stanza:get_child("brv", NS);
	event.origin.send(st.message({ from = host, to = stanza.attr.from, type = "headline" })
		:tag("ack", { xmlns = NS, id = brv.attr.id or "", ts = ts, seq = seq }):up());
	if jid_bare(stanza.attr.to) ~= admin_jid then return; end
	for _, e in ipairs((elements(stanza))) do
		local req = e.t == 3 and json.decode(e.data);
		local cmd = type(req) == "table" and commands[req.command];
		if cmd then
			local live, request_id = tostring(req.liveId or ""), tostring(req.requestId or "");
			local body = json.encode(cmd[3](live));
			answer(stanza.attr.from, e.d, { command = cmd[1], liveId = live, requestId = request_id,
				fileUrl = publish(cmd[2] .. request_id .. ".json", body) });
		end
	end
	return true;
end, 5);

module:depends("http");
module:provides("http", {
	name = "brv-files";
	route = {
		["GET /*"] = function(event, path)
			local body = files[path];
			event.response.headers.access_control_allow_origin = "*";
			event.response.headers.cache_control = "no-store";
			if not body then return 404; end
			event.response.headers.content_type = "application/json; charset=utf-8";
			return body;
		end;
	};
});
