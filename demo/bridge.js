// The page side of the client bridge, as every page of the service uses it: take "bridge" from
// the WebChannel, listen to signalQtMsg, send with slotWebMsg, say "LoadFinished" when ready.
(function () {
  'use strict';
  var listeners = [];
  var state = {
    bridge: null,
    received: [],   // every native message, in arrival order: {func, param}
    sent: [],       // every message this page sent
    ready: false,
    param: null,
    paramText: '',
    paramError: '',
  };

  state.send = function (func, param) {
    var text = typeof param === 'string' ? param : JSON.stringify(param || {});
    state.sent.push({ func: func, param: text });
    if (state.bridge) state.bridge.slotWebMsg(func, text);
  };
  state.onMessage = function (fn) { listeners.push(fn); };

  // Resolves once the channel is up and "LoadFinished" has gone out.
  function connect() {
    return new Promise(function (resolve) {
      if (typeof qt === 'undefined' || !qt.webChannelTransport) {
        state.paramError = state.paramError || 'no web channel transport';
        resolve(false);
        return;
      }
      new QWebChannel(qt.webChannelTransport, function (channel) {
        state.bridge = channel.objects.bridge;
        state.bridge.signalQtMsg.connect(function (func, param) {
          var message = { func: func, param: param };
          state.received.push(message);
          listeners.forEach(function (fn) { fn(message); });
        });
        state.ready = true;
        state.send('LoadFinished', '');
        resolve(true);
      });
    });
  }

  state.start = async function () {
    var encoded = window.brvParam.paramFromHash(location.hash);
    if (encoded !== null) {
      state.paramText = encoded;
      try {
        state.param = await window.brvParam.decodeParam(encoded);
      } catch (e) {
        state.paramError = String(e);
      }
    }
    return connect();
  };

  window.brvDemo = state;
})();
