#pragma once

#include <cstdint>
#include <string>

namespace brvim {

// User signatures: JSON Web Tokens signed with HMAC-SHA256, claims "sub", "app" (optional),
// "iat", "exp".
struct UserSigClaims
{
    std::string sub;
    int64_t exp = 0;
    int64_t app = -1; // -1: no "app" claim
};

// 0 when the token is well formed and its signature is good; TIM_ERR_USERSIG_INVALID otherwise.
// Expiry is not judged here; the claims are filled in either way when they can be read.
int checkUserSig(const std::string &token, const std::string &key, UserSigClaims &claims);
// The whole judgement of a login: signature, user, app and expiry.
int judgeUserSig(const std::string &token, const std::string &key, const std::string &user,
                 uint64_t appId, int64_t now, UserSigClaims &claims);
// Reads the claims without checking the signature (the server mode tells an expired token from a
// forged one this way after the server refused it).
bool readUserSigClaims(const std::string &token, UserSigClaims &claims);
std::string signUserSig(const std::string &user, int64_t seconds, const std::string &key,
                        int64_t now, int64_t app = -1);

// The key the embedded mode accepts (the demo key of the class servers).
const std::string &demoUserSigKey();

} // namespace brvim
