-- User signatures as the only way in: an HS256 JSON Web Token {sub, exp[, app]} given as the SASL
-- PLAIN password. There is no account store; a user with a good signature exists. The session is
-- closed when its signature expires.
local jwt = require "util.jwt";
local new_sasl = require "util.sasl".new;
local timer = require "util.timer";

local host = module.host;
local key = module:get_option_string("brv_usersig_key");
assert(key and #key >= 16, "brv_usersig_key (16 characters or more) is required");

local function check(username, token)
	local ok, claims = jwt.verify(key, token);
	if not ok or type(claims) ~= "table" then return nil, "invalid"; end
	if claims.sub ~= username then return nil, "wrong-user"; end
	if type(claims.exp) ~= "number" or claims.exp <= os.time() then return nil, "expired"; end
	return true, claims;
end

local provider = {};
function provider.test_password(username, password) return (check(username, password)); end
function provider.user_exists() return true; end
function provider.users() return function() return nil; end; end
function provider.set_password() return nil, "Passwords are user signatures"; end
function provider.create_user() return nil, "Accounts are implicit"; end
function provider.delete_user() return nil, "Accounts are implicit"; end

local profile = {
	plain_test = function(sasl, username, password)
		local ok, claims = check(username, password);
		if not ok then return false, true; end
		sasl.brv_exp = claims.exp;
		return true, true;
	end;
};

function provider.get_sasl_handler()
	return new_sasl(host, profile);
end

module:hook("authentication-success", function(event)
	local session = event.session;
	local exp = session.sasl_handler and session.sasl_handler.brv_exp;
	if not exp then return; end
	timer.add_task(math.max(0, exp - os.time()), function()
		if session.type == "c2s" and not session.destroyed then
			session:close({ condition = "not-authorized", text = "user-signature-expired" });
		end
	end);
end);

module:provides("auth", provider);
