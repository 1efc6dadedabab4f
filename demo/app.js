// The demo service's pages. The router reads the route from the fragment, as the service's web
// application does: #/src/pages/<route>?param=<encoded>.
(function () {
  'use strict';
  var demo;
  var TEXTS = {
    'en': {
      home: 'Brimvale demo', live: 'Live class (demo)', overlay: 'Live overlay (demo)',
      missing: 'Page not found', signIn: 'Sign in', userId: 'User id', nickname: 'Nickname',
      autoLog: 'Report logs automatically', signInBtn: 'Sign in as demo user',
      look: 'Appearance', theme: 'Theme', lang: 'Language', classes: 'Classes', liveId: 'Live id',
      student: 'Join as student', teacher: 'Teach (device test first)', deviceTest: 'Device test',
      logs: 'Client logs', pack: 'Pack client logs', uploadOk: 'Report upload success',
      uploadFail: 'Report upload failure', client: 'Client', browser: 'Open website',
      upgrade: 'Upgrade now', exit: 'Exit', env: 'Client environment', param: 'Page parameter',
      received: 'Messages from the client', none: 'nothing yet', signedIn: 'Stored for ',
      archive: 'Archive received: %1 bytes (showTip %2)', noArchive: 'No archive (showTip %1)',
      foreign: 'Open a page of another site (the client ignores its bridge calls)',
    },
    'zh-CN': {
      home: 'Brimvale 演示', live: '直播课堂（演示）', overlay: '直播浮层（演示）',
      missing: '页面不存在', signIn: '登录', userId: '用户 ID', nickname: '昵称',
      autoLog: '自动上报日志', signInBtn: '以演示用户登录', look: '外观', theme: '主题',
      lang: '语言', classes: '课堂', liveId: '直播 ID', student: '以学生身份进入',
      teacher: '授课（先检测设备）', deviceTest: '设备检测', logs: '客户端日志',
      pack: '打包客户端日志', uploadOk: '上报成功', uploadFail: '上报失败', client: '客户端',
      browser: '打开网站', upgrade: '立即升级', exit: '退出', env: '客户端环境',
      param: '页面参数', received: '客户端发来的消息', none: '暂无', signedIn: '已保存：',
      archive: '已收到日志包：%1 字节（showTip %2）', noArchive: '没有日志包（showTip %1）',
      foreign: '打开其他网站的页面（客户端不理会它的桥接调用）',
    },
    'zh-TW': {
      home: 'Brimvale 示範', live: '直播課堂（示範）', overlay: '直播浮層（示範）',
      missing: '頁面不存在', signIn: '登入', userId: '使用者 ID', nickname: '暱稱',
      autoLog: '自動上報日誌', signInBtn: '以示範使用者登入', look: '外觀', theme: '主題',
      lang: '語言', classes: '課堂', liveId: '直播 ID', student: '以學生身分進入',
      teacher: '授課（先檢測裝置）', deviceTest: '裝置檢測', logs: '用戶端日誌',
      pack: '打包用戶端日誌', uploadOk: '上報成功', uploadFail: '上報失敗', client: '用戶端',
      browser: '開啟網站', upgrade: '立即升級', exit: '結束', env: '用戶端環境',
      param: '頁面參數', received: '用戶端傳來的訊息', none: '暫無', signedIn: '已儲存：',
      archive: '已收到日誌包：%1 位元組（showTip %2）', noArchive: '沒有日誌包（showTip %1）',
      foreign: '開啟其他網站的頁面（用戶端不理會它的橋接呼叫）',
    },
  };
  var THEMES = ['light', 'dark', 'blue', 'green', 'orange', 'pink', 'purple', 'red', 'yellow'];
  var LANGS = ['zh-CN', 'zh-TW', 'en', 'es', 'ja', 'ko', 'vi', 'ar', 'fr', 'id', 'ru', 'pt'];
  var page = { route: '', lang: 'en', theme: 'light', env: null, archive: '', signedIn: '' };

  function t(key) {
    var table = TEXTS[page.lang] || TEXTS.en;
    return table[key] || TEXTS.en[key] || key;
  }

  // One element with its attributes, listeners ("on…") and children; shared with the class page.
  var el = window.brvLive.el;

  function routeOf(hash) {
    var path = hash.replace(/^#/, '');
    var q = path.indexOf('?');
    if (q >= 0) path = path.substring(0, q);
    return path.replace(/^\/src\/pages/, '');
  }

  // The client serves its theme files as scripts that hand the colours to brvApplyTheme.
  window.brvApplyTheme = function (c) {
    var set = function (v, k) {
      if (/^#[0-9a-fA-F]{6}$/.test(c[k] || '')) document.documentElement.style.setProperty(v, c[k]);
    };
    set('--bg', 'bgColor'); set('--panel', 'panelBgColor'); set('--dialog', 'dialogBgColor');
    set('--text', 'textColor'); set('--soft', 'textColorSoft'); set('--disable', 'textColorDisable');
    set('--theme', 'themeColor'); set('--border', 'borderColor'); set('--error', 'errorColor');
    set('--success', 'successColor');
  };

  function applyTheme(name) {
    if (!/^[a-z]+$/.test(name || '')) return;
    page.theme = name;
    var script = document.createElement('script');
    script.src = '/theme/' + name + '.js';
    script.onload = script.onerror = function () { script.remove(); };
    document.head.appendChild(script);
  }

  function table(obj) {
    var rows = Object.keys(obj || {}).map(function (k) {
      var v = obj[k];
      return el('tr', {}, [el('td', { class: 'k', text: k }),
                           el('td', { text: typeof v === 'string' ? v : JSON.stringify(v) })]);
    });
    if (rows.length === 0) return el('div', { class: 'status', text: t('none') });
    return el('table', {}, rows);
  }

  function short(text) {
    return text.length > 160 ? text.substring(0, 160) + '… (' + text.length + ')' : text;
  }

  function messagesSection() {
    var list = el('div', { id: 'messages' });
    demo.received.slice().reverse().forEach(function (m) {
      list.appendChild(el('div', { class: 'msg' }, [el('b', { text: m.func }),
                                                     el('code', { text: short(m.param) })]));
    });
    if (demo.received.length === 0) list.appendChild(el('div', { class: 'status', text: t('none') }));
    return el('section', { class: 'wide' }, [el('h2', { text: t('received') }), list]);
  }

  function paramSection() {
    var body = demo.paramError ? el('div', { class: 'error', id: 'param-error', text: demo.paramError })
                               : table(demo.param);
    return el('section', { id: 'param' }, [el('h2', { text: t('param') }), body]);
  }

  function button(text, id, handler, plain) {
    return el('button', { class: 'act' + (plain ? ' plain' : ''), id: id, text: text, onclick: handler });
  }

  function field(labelText, input) {
    return el('div', { class: 'row' }, [el('label', { text: labelText }), input]);
  }

  function select(id, values, current, onchange) {
    var s = el('select', { id: id, onchange: function () { onchange(s.value); } },
               values.map(function (v) { return el('option', { value: v, text: v }); }));
    s.value = current;
    return s;
  }

  function signInAs(id, name, autoReport) {
    demo.send('SetUserData', {
      token: 'demo-token-' + id, loginLogId: 'demo-login-' + Date.now(),
      userInfo: { userId: id, nickname: name, trueName: name, autoReportLog: autoReport ? 1 : 0 },
      location: { country: 'China', province: 'Zhejiang', city: 'Hangzhou', ip: '127.0.0.1' },
      deviceTestOption: { sdkAppId: 1400000001, userSig: 'demo-signature-' + id },
    });
    page.signedIn = id;
    // The class pages know the user as the service's pages would, from the session.
    try {
      localStorage.setItem('brv-demo-user', JSON.stringify({ userId: id, nickname: name }));
    } catch (e) { /* the class then seats a demo student */ }
  }

  // A client started for a demo class (BRV_DEMO_USER) signs itself in and opens its class once.
  function startSession() {
    var session = window.brvDemoSession;
    if (!session || !session.userId || sessionStorage.getItem('brv-demo-session-done') === '1') return;
    sessionStorage.setItem('brv-demo-session-done', '1');
    signInAs(session.userId, session.nickname || session.userId, false);
    if (session.liveId && session.userType) {
      demo.send('OpenLive', { liveId: session.liveId, userType: session.userType });
    }
  }

  function homeView() {
    var session = window.brvDemoSession || {};
    var userId = el('input', { id: 'user-id', value: session.userId || 'demo-teacher-01' });
    var nickname = el('input', { id: 'nickname', value: session.nickname || 'Demo Teacher' });
    var autoLog = el('input', { id: 'auto-log', type: 'checkbox' });
    var liveId = el('input', { id: 'live-id', value: 'demo-live-1001' });
    var signIn = function () {
      signInAs(userId.value, nickname.value, autoLog.checked);
      render();
    };
    var archive = page.archive ? el('div', { class: 'status', id: 'archive', text: page.archive }) : null;
    var signedIn = page.signedIn ? el('div', { class: 'status ok', text: t('signedIn') + page.signedIn }) : null;
    return [
      el('section', {}, [el('h2', { text: t('signIn') }), field(t('userId'), userId),
        field(t('nickname'), nickname),
        el('div', { class: 'row' }, [autoLog, el('span', { text: t('autoLog') })]),
        el('div', { class: 'row' }, [button(t('signInBtn'), 'sign-in', signIn)]), signedIn]),
      el('section', {}, [el('h2', { text: t('look') }),
        field(t('theme'), select('theme', THEMES, page.theme, function (v) {
          demo.send('ChangeTheme', { theme: v }); applyTheme(v); })),
        field(t('lang'), select('lang', LANGS, page.lang, function (v) {
          demo.send('ChangeLang', { lang: v }); page.lang = v; render(); }))]),
      el('section', {}, [el('h2', { text: t('classes') }), field(t('liveId'), liveId),
        el('div', { class: 'row' }, [
          button(t('student'), 'open-student', function () { demo.send('OpenLive', { liveId: liveId.value, userType: 'Student' }); }),
          button(t('teacher'), 'open-teacher', function () { demo.send('OpenLive', { liveId: liveId.value, userType: 'Teacher' }); }),
          button(t('deviceTest'), 'device-test', function () { demo.send('DeviceTest', ''); }, true)])]),
      el('section', {}, [el('h2', { text: t('logs') }),
        el('div', { class: 'row' }, [
          button(t('pack'), 'pack-logs', function () { demo.send('GetClientLogPath', ''); }),
          button(t('uploadOk'), 'upload-ok', function () { demo.send('ClientLogUploadFinished', { success: true }); }, true),
          button(t('uploadFail'), 'upload-fail', function () { demo.send('ClientLogUploadFinished', { success: false }); }, true)]),
        archive]),
      el('section', {}, [el('h2', { text: t('client') }),
        el('div', { class: 'row' }, [
          button(t('browser'), 'open-browser', function () { demo.send('OpenBrowserUrl', { url: 'https://www.debian.org/' }); }, true),
          button(t('upgrade'), 'upgrade', function () {
            demo.send('UpgradeNow', { appCode: 'brimvale', version: '4.0.22', versionNo: 2026120901,
              fullVersionUrl: 'https://downloads.brimvale.invalid/brimvale-4.0.22-full.zip',
              upgradeUrl: 'https://downloads.brimvale.invalid/brimvale-4.0.22.zip',
              limitUpgradeVersionNo: 2026010101, forceUpgrade: 0 }); }, true),
          button(t('exit'), 'exit-app', function () { demo.send('ExitApp', ''); })]),
        el('div', { class: 'row' }, [el('a', { id: 'foreign-link', href: 'brimvale-demo://elsewhere/foreign.html',
                                               text: t('foreign') })])]),
      el('section', { id: 'env' }, [el('h2', { text: t('env') }), table(page.env)]),
      paramSection(),
      messagesSection(),
    ];
  }

  function plainView() {
    return [paramSection(), messagesSection()];
  }

  function render() {
    var views = {
      '/qt/start/index': { title: 'home', body: homeView },
      '/qt/live/index': { title: 'live', body: plainView },
      '/qt/live/overlay/index': { title: 'overlay', body: plainView },
    };
    var view = views[page.route] || { title: 'missing', body: plainView };
    document.getElementById('title').textContent = t(view.title) + '  ' + page.route;
    document.documentElement.lang = page.lang;
    document.documentElement.dir = page.lang === 'ar' ? 'rtl' : 'ltr';
    var main = document.getElementById('view');
    main.textContent = '';
    view.body().forEach(function (n) { main.appendChild(n); });
  }

  function showMaximized(max) {
    document.getElementById('win-max').hidden = max;
    document.getElementById('win-restore').hidden = !max;
  }

  function onMessage(m) {
    if (m.func === 'SetQtEnv') {
      try { page.env = JSON.parse(m.param); } catch (e) { page.env = { error: String(e) }; }
      // The device description is a JSON text of its own; show the parts a person reads.
      try {
        var device = JSON.parse(page.env.deviceInfo || '{}');
        page.env.deviceInfo = [device.os, device.osVersion, device.cpuInfo, device.totalMemory,
                               device.screen].filter(Boolean).join(' · ');
      } catch (e) { /* shown as sent */ }
      if (page.env.lang) page.lang = page.env.lang;
      if (page.env.theme) applyTheme(page.env.theme);
    } else if (m.func === 'IsMax') {
      showMaximized(m.param === '1');
    } else if (m.func === 'UploadClientLog') {
      var upload = {};
      try { upload = JSON.parse(m.param); } catch (e) { upload = {}; }
      var data = upload.dataUrl || '';
      var comma = data.indexOf(',');
      if (comma >= 0) {
        var size = atob(data.substring(comma + 1)).length;
        page.archive = t('archive').replace('%1', size).replace('%2', upload.showTip);
      } else {
        page.archive = t('noArchive').replace('%1', upload.showTip);
      }
    }
    render();
  }

  function wireTitleBar() {
    var command = function (id, func, after) {
      document.getElementById(id).addEventListener('click', function () { demo.send(func, ''); if (after) after(); });
    };
    command('win-min', 'min');
    command('win-max', 'max', function () { showMaximized(true); });
    command('win-restore', 'restore', function () { showMaximized(false); });
    command('win-close', 'close');
    document.getElementById('titlebar').addEventListener('mousedown', function (e) {
      if (e.button !== 0 || !e.target.classList.contains('drag')) return;
      demo.send('dragStart', { x: Math.round(e.clientX), y: Math.round(e.clientY) });
    });
    document.addEventListener('mouseup', function (e) {
      if (e.button === 0) demo.send('dragEnd', '');
    });
  }

  window.addEventListener('DOMContentLoaded', async function () {
    demo = window.brvDemo;
    page.route = routeOf(location.hash);
    page.lang = (navigator.language || 'en').indexOf('zh') === 0 ? 'zh-CN' : 'en';
    wireTitleBar();
    if (page.route.indexOf('/qt/live/') === 0) {
      // The class pages draw themselves; they only share the title bar and the bridge.
      window.brvLive.start(demo, page.route, page.lang);
      demo.onMessage(function (m) { if (m.func === 'IsMax') showMaximized(m.param === '1'); });
      await demo.start();
      return;
    }
    demo.onMessage(onMessage);
    await demo.start();
    if (demo.param && demo.param.theme) applyTheme(demo.param.theme);
    render();
    // The service's home page says it is ready once its own start-up is done. A stored
    // "brv-demo-hold-imready" of "1" holds it back, so that a test can look at the hidden client.
    var hold = false;
    try { hold = localStorage.getItem('brv-demo-hold-imready') === '1'; } catch (e) { hold = false; }
    if (page.route === '/qt/start/index' && demo.ready && !hold) demo.send('ImReady', '');
    if (page.route === '/qt/start/index' && demo.ready) { startSession(); render(); }
  });
  window.addEventListener('hashchange', function () { page.route = routeOf(location.hash); render(); });
})();
