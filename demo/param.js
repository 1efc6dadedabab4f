// Decodes the page parameter the client puts into the URL fragment: percent-encoding, Base64,
// AES-256-ECB with PKCS#7 padding under the shared key, then JSON. The browser's own crypto does
// the AES; it offers no ECB mode, so each block is decrypted as a one-block CBC message with a
// zero IV, followed by a block that is crafted to carry valid padding.
(function () {
  'use strict';
  var KEY = '9f4e27b1c05d48a3b6e1d2c7a8f03b64';
  var ZERO_IV = new Uint8Array(16);

  function fromBase64(text) {
    var raw = atob(text);
    var bytes = new Uint8Array(raw.length);
    for (var i = 0; i < raw.length; ++i) bytes[i] = raw.charCodeAt(i);
    return bytes;
  }

  function paramFromHash(hash) {
    var q = hash.indexOf('?');
    if (q < 0) return null;
    var items = hash.substring(q + 1).split('&');
    for (var i = 0; i < items.length; ++i) {
      var eq = items[i].indexOf('=');
      if (eq > 0 && items[i].substring(0, eq) === 'param') return items[i].substring(eq + 1);
    }
    return null;
  }

  async function encryptBlock(key, block) {
    var out = await crypto.subtle.encrypt({ name: 'AES-CBC', iv: ZERO_IV }, key, block);
    return new Uint8Array(out, 0, 16);
  }

  async function decryptBlock(key, cipherBlock) {
    // D(C) = CBC-decrypt(C || E(pad XOR C)) with IV 0: the second block decrypts to a full block
    // of padding, which the browser strips.
    var pad = new Uint8Array(16).fill(16);
    var mixed = new Uint8Array(16);
    for (var i = 0; i < 16; ++i) mixed[i] = pad[i] ^ cipherBlock[i];
    var tail = await encryptBlock(key, mixed);
    var message = new Uint8Array(32);
    message.set(cipherBlock, 0);
    message.set(tail, 16);
    var plain = await crypto.subtle.decrypt({ name: 'AES-CBC', iv: ZERO_IV }, key, message);
    return new Uint8Array(plain);
  }

  async function decodeParam(encoded) {
    var cipher = fromBase64(decodeURIComponent(encoded));
    if (cipher.length === 0 || cipher.length % 16 !== 0) throw new Error('bad cipher length');
    var key = await crypto.subtle.importKey('raw', new TextEncoder().encode(KEY), 'AES-CBC',
                                            false, ['encrypt', 'decrypt']);
    var plain = new Uint8Array(cipher.length);
    for (var off = 0; off < cipher.length; off += 16) {
      plain.set(await decryptBlock(key, cipher.subarray(off, off + 16)), off);
    }
    var padding = plain[plain.length - 1];
    if (padding < 1 || padding > 16) throw new Error('bad padding');
    for (var j = plain.length - padding; j < plain.length; ++j) {
      if (plain[j] !== padding) throw new Error('bad padding');
    }
    return JSON.parse(new TextDecoder().decode(plain.subarray(0, plain.length - padding)));
  }

  window.brvParam = { paramFromHash: paramFromHash, decodeParam: decodeParam };
})();
