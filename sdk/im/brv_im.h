/*
 * brv_im.h: Brimvale IM SDK, C interface.
 *
 * Group and one-to-one messaging for the classroom client. Strings in and out are NUL-terminated
 * UTF-8; JSON texts use the keys listed below.
 *
 * Back ends. TIMInit picks one:
 *   - a server, when the init configuration's "brv_server" is set, or else when the environment
 *     variable BRV_IM_SERVER is set: an XMPP server (Prosody or ejabberd) addressed as
 *       xmpp://HOST:PORT/DOMAIN[?pin=sha256:HEX][&cafile=PATH][&muc=MUC_DOMAIN]
 *     ("pin" trusts the server certificate with that SHA-256 fingerprint, "cafile" trusts the
 *     certificates in that PEM file, neither means the system's trust store; "muc" defaults to
 *     "conference." followed by DOMAIN);
 *   - the embedded mode otherwise: no server, everything happens in this process (all SDK
 *     instances of the process share one set of users and groups), with the service account
 *     "admin" built in (below).
 *
 * Threads. The SDK runs its own thread. Every callback is called from that thread, never from
 * the caller's thread, and must not block. Every function may be called from any thread; calls
 * made from one thread are carried out in the order they were made. No callback is called after
 * the function that removes it (or TIMUninit) has returned, unless that function was called from
 * inside a callback of the SDK's thread, in which case no callback is called after the current one
 * returns. TIMUninit from inside a callback is refused with TIM_ERR_IN_CALLBACK.
 *
 * User signature (TIMLogin's user_sig): a JSON Web Token signed with HMAC-SHA256 whose claims are
 * "sub" (the user id), "app" (the app id given to TIMInit, a number), "iat" and "exp" (Unix
 * seconds). The server checks it (the embedded mode checks it against the demo key). A forged or
 * malformed signature fails the login with TIM_ERR_USERSIG_INVALID, an expired one with
 * TIM_ERR_USERSIG_EXPIRED. When a signed-in session's signature expires, the session ends and
 * the user-signature-expired callback is called.
 *
 * Message JSON (TIMMsgSendMessage's json_msg; the objects in the new-message callback's array):
 *   "message_conv_id"      string  group id, or the peer's user id for one-to-one messages
 *   "message_conv_type"    int     1 one-to-one, 2 group
 *   "message_sender"       string  sending user's id (set by the SDK on send)
 *   "message_client_time"  int     sender's time, passed through unchanged
 *   "message_server_time"  int     Unix seconds, set by the server on arrival
 *   "message_seq"          int     per conversation, increasing, set by the server, >= 1
 *   "message_rand"         int     random, 0 .. 2147483647
 *   "message_msg_id"       string  the id written into msg_id_buf on send
 *   "message_is_from_self" bool    true when the signed-in user sent it
 *   "message_elem_array"   array   elements, in order:
 *       {"elem_type": 0, "text_elem_content": string}                                   text
 *       {"elem_type": 3, "custom_elem_data": string, "custom_elem_desc": string,
 *        "custom_elem_ext": string}                                                     custom
 *     Element texts arrive byte for byte as they were sent. Other element types are refused.
 *   Size limit: the element texts of one message (all "text_elem_content", "custom_elem_data",
 *   "custom_elem_desc" and "custom_elem_ext" together) may hold at most TIM_MAX_MSG_BYTES bytes of
 *   UTF-8; a larger message is refused at once with TIM_ERR_MSG_TOO_LARGE.
 *   A message is delivered to every member of the group (or to the peer) except its sender.
 *
 * Result callback (TIMResultCb) "json": for TIMMsgSendMessage the message as sent, with its
 * "message_seq", "message_server_time", "message_rand" and "message_msg_id"; for TIMLogin
 * {"user_id": ...}; for group calls {"group_id": ...}; otherwise "".
 *
 * Group tips JSON (TIMSetGroupTipsEventCallback):
 *   {"group_tips_elem_group_id": string, "group_tips_elem_tip_type": int,
 *    "group_tips_elem_op_user": string, "group_tips_elem_user_array": [string...],
 *    "group_tips_elem_time": int (Unix seconds)}
 *   tip types: TIM_GROUP_TIP_JOIN (1) a member joined, TIM_GROUP_TIP_QUIT (2) a member left
 *   (op user = the member), TIM_GROUP_TIP_KICKED (3) members were removed (op user = who removed
 *   them, user array = the removed members). No tip is given about the signed-in user itself.
 *
 * The service account "admin" answers one-to-one custom messages whose "custom_elem_data" is a
 * JSON object with "command" "GetHistoryChatMsg", "GetHistoryBoardMsg" or "GetOnlineLiveUser",
 * "liveId" and "requestId". The answer is a one-to-one custom message from "admin" with the same
 * "custom_elem_desc" and the data {"command": "HistoryChatMsg" | "HistoryBoardMsg" |
 * "OnlineLiveUser", "liveId": ..., "requestId": ..., "fileUrl": URL}. URL is a loopback HTTP
 * address (http://127.0.0.1:PORT/...) containing the requestId, readable by plain HTTP GET and by
 * web pages of any origin (the reply allows cross-origin reads); it serves a JSON array:
 *   history: the group's custom messages of that kind ("ChatMsg" for chat, "BoardCommand" for
 *   the board), oldest first, each {"sender", "seq", "time", "desc", "data"};
 *   online users: the group's members now in it, each {"userId"}.
 */
#ifndef BRV_IM_H
#define BRV_IM_H

#include <stdint.h>

#if defined(_WIN32)
#define BRV_IM_API __declspec(dllexport)
#elif defined(__GNUC__)
#define BRV_IM_API __attribute__((visibility("default")))
#else
#define BRV_IM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Return and callback codes. Functions return TIM_SUCC when the request was accepted; its result
 * then arrives through the callback. A non-zero return means no callback will come. */
enum TIMResultCode {
    TIM_SUCC = 0,
    /* a required argument is null or empty, or the JSON is malformed or of the wrong shape */
    TIM_ERR_PARAM = 6017,
    /* TIMInit has not been called (or TIMUninit has) */
    TIM_ERR_NOT_INIT = 6013,
    /* the call needs a signed-in user */
    TIM_ERR_NOT_LOGGED_IN = 6014,
    /* TIMInit while already initialised, or TIMLogin while signed in or signing in */
    TIM_ERR_ALREADY = 6018,
    /* TIMUninit from inside a callback (it would wait for itself) */
    TIM_ERR_IN_CALLBACK = 6019,
    /* the connection to the server failed or was lost before the request was done */
    TIM_ERR_NETWORK = 6012,
    /* the request got no answer in time (30 s) */
    TIM_ERR_TIMEOUT = 6206,
    /* the "brv_server" address cannot be parsed */
    TIM_ERR_SERVER_ADDRESS = 6020,
    /* the user signature has expired */
    TIM_ERR_USERSIG_EXPIRED = 70001,
    /* the user signature is forged, malformed or for another user or app */
    TIM_ERR_USERSIG_INVALID = 70003,
    /* the signed-in user was signed out because it signed in elsewhere */
    TIM_ERR_KICKED = 70005,
    /* a members-only group refused a user who is not a member */
    TIM_ERR_GROUP_FORBIDDEN = 10004,
    /* the user is not a member of the group (quit or send without joining) */
    TIM_ERR_NOT_GROUP_MEMBER = 10007,
    /* the user is already a member of the group; counts as a successful join */
    TIM_ERR_ALREADY_MEMBER = 10013,
    /* the message's element texts exceed TIM_MAX_MSG_BYTES */
    TIM_ERR_MSG_TOO_LARGE = 80001,
    /* the server refused the message */
    TIM_ERR_MSG_REFUSED = 80002
};

/* The demo key: the embedded mode and the class servers started by class-servers.sh accept user
 * signatures signed with it ("class-servers.sh sign USER_ID [SECONDS]" prints one). Without an
 * "app" claim a signature is good for any app id. A deployment's servers use a key of their own. */
#define BRV_IM_DEMO_USERSIG_KEY "mGYwVhBQF5cpuoZpdHSV5ZNW7lgkpHwXcpDyPoH9"

/* The most bytes of UTF-8 that the element texts of one message may hold. */
#define TIM_MAX_MSG_BYTES 65536
/* msg_id_buf of TIMMsgSendMessage: this many bytes (with the NUL) are always enough. */
#define TIM_MSG_ID_BUF_SIZE 128

enum TIMConvType { TIM_CONV_C2C = 1, TIM_CONV_GROUP = 2 };
enum TIMElemType { TIM_ELEM_TEXT = 0, TIM_ELEM_CUSTOM = 3, TIM_ELEM_GROUP_TIPS = 5 };
enum TIMGroupTipType { TIM_GROUP_TIP_JOIN = 1, TIM_GROUP_TIP_QUIT = 2, TIM_GROUP_TIP_KICKED = 3 };

/* Network status (TIMNetworkCb "status"); "code" is TIM_SUCC or the TIM_ERR_* cause, "desc"
 * says it in words. Reported on every change of the connection: connecting on each attempt,
 * connected once signed in (again after every reconnection, when the SDK has rejoined the
 * groups), disconnected when the link is lost (the SDK then retries with a growing delay, from
 * 0.25 s to 8 s, until TIMLogout), failed when an attempt did not succeed. The embedded mode
 * reports connecting and connected on sign-in. */
enum TIMNetworkStatus {
    TIM_NET_CONNECTED = 0,
    TIM_NET_DISCONNECTED = 1,
    TIM_NET_CONNECTING = 2,
    TIM_NET_CONNECT_FAILED = 3
};

typedef void (*TIMResultCb)(int code, const char *desc, const char *json, const void *user_data);
typedef void (*TIMJsonCb)(const char *json, const void *user_data);
typedef void (*TIMProgressCb)(const char *json, unsigned index, unsigned current, unsigned total,
                              const void *user_data);
typedef void (*TIMNetworkCb)(int status, int code, const char *desc, const void *user_data);
typedef void (*TIMEventCb)(const void *user_data);

/* Starts the SDK. json_config (may be null or empty): {"sdk_config_log_file_path": dir,
 * "sdk_config_config_file_path": dir, "brv_server": address}; the SDK writes its log file
 * "brv_im.log" into the log folder when it is given. Returns TIM_SUCC, TIM_ERR_ALREADY,
 * TIM_ERR_PARAM (bad JSON) or TIM_ERR_SERVER_ADDRESS. */
BRV_IM_API int TIMInit(uint64_t sdk_app_id, const char *json_config);
/* Stops the SDK: signs out, stops its thread, forgets every callback. Returns TIM_SUCC,
 * TIM_ERR_NOT_INIT or TIM_ERR_IN_CALLBACK. */
BRV_IM_API int TIMUninit(void);
/* The SDK's version text; valid until the process ends. */
BRV_IM_API const char *TIMGetSDKVersion(void);

/* Signs in. Callback codes: TIM_SUCC, TIM_ERR_USERSIG_EXPIRED, TIM_ERR_USERSIG_INVALID,
 * TIM_ERR_NETWORK, TIM_ERR_TIMEOUT. Returns TIM_SUCC, TIM_ERR_NOT_INIT, TIM_ERR_PARAM or
 * TIM_ERR_ALREADY. A user who signs in while signed in elsewhere ends the other session, which
 * gets the kicked-offline callback. */
BRV_IM_API int TIMLogin(const char *user_id, const char *user_sig, TIMResultCb cb,
                        const void *user_data);
/* Signs out (leaving the groups). Callback code TIM_SUCC. Returns TIM_SUCC, TIM_ERR_NOT_INIT or
 * TIM_ERR_NOT_LOGGED_IN. */
BRV_IM_API int TIMLogout(TIMResultCb cb, const void *user_data);

/* Joins a group (created on first join); hello may be null. Callback codes: TIM_SUCC,
 * TIM_ERR_ALREADY_MEMBER, TIM_ERR_GROUP_FORBIDDEN, TIM_ERR_NETWORK, TIM_ERR_TIMEOUT. Returns
 * TIM_SUCC, TIM_ERR_NOT_INIT, TIM_ERR_PARAM or TIM_ERR_NOT_LOGGED_IN. */
BRV_IM_API int TIMGroupJoin(const char *group_id, const char *hello, TIMResultCb cb,
                            const void *user_data);
/* Leaves a group. Callback codes: TIM_SUCC, TIM_ERR_NOT_GROUP_MEMBER. Returns as TIMGroupJoin. */
BRV_IM_API int TIMGroupQuit(const char *group_id, TIMResultCb cb, const void *user_data);

/* Sends a message to a group (conv_type 2) or a user (conv_type 1). msg_id_buf, when not null,
 * receives the message's id at once (at most TIM_MSG_ID_BUF_SIZE bytes with the NUL). Messages are
 * kept until the server confirms them and sent again after a reconnection, so none is lost or
 * doubled. Callback codes: TIM_SUCC, TIM_ERR_NOT_GROUP_MEMBER, TIM_ERR_MSG_REFUSED,
 * TIM_ERR_NETWORK (signed out before the server confirmed it). Returns TIM_SUCC, TIM_ERR_NOT_INIT,
 * TIM_ERR_PARAM, TIM_ERR_NOT_LOGGED_IN or TIM_ERR_MSG_TOO_LARGE. */
BRV_IM_API int TIMMsgSendMessage(const char *conv_id, int conv_type, const char *json_msg,
                                 char *msg_id_buf, TIMResultCb cb, const void *user_data);
/* Marks a conversation ("c2c_" + user id or "group_" + group id) as read up to the given server
 * time and sequence. Callback code TIM_SUCC. Returns TIM_SUCC, TIM_ERR_NOT_INIT, TIM_ERR_PARAM
 * (no known prefix) or TIM_ERR_NOT_LOGGED_IN. */
BRV_IM_API int TIMConvCleanConversationUnreadMessageCount(const char *conv_id, uint64_t timestamp,
                                                          uint64_t sequence, TIMResultCb cb,
                                                          const void *user_data);

/* New messages: a JSON array of message objects, in the order of arrival. Several callbacks may
 * be added; adding one that is already there replaces its user data. */
BRV_IM_API void TIMAddRecvNewMsgCallback(TIMJsonCb cb, const void *user_data);
BRV_IM_API void TIMRemoveRecvNewMsgCallback(TIMJsonCb cb);

/* Event callbacks: one of each; a null cb removes it. */
BRV_IM_API void TIMSetGroupTipsEventCallback(TIMJsonCb cb, const void *user_data);
/* Message updates, read receipts and revocations: this SDK never raises them; kept for callers
 * written against the full interface. */
BRV_IM_API void TIMSetMsgUpdateCallback(TIMJsonCb cb, const void *user_data);
BRV_IM_API void TIMSetMsgReadedReceiptCallback(TIMJsonCb cb, const void *user_data);
BRV_IM_API void TIMSetMsgRevokeCallback(TIMJsonCb cb, const void *user_data);
/* Upload progress of file elements: never raised (no file elements). */
BRV_IM_API void TIMSetMsgElemUploadProgressCallback(TIMProgressCb cb, const void *user_data);
BRV_IM_API void TIMSetNetworkStatusListenerCallback(TIMNetworkCb cb, const void *user_data);
/* The same user signed in elsewhere; this session has been signed out. */
BRV_IM_API void TIMSetKickedOfflineCallback(TIMEventCb cb, const void *user_data);
/* The user signature expired; this session has been signed out. */
BRV_IM_API void TIMSetUserSigExpiredCallback(TIMEventCb cb, const void *user_data);

#ifdef __cplusplus
}
#endif

#endif /* BRV_IM_H */
