-- Groups: every group message gets the server's time (ms) and the room's next sequence number
-- before it is broadcast and archived; presences carry the room's current sequence so a joining
-- member knows where its share of the history starts. A member's nick must be its user id.
local st = require "util.stanza";
local jid = require "util.jid";
local time_now = require "util.time".now;
local NS = "urn:brimvale:im:1";

module:hook("muc-occupant-groupchat", function(event)
	local room, stanza = event.room, event.stanza;
	-- The number is saved with the room every 64 messages; after a restart it starts above anything
	-- handed out before, so it only ever grows.
	local seq = room._data.brv_seq or 0;
	if not room.brv_live then room.brv_live = true; if seq > 0 then seq = seq + 64; end end
	seq = seq + 1;
	room._data.brv_seq = seq;
	stanza:remove_children("srv", NS);
	stanza:tag("srv", { xmlns = NS, ts = string.format("%d", math.floor(time_now() * 1000)),
		seq = string.format("%d", seq) }):up();
	if seq % 64 == 0 and room.save then room:save(true); end
end, -10);

module:hook("muc-build-occupant-presence", function(event)
	local seq = event.room._data.brv_seq or 0;
	event.stanza:remove_children("srv", NS);
	event.stanza:tag("srv", { xmlns = NS, seq = string.format("%d", seq) }):up();
end);

module:hook("muc-occupant-pre-join", function(event)
	local node = jid.split(event.stanza.attr.from);
	local nick = select(3, jid.split(event.occupant.nick));
	if nick ~= node then
		event.origin.send(st.error_reply(event.stanza, "cancel", "not-acceptable",
			"nick must be the user id", event.room.jid));
		return true;
	end
end, 5);
