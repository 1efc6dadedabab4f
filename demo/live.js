// The demo service's class pages: "/qt/live/index" (the class) and "/qt/live/overlay/index"
// (the transparent page laid over it). The class is one of the demo service: a fixed roster,
// live settings, and SDK identities signed with the demo key that the embedded SDKs and the class
// servers accept. Native camera and screen views cover the places this page leaves for them.
(function () {
  'use strict';
  // Published with the SDK: good for the embedded SDKs and the servers of class-servers.sh only.
  var DEMO_KEY = 'mGYwVhBQF5cpuoZpdHSV5ZNW7lgkpHwXcpDyPoH9';
  var APP_ID = 1400000001;
  var ROSTER = {
    teacher: { userId: 'demo-teacher-01', nickname: 'Demo Teacher', userType: 'Teacher' },
    assistant: { userId: 'demo-assistant-01', nickname: 'Demo Assistant', userType: 'Assistant' },
    students: [
      { userId: 'demo-student-01', nickname: 'Demo Student 1', userType: 'Student' },
      { userId: 'demo-student-02', nickname: 'Demo Student 2', userType: 'Student' },
      { userId: 'demo-student-03', nickname: 'Demo Student 3', userType: 'Student' },
    ],
  };
  var TEXTS = {
    en: { live: 'Live class', start: 'Start class', stop: 'Stop class', close: 'End class for all', share: 'Share screen',
          stopShare: 'Stop sharing', record: 'Record', stopRecord: 'Stop recording', info: 'Class info',
          users: 'Participants', chat: 'Chat', send: 'Send', camMic: 'Camera + mic', camOff: 'Camera off',
          max: 'Enlarge', normal: 'Shrink', online: 'online', inRoom: 'in class', offline: 'offline',
          camera: 'Camera', mic: 'Mic', speaker: 'Speaker', board: 'Work area', recorded: 'Recorded to ',
          leave: 'Leave', waiting: 'Waiting for the teacher to start the class' },
    'zh-CN': { live: '直播课堂', start: '开始上课', stop: '下课', close: '结束课堂', share: '共享屏幕', stopShare: '停止共享',
               record: '录制', stopRecord: '停止录制', info: '课堂信息', users: '成员', chat: '聊天',
               send: '发送', camMic: '开摄像头和麦克风', camOff: '关摄像头', max: '放大', normal: '还原',
               online: '在线', inRoom: '上课中', offline: '离线', camera: '摄像头', mic: '麦克风',
               speaker: '扬声器', board: '工作区', recorded: '已录制到 ', leave: '离开',
               waiting: '等待老师开始上课' },
  };
  var demo;
  var lang = 'en';
  var s = {
    liveId: '', me: null, data: null, users: {}, liveState: 'NotStart', recordState: 'NotStart',
    shareState: 'NotStart', liveInfo: {}, devices: {}, chat: [], liveTime: 0, recordFile: '',
    // When each class state last arrived (ms since the epoch): the page's own timing of the class.
    stateAt: {}, classIsOn: false,
  };

  function t(k) { return (TEXTS[lang] || TEXTS.en)[k] || TEXTS.en[k] || k; }

  function el(tag, attrs, children) {
    var node = document.createElement(tag);
    Object.keys(attrs || {}).forEach(function (k) {
      if (k === 'text') node.textContent = attrs[k];
      else if (k.substring(0, 2) === 'on') node.addEventListener(k.substring(2), attrs[k]);
      else node.setAttribute(k, attrs[k]);
    });
    (children || []).forEach(function (c) { if (c) node.appendChild(c); });
    return node;
  }

  function b64(bytes) {
    var bin = '';
    new Uint8Array(bytes).forEach(function (b) { bin += String.fromCharCode(b); });
    return btoa(bin);
  }

  function b64url(bytes) {
    return b64(bytes).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  async function hmac(hash, text) {
    var enc = new TextEncoder();
    var key = await crypto.subtle.importKey('raw', enc.encode(DEMO_KEY), { name: 'HMAC', hash: hash }, false, ['sign']);
    return crypto.subtle.sign('HMAC', key, enc.encode(text));
  }

  // An HS256 token for the user, as the service would issue it. Its "janus" claim is the media
  // server's signed token ("expiry,janus,plugin:" and the HMAC-SHA1 of that in plain base64), which
  // the SDK presents to the media server; without it a class with a media server cannot start.
  async function userSig(userId) {
    var enc = new TextEncoder();
    var now = Math.floor(Date.now() / 1000);
    var exp = now + 86400;
    var janus = exp + ',janus,janus.plugin.videoroom';
    janus += ':' + b64(await hmac('SHA-1', janus));
    var head = b64url(enc.encode(JSON.stringify({ alg: 'HS256', typ: 'JWT' })));
    var claims = b64url(enc.encode(JSON.stringify({ sub: userId, app: APP_ID, iat: now, exp: exp, janus: janus })));
    return head + '.' + claims + '.' + b64url(await hmac('SHA-256', head + '.' + claims));
  }

  // The same live id gives every participant the same room.
  function roomOf(liveId) {
    var h = 0;
    for (var i = 0; i < liveId.length; ++i) h = (h * 31 + liveId.charCodeAt(i)) % 9000000;
    return 1000000 + h;
  }

  function signedInUser() {
    try { return JSON.parse(localStorage.getItem('brv-demo-user') || 'null'); } catch (e) { return null; }
  }

  function user(base) {
    return Object.assign({ liveId: s.liveId, avatarUrl: '', isJoinedGroup: 0, isEnteredRoom: 0,
                           cameraState: 'Unknown', micState: 'Unknown', isMaxVideo: 0 }, base);
  }

  async function classData(liveId) {
    var session = window.brvDemoSession;
    var signed = (session && session.userId ? session : null) || signedInUser() ||
                 { userId: ROSTER.students[0].userId, nickname: ROSTER.students[0].nickname };
    var known = [ROSTER.teacher, ROSTER.assistant].concat(ROSTER.students)
      .filter(function (u) { return u.userId === signed.userId; })[0];
    var me = user(known || { userId: signed.userId, nickname: signed.nickname || signed.userId, userType: 'Student' });
    var students = ROSTER.students.map(user);
    if (!known) students.push(me);
    var room = roomOf(liveId);
    return {
      classInfo: { classId: 'demo-class-1', tenantId: 'demo', className: 'Demo class', studentCount: students.length,
                   maxStudentCount: 30 },
      liveInfo: { liveId: liveId, tenantId: 'demo', liveRoomId: room, classId: 'demo-class-1', className: 'Demo class',
                  courseName: 'Demo course', lessonName: 'Lesson 1', liveRoomState: 'NotStart',
                  imGroupState: 'NotCreate', teacherId: ROSTER.teacher.userId },
      liveSettings: { classId: 'demo-class-1', tenantId: 'demo', liveUiMode: 'TopVideo',
                      liveResolution: JSON.stringify({ teacherResolution: 'SD', studentResolution: 'SD',
                                                       recordResolution: 'HD', screenResolution: 'HD' }),
                      maxStudentCameraCount: 4, maxOnStageCount: 4, imAppId: String(APP_ID),
                      trtcAppId: String(APP_ID), autoRecord: 0 },
      trtcSdkAppId: APP_ID,
      trtcUserSig: await userSig(me.userId),
      teacherInfo: user(ROSTER.teacher),
      assistantInfo: user(ROSTER.assistant),
      currLiveUser: me,
      onlineStudentList: [],
      offlineStudentList: students,
    };
  }

  function isTeacher() { return s.me && /^(teacher|assistant)$/i.test(s.me.userType); }

  function orderedUsers() {
    var d = s.data;
    if (!d) return [];
    var ids = [d.teacherInfo.userId, d.assistantInfo.userId].concat(d.offlineStudentList.map(function (u) { return u.userId; }));
    return ids.map(function (id) { return s.users[id]; }).filter(Boolean);
  }

  // Who gets a camera view: the teacher, the user, and for teachers every student who is online.
  function cameraUsers() {
    return orderedUsers().filter(function (u) {
      if (u.userId === s.me.userId) return true;
      if (/^teacher$/i.test(u.userType)) return true;
      if (/^assistant$/i.test(u.userType)) return u.isJoinedGroup === 1;
      return isTeacher() && u.isJoinedGroup === 1;
    }).slice(0, 5);
  }

  function rectOf(node) {
    var r = node.getBoundingClientRect();
    return { x: Math.round(r.left), y: Math.round(r.top), width: Math.round(r.width), height: Math.round(r.height) };
  }

  function placeViews() {
    var work = document.getElementById('work');
    var strip = document.getElementById('cameras');
    if (!work || !strip || !s.me) return;
    demo.send('SetWorkRect', rectOf(work));
    demo.send('SetBoardRect', rectOf(work));
    demo.send('SetCameraListRect', rectOf(strip));
    var rects = [];
    var max = null;
    strip.querySelectorAll('.cam').forEach(function (node) {
      var u = s.users[node.dataset.user];
      if (u && u.isMaxVideo === 1 && !max) { max = u.userId; return; }
      rects.push({ userId: node.dataset.user, rect: rectOf(node.querySelector('.video')) });
    });
    // A maximised view takes the work area.
    if (max) rects.push({ userId: max, rect: rectOf(work) });
    if (rects.length) demo.send('SetCameraViewRects', JSON.stringify(rects));
  }

  function stateBadge() {
    var living = s.liveInfo.liveRoomState === 'Living';
    return el('span', { id: 'live-state', class: 'badge' + (living ? ' living' : ''),
                        text: s.liveState + (living ? ' · ' + s.liveTime + 's' : '') });
  }

  function userRow(u) {
    var status = u.isEnteredRoom === 1 ? t('inRoom') : u.isJoinedGroup === 1 ? t('online') : t('offline');
    var row = el('div', { class: 'user', 'data-user': u.userId, 'data-online': String(u.isJoinedGroup === 1) }, [
      el('span', { class: 'name', text: u.nickname + ' (' + u.userType + ')' }),
      el('span', { class: 'status ' + (u.isJoinedGroup === 1 ? 'ok' : ''), text: status }),
      el('span', { class: 'status', text: t('camera') + ' ' + (u.cameraState || '-') + ' · ' + t('mic') + ' ' + (u.micState || '-') }),
    ]);
    if (isTeacher() && u.userId !== s.me.userId && /^student$/i.test(u.userType) && u.isJoinedGroup === 1) {
      var cmd = function (command) { return function () { live(command, u.userId); }; };
      row.appendChild(el('div', { class: 'row' }, [
        el('button', { class: 'act small', id: 'open-cam-' + u.userId, text: t('camMic'), onclick: cmd('OpenCameraMic') }),
        el('button', { class: 'act small plain', text: t('camOff'), onclick: cmd('CloseCamera') }),
        el('button', { class: 'act small plain', text: u.isMaxVideo === 1 ? t('normal') : t('max'),
                       onclick: cmd(u.isMaxVideo === 1 ? 'NormalVideo' : 'MaxVideo') }),
      ]));
    }
    return row;
  }

  function live(command, userId, extra) {
    var obj = Object.assign({ command: command }, extra || {});
    if (userId) obj.userId = userId;
    demo.send('LiveCommand', obj);
  }

  function controls() {
    if (!isTeacher()) {
      return el('div', { class: 'row' }, [el('span', { class: 'status', text: s.liveInfo.liveRoomState === 'Living' ? '' : t('waiting') })]);
    }
    var living = s.liveInfo.liveRoomState === 'Living';
    var sharing = s.shareState === 'ScreenShareStartSuccess';
    var recording = s.recordState === 'RecordStartSuccess' || s.recordState === 'RecordStarting';
    return el('div', { class: 'row', id: 'teacher-controls' }, [
      living ? el('button', { class: 'act', id: 'stop-live', text: t('stop'), onclick: function () { live('StopLive', '', { liveTime: s.liveTime }); } })
             : el('button', { class: 'act', id: 'start-live', text: t('start'), onclick: function () { live('StartLive', '', { liveTime: s.liveTime }); } }),
      el('button', { class: 'act plain', id: 'close-live', text: t('close'), onclick: function () { live('CloseLive', '', { liveTime: s.liveTime }); } }),
      sharing ? el('button', { class: 'act plain', id: 'stop-share', text: t('stopShare'), onclick: function () { live('StopScreenShare'); } })
              : el('button', { class: 'act plain', id: 'share', text: t('share'), onclick: function () { demo.send('ShareOption', ''); } }),
      recording ? el('button', { class: 'act plain', id: 'stop-record', text: t('stopRecord'), onclick: function () { live('StopRecord'); } })
                : el('button', { class: 'act plain', id: 'record', text: t('record'), onclick: function () { live('StartRecord'); } }),
      el('button', { class: 'act plain', id: 'class-info', text: t('info'), onclick: function () {
        demo.send('OpenSubDlg', { title: t('info'), text: [s.data.classInfo.className, s.liveId,
          'room ' + s.data.liveInfo.liveRoomId, s.liveState].join(' · ') }); } }),
    ]);
  }

  function sendChat(input) {
    var text = input.value.trim();
    if (!text) return;
    demo.send('LiveChat', { message: text });
    s.chat.push({ name: s.me.nickname, text: text, own: true });
    input.value = '';
    render();
  }

  function render() {
    var main = document.getElementById('view');
    main.className = 'live';
    main.textContent = '';
    if (!s.me) { main.appendChild(el('div', { class: 'status', text: s.liveId || '…' })); return; }
    var cams = el('div', { id: 'cameras' }, cameraUsers().map(function (u) {
      return el('div', { class: 'cam', 'data-user': u.userId }, [el('div', { class: 'video' }),
        el('div', { class: 'caption', text: u.nickname })]);
    }));
    var work = el('div', { id: 'work' }, [el('div', { class: 'status', text: t('board') + ' · ' + s.liveId }),
      s.recordFile ? el('div', { class: 'status ok', id: 'record-file', text: t('recorded') + s.recordFile }) : null]);
    var chatList = el('div', { id: 'chat-list' }, s.chat.map(function (m) {
      return el('div', { class: 'chat' + (m.own ? ' own' : '') }, [el('b', { text: m.name + ': ' }), el('span', { text: m.text })]);
    }));
    var input = el('input', { id: 'chat-input', placeholder: t('chat') });
    input.addEventListener('keydown', function (e) { if (e.key === 'Enter') sendChat(input); });
    main.appendChild(el('div', { id: 'stage' }, [cams, work]));
    main.appendChild(el('div', { id: 'side' }, [
      el('section', {}, [el('h2', {}, [el('span', { text: s.data.classInfo.className + ' ' }), stateBadge()]), controls()]),
      el('section', { id: 'users' }, [el('h2', { text: t('users') })].concat(orderedUsers().map(userRow))),
      el('section', { id: 'chat' }, [el('h2', { text: t('chat') }), chatList,
        el('div', { class: 'row' }, [input, el('button', { class: 'act', id: 'chat-send', text: t('send'), onclick: function () { sendChat(input); } })])]),
    ]));
    chatList.scrollTop = chatList.scrollHeight;
    requestAnimationFrame(placeViews);
  }

  function deviceButtons() {
    var bar = document.getElementById('titlebar');
    var minimize = document.getElementById('win-min');
    ['camera', 'mic', 'speaker'].forEach(function (type) {
      var b = el('button', { class: 'dev', id: 'dev-' + type, text: t(type) + ' ▾', onclick: function () {
        demo.send('ShowDeviceMenu', { type: type }); } });
      bar.insertBefore(b, minimize);
    });
  }

  function showDevices() {
    [['camera', 'isCameraEnable'], ['mic', 'isMicEnable'], ['speaker', 'isSpeakerEnable']].forEach(function (p) {
      var b = document.getElementById('dev-' + p[0]);
      if (b) b.classList.toggle('off', s.devices[p[1]] === false);
    });
  }

  // The states of a user on the way into the class's group, before the room.
  var ARRIVING = ['NotStart', 'ImInitSuccess', 'ImLogining', 'ImLoginSuccess', 'JoinGrouping', 'JoinGroupSuccess'];

  function enterIfOn() {
    if (!s.classIsOn || s.liveState !== 'JoinGroupSuccess') return;
    s.classIsOn = false;
    live('StartLive', '', { liveTime: s.liveTime });
  }

  function parse(text) { try { return JSON.parse(text); } catch (e) { return null; } }

  async function onClassMessage(m) {
    if (m.func === 'SetLiveId') {
      // The class's data goes to the client once; the same id again changes nothing.
      if (s.data && s.liveId === m.param) return;
      s.liveId = m.param;
      s.data = await classData(s.liveId);
      s.me = s.data.currLiveUser;
      s.liveInfo = s.data.liveInfo;
      [s.data.teacherInfo, s.data.assistantInfo].concat(s.data.offlineStudentList).forEach(function (u) { s.users[u.userId] = u; });
      s.users[s.me.userId] = s.me;
      demo.send('SetLiveData', s.data);
    } else if (m.func === 'SetLiveState') {
      s.liveState = m.param;
      s.stateAt[m.param] = Date.now();
      if (ARRIVING.indexOf(m.param) < 0) s.classIsOn = false;
      // A student in the group tells the teacher's page, which answers with the class's time
      // when the class is on: the class data a page starts from says nothing of that.
      if (m.param === 'JoinGroupSuccess' && !isTeacher()) {
        demo.send('ImCommand', { toUserId: s.data.teacherInfo.userId, command: 'StudentArrived' });
      }
      enterIfOn();
      if (m.param === 'EnterRoomSuccess') s.liveInfo.liveRoomState = 'Living';
      if (m.param === 'ExitRoomSuccess') s.liveInfo.liveRoomState = 'Stop';
    } else if (m.func === 'SetRecordState') {
      s.recordState = m.param;
    } else if (m.func === 'SetScreenShareState') {
      s.shareState = m.param;
    } else if (m.func === 'UpdateLiveInfo') {
      s.liveInfo = parse(m.param) || s.liveInfo;
    } else if (m.func === 'UpdateLiveTime') {
      s.liveTime = (parse(m.param) || {}).liveTime || 0;
      // The class's time arriving before this student was ever in the room is the teacher's word
      // to a late arrival: the class is on. The student goes in once in the group.
      if (!isTeacher() && ARRIVING.indexOf(s.liveState) >= 0) s.classIsOn = true;
      enterIfOn();
    } else if (m.func === 'UpdateLiveUser') {
      var u = parse(m.param);
      if (u && u.userId) {
        s.users[u.userId] = Object.assign(s.users[u.userId] || {}, u);
        if (u.userId === s.me.userId) s.me = s.users[u.userId];
      }
    } else if (m.func === 'SetDeviceState') {
      s.devices = parse(m.param) || {};
      showDevices();
      return;
    } else if (m.func === 'ChatMsg') {
      var c = parse(m.param) || {};
      if (c.senderId && c.senderId === s.me.userId) return;
      s.chat.push({ name: c.senderName || c.senderId || '?', text: c.content || '', from: c.senderId });
    } else if (m.func === 'ImCommand') {
      if ((parse(m.param) || {}).command === 'StudentArrived' && isTeacher()) {
        live('GetOnlineLiveUser', 'admin');
        if (s.me.isEnteredRoom === 1) live('LiveWatch', '', { liveTime: s.liveTime });
      }
      return;
    } else if (m.func === 'RecordFile') {
      s.recordFile = (parse(m.param) || {}).path || '';
    } else if (m.func === 'max' || m.func === 'IsMax') {
      return;
    }
    render();
  }

  function startClass() {
    deviceButtons();
    document.getElementById('title').textContent = t('live');
    demo.onMessage(function (m) { onClassMessage(m); });
    window.addEventListener('resize', function () { requestAnimationFrame(placeViews); });
    // A teacher keeps asking who is online; the answer comes back through the client.
    setInterval(function () {
      if (isTeacher() && s.me && s.me.isJoinedGroup === 1) live('GetOnlineLiveUser', 'admin');
    }, 4000);
    render();
  }

  function startOverlay() {
    document.body.classList.add('overlay');
    var main = document.getElementById('view');
    main.className = 'overlay';
    demo.onMessage(function (m) {
      if (m.func !== 'OpenSubDlg') return;
      var p = parse(m.param) || {};
      main.textContent = '';
      main.appendChild(el('div', { class: 'subdlg', id: 'subdlg' }, [
        el('h2', { text: p.title || '' }), el('div', { text: p.text || '' }),
        el('div', { class: 'row' }, [el('button', { class: 'act', id: 'subdlg-close', text: 'OK', onclick: function () {
          main.textContent = ''; demo.send('HideLiveOverlay', ''); } })])]));
    });
  }

  window.brvLive = {
    start: function (d, route, pageLang) {
      demo = d;
      lang = TEXTS[pageLang] ? pageLang : 'en';
      if (route === '/qt/live/overlay/index') startOverlay(); else startClass();
    },
    state: s,
    el: el,
  };
})();
