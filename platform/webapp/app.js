// The page the client hosts: the login form, the meeting, and the events the client sends.
// Everything that comes from the client or from other participants is put into the page as
// text (textContent), never as markup.
'use strict';

const $ = (id) => document.getElementById(id);

const state = {
  lang: normaliseLanguage((navigator.languages && navigator.languages[0]) || navigator.language),
  joining: false,
  joined: false,
  login: null,         // What the last login request sent (its "data").
  users: new Map(),    // id → user object of events 12 and 13.
  listComplete: true,  // The last event 12 ended a list (fewer than a page of users).
  speakerOn: true,
  liveOn: false,
  share: {type: 0, uid: ''},
  layout: [],
  layoutData: '',
  netLevel: 2,  // bars of the signal: 2 good, 1 fair, 0 poor
  cpu: null,
  zoom: null,
  settingsOpen: false,
  pushState: null,
  media: new Map(),    // md5 → {url, md5, size, height, status, total, cur}
  docs: new Map(),     // md5 → {url, md5, size, type, status, totalpage, curpage}
  pushes: [],          // {id, state, platform, pushStreamUrl, resolution, result}
  messages: [],        // {msg, status}
  unread: 0,
  nextPushId: 1,
};

const USER_PAGE = 1000;  // The client sends the participant list in pages of this many users.

// ---------------------------------------------------------------------------------------------
// Texts

function t(key, ...args) {
  const table = TEXTS[state.lang] || TEXTS['en-US'];
  let text = table[key] !== undefined ? table[key] : (TEXTS['en-US'][key] || key);
  args.forEach((arg, i) => { text = text.split('{' + i + '}').join(String(arg)); });
  return text;
}

function applyLanguage(lang) {
  state.lang = normaliseLanguage(lang);
  document.documentElement.lang = state.lang;
  document.querySelectorAll('[data-t]').forEach((el) => { el.textContent = t(el.dataset.t); });
  renderAll();
}

// ---------------------------------------------------------------------------------------------
// Small helpers

function el(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined && text !== null) node.textContent = String(text);
  if (className) node.className = className;
  return node;
}

function button(text, onClick) {
  const node = el('button', text);
  node.type = 'button';
  node.addEventListener('click', onClick);
  return node;
}

const isObject = (v) => v !== null && typeof v === 'object' && !Array.isArray(v);
const str = (v) => (typeof v === 'string' ? v : '');
const num = (v, fallback) => (typeof v === 'number' && isFinite(v) ? v : fallback);
// A user's audio or video status as the client sends it: "active", "inactive" or "unuserful"
// (unusable); empty while the user has no stream.
const isActive = (status) => status === 'active';

function showError(where, text) { $(where).textContent = text || ''; }

function showBanner(text, kind) {
  const banner = $('banner');
  banner.textContent = text;
  banner.className = 'banner ' + (kind || 'info');
  banner.hidden = !text;
}

// Sends through Requests; a page outside the client says so instead of failing silently.
function send(sent) {
  if (!sent) showBanner(t('err.noclient'), 'error');
  return sent;
}

function randomId(prefix) {
  return prefix + Math.floor(Math.random() * 1e9).toString(36);
}

function ownUser() {
  if (!state.login) return null;
  for (const user of state.users.values()) {
    if (user.uid === state.login.userid && user.cid === state.login.cid) return user;
  }
  return null;
}

function userName(uid) {
  for (const user of state.users.values()) if (user.uid === uid && user.name) return user.name;
  return uid.trim() || '?';
}

// ---------------------------------------------------------------------------------------------
// Screens

function showScreen(meeting) {
  $('login-screen').hidden = meeting;
  $('meeting-screen').hidden = !meeting;
}

function enterMeeting() {
  state.joining = false;
  state.joined = true;
  $('login-submit').disabled = false;
  $('login-status').textContent = '';
  showError('login-error', '');
  showScreen(true);
  renderAll();
}

// Back to the login form, with |error| in plain words when the meeting ended by itself.
function leaveMeeting(error) {
  state.joining = false;
  state.joined = false;
  state.users.clear();
  state.listComplete = true;
  state.share = {type: 0, uid: ''};
  state.layout = [];
  state.liveOn = false;
  $('login-submit').disabled = false;
  $('login-status').textContent = '';
  showError('login-error', error || '');
  showError('meeting-error', '');
  showBanner('', '');  // the connection's and the messages' news belong to the meeting
  $('mic-hint').hidden = true;
  showScreen(false);
  renderAll();
}

// ---------------------------------------------------------------------------------------------
// Rendering

function renderAll() {
  renderTopbar();
  renderControls();
  renderUsers();
  renderWall();
  renderLive();
  renderMedia();
  renderDocs();
  renderPushes();
  renderMessages();
}

function renderTopbar() {
  $('room-label').textContent = state.login ? t('room', state.login.confid) : '';
  $('net-signal').dataset.level = String(state.netLevel);
  $('net-text').textContent = t('net.' + state.netLevel);
  $('cpu-label').textContent = state.cpu === null ? '' : t('cpu', state.cpu);
  const share = state.share;
  let shareText = '';
  if (share.type === 2) shareText = t('share.screen', userName(share.uid));
  else if (share.type === 1) shareText = t('share.media', userName(share.uid));
  else if (share.type) shareText = t('share.other', userName(share.uid), share.type);
  $('share-label').textContent = shareText;
  $('zoom-label').textContent = state.zoom === null ? '' : t('zoom.' + (state.zoom ? 1 : 0));
  $('settings-label').textContent = state.settingsOpen ? t('settings.open') : '';
}

function renderControls() {
  const own = ownUser();
  const cameraOn = !!own && isActive(own.videoStatus);
  const micOn = !!own && isActive(own.audioStatus);
  $('camera-button').textContent = t(cameraOn ? 'camera.on' : 'camera.off');
  $('camera-button').dataset.state = cameraOn ? 'on' : 'off';
  $('mic-button').textContent = t(micOn ? 'mic.on' : 'mic.off');
  $('mic-button').dataset.state = micOn ? 'on' : 'off';
  $('speaker-button').textContent = t(state.speakerOn ? 'speaker.on' : 'speaker.off');
  $('speaker-button').dataset.state = state.speakerOn ? 'on' : 'off';
  if (state.login) $('role-select').value = String(state.login.role === 1 ? 1 : 2);
}

function renderUsers() {
  const list = $('user-list');
  list.textContent = '';
  const own = ownUser();
  const host = !!state.login && state.login.role === 1;
  for (const user of state.users.values()) {
    const item = el('li');
    item.dataset.id = user.id;
    item.appendChild(el('span', user.name, 'name'));
    if (user === own) item.appendChild(el('span', ' ' + t('you'), 'you'));
    const on = (v) => t(isActive(v) ? 'state.on' : 'state.off');
    item.appendChild(el('span', t('user.cam', on(user.videoStatus)), 'cam'));
    item.appendChild(el('span', t('user.mic', on(user.audioStatus)), 'mic'));
    if (host && user !== own) {
      const cam = button(t('user.cam.toggle'),
                         () => send(Requests.camera(user.id, !isActive(user.videoStatus))));
      cam.className = 'small user-cam';
      const mic = button(t('user.mic.toggle'),
                         () => send(Requests.microphone(user.id, !isActive(user.audioStatus))));
      mic.className = 'small user-mic';
      item.appendChild(cam);
      item.appendChild(mic);
    }
    list.appendChild(item);
  }
}

function renderWall() {
  const wall = $('wall');
  wall.textContent = '';
  const clamp = (v) => Math.min(1, Math.max(0, v));
  for (const item of state.layout) {
    const box = el('div', item.userName, 'tile' + (item.hasCamera ? ' camera' : ''));
    box.style.left = clamp(item.left) * 100 + '%';
    box.style.top = clamp(item.top) * 100 + '%';
    box.style.width = clamp(item.width) * 100 + '%';
    box.style.height = clamp(item.height) * 100 + '%';
    box.dataset.streamId = item.stream_id;
    wall.appendChild(box);
  }
  if (!state.layout.length) wall.appendChild(el('p', t('wall.empty'), 'status'));
  if (state.layoutData) wall.appendChild(el('p', t('layout.data', state.layoutData), 'layout-data'));
}

function renderLive() {
  $('live-state').textContent = t(state.liveOn ? 'live.on' : 'live.off');
  $('push-state').textContent = state.pushState === null ? '' : state.pushState;
}

function renderMedia() {
  const list = $('media-list');
  list.textContent = '';
  for (const m of state.media.values()) {
    const item = el('li');
    item.dataset.md5 = m.md5;
    item.appendChild(el('span', m.url, 'name'));
    item.appendChild(el('span', m.status === null ? t('media.new') : t('media.' + m.status),
                        'state'));
    const progress = el('progress');
    progress.max = Math.max(1, m.total);
    progress.value = Math.min(m.cur, m.total);
    item.appendChild(progress);
    item.appendChild(el('span', m.cur + ' / ' + m.total, 'time'));
    const play = button(t('media.play'), () => mediaCommand(m, 1, 0));
    play.className = 'small media-play';
    const pause = button(t('media.pause'), () => mediaCommand(m, 2, 0));
    pause.className = 'small media-pause';
    const stop = button(t('media.stop'), () => mediaCommand(m, 3, 0));
    stop.className = 'small media-stop';
    const seek = el('input');
    seek.type = 'number';
    seek.min = '0';
    seek.className = 'media-pos';
    seek.value = String(m.cur);
    const go = button(t('media.seek'), () => mediaCommand(m, 4, Math.max(0, parseInt(seek.value, 10) || 0)));
    go.className = 'small media-seek';
    [play, pause, stop, seek, go].forEach((n) => item.appendChild(n));
    list.appendChild(item);
  }
}

function mediaCommand(m, status, pos) {
  send(Requests.media({url: m.url, md5: m.md5, height: m.height, status: status,
                       volume: parseInt($('media-volume').value, 10), pos: pos,
                       muted: $('media-muted').checked}));
}

function docStateText(d) {
  if (d.status === 1 || d.status === 2 || d.status === 5) return t('doc.' + d.status);
  if (d.status <= 0) return t('doc.fail');
  return t('doc.state', d.status);
}

function renderDocs() {
  const list = $('doc-list');
  list.textContent = '';
  for (const d of state.docs.values()) {
    const item = el('li');
    item.dataset.md5 = d.md5;
    item.appendChild(el('span', d.url, 'name'));
    item.appendChild(el('span', docStateText(d), 'state'));
    if (d.totalpage > 0) item.appendChild(el('span', t('doc.pages', d.curpage, d.totalpage), 'pages'));
    const cancel = button(t('doc.cancel'), () => send(Requests.document(d.url, d.md5, 2)));
    cancel.className = 'small doc-cancel';
    const clear = button(t('doc.clear'), () => {
      if (send(Requests.document(d.url, d.md5, 3))) {
        state.docs.delete(d.md5);
        renderDocs();
      }
    });
    clear.className = 'small doc-clear';
    item.appendChild(d.status === 1 || d.status === 5 ? cancel : clear);
    list.appendChild(item);
  }
}

function renderPushes() {
  const list = $('push-list');
  list.textContent = '';
  for (const p of state.pushes) {
    const item = el('li');
    item.dataset.id = p.id;
    item.appendChild(el('span', p.platform, 'platform'));
    item.appendChild(el('span', p.pushStreamUrl, 'url'));
    item.appendChild(el('span', p.resolution, 'res'));
    if (p.result !== null) item.appendChild(el('span', t('push.result.' + p.result), 'result'));
    const ok = button(t('push.report.ok'), () => reportPush(p, 1));
    ok.className = 'small push-ok';
    const fail = button(t('push.report.fail'), () => reportPush(p, 0));
    fail.className = 'small push-fail';
    const remove = button(t('push.remove'), () => {
      state.pushes = state.pushes.filter((x) => x !== p);
      sendPushes();
      renderPushes();
    });
    remove.className = 'small push-remove';
    [ok, fail, remove].forEach((n) => item.appendChild(n));
    list.appendChild(item);
  }
}

function reportPush(p, result) {
  if (send(Requests.pushResult(p.pushStreamUrl, result, p.id))) {
    p.result = result;
    renderPushes();
  }
}

function sendPushes() {
  const own = ownUser();
  send(Requests.pushDestinations(
      state.pushes.map((p) => ({id: p.id, state: p.state, platform: p.platform,
                                pushStreamUrl: p.pushStreamUrl, resolution: p.resolution})),
      own ? own.streamId : ''));
}

function renderMessages() {
  const list = $('message-list');
  list.textContent = '';
  for (const m of state.messages) {
    list.appendChild(el('li', m.msg, m.status === 1 ? 'ok' : 'bad'));
  }
  $('unread').textContent = state.unread ? '(' + state.unread + ')' : '';
}

function setUnread(count) {
  if (count === state.unread) return;
  state.unread = count;
  if (state.joined) Requests.unreadCount(count);
  renderMessages();
}

function addWebLog(text) {
  const log = $('web-log');
  log.appendChild(el('li', text));
  while (log.childNodes.length > 200) log.removeChild(log.firstChild);
}

// ---------------------------------------------------------------------------------------------
// Events from the client: nativeInvokeJS({"event": N, ...}).

function readUser(u) {
  if (!isObject(u) || typeof u.id !== 'string') return null;
  const user = {};
  ['name', 'id', 'gId', 'gcId', 'audioStatus', 'videoStatus', 'platform', 'streamId', 'uid',
   'cid'].forEach((k) => { user[k] = str(u[k]); });
  return user;
}

const EVENTS = {
  8: () => { $('close-dialog').hidden = false; },
  9: (e) => {
    const ret = num(e.ret, 0);
    showError('meeting-error', ret > 0 ? '' : t('err.device', ret));
  },
  11: () => {
    // Also after a reload of the page while the client stays in the room (its login retries).
    enterMeeting();
    Requests.liveMode();
  },
  12: (e) => {
    if (!Array.isArray(e.list)) return;
    if (state.listComplete || e.list.length === 0) state.users.clear();
    e.list.forEach((u) => {
      const user = readUser(u);
      if (user) state.users.set(user.id, user);
    });
    // A full page may be followed by the next one; a shorter page ends the list. The client
    // sends a following page only when more users remain, so an empty list is always a new one.
    state.listComplete = e.list.length < USER_PAGE;
    renderUsers();
    renderControls();
  },
  13: (e) => {
    const user = readUser(e);
    if (!user) return;
    state.users.set(user.id, user);
    renderUsers();
    renderControls();
  },
  14: (e) => {
    const id = str(e.id);
    if (!state.users.delete(id)) {
      for (const [key, user] of state.users) {
        if (user.uid === str(e.uid) && user.cid === str(e.cid)) state.users.delete(key);
      }
    }
    renderUsers();
    renderControls();
  },
  15: (e) => {
    if (state.joined) return;
    if (str(e.liveId)) {
      $('login-room').value = str(e.liveId);
      $('login-liveid').value = str(e.liveId);
    }
    if (str(e.nickName)) $('login-name').value = str(e.nickName);
    if (str(e.guestId)) {
      $('login-userid').value = str(e.guestId);
      document.querySelector('input[name=role][value="2"]').checked = true;
    }
    $('login-status').textContent = t('login.params');
    if (e.autoLogin === true) submitLogin();
  },
  16: (e) => {
    // The client counts down: "0" is a good network and "2" a poor one; the signal shows bars.
    const level = parseInt(str(e.netlevel), 10);
    if (level >= 0 && level <= 2) state.netLevel = 2 - level;
    renderTopbar();
  },
  17: (e) => {
    state.share = {type: num(e.mediaShareType, 0), uid: str(e.uid)};
    renderTopbar();
  },
  18: (e) => {
    if (!Array.isArray(e.list)) return;
    state.layout = e.list.filter(isObject).map((i) => ({
      index: num(i.index, 0),
      isFixed: i.isFixed === 'true',
      hasCamera: i.hasCamera === 'true',
      left: parseFloat(str(i.left)) || 0,
      top: parseFloat(str(i.top)) || 0,
      width: parseFloat(str(i.width)) || 0,
      height: parseFloat(str(i.height)) || 0,
      stream_id: str(i.stream_id),
      userName: str(i.userName),
      userId: str(i.userId),
    }));
    renderWall();
  },
  19: (e) => {
    state.layoutData = str(e.data);
    $('layout-text').value = state.layoutData;
    renderWall();
  },
  20: (e) => {
    state.zoom = num(e.opt, 0);
    renderTopbar();
  },
  21: (e) => {
    const height = num(e.height, 0);
    state.pushes.push({
      id: str(e.streamId) || 'push' + state.nextPushId++,
      state: 0,
      platform: str(e.platform),
      pushStreamUrl: str(e.url),
      resolution: height >= 1080 ? 'UD' : height >= 720 ? 'HD' : 'LD',
      result: null,
    });
    renderPushes();
  },
  22: (e) => { $('opt-guestlist').checked = num(e.opt, 0) === 1; },
  23: () => {
    state.settingsOpen = true;
    renderTopbar();
  },
  24: (e) => {
    const on = num(e.opt, 0) === 1;
    state.pushState = t(on ? 'push.state.1' : 'push.state.0') +
                      (str(e.streamId) ? ' (' + str(e.streamId) + ')' : '');
    renderLive();
  },
  25: (e) => {
    const status = num(e.status, 0);
    const msg = str(e.msg);
    state.messages.push({msg: msg, status: status});
    if (state.messages.length > 100) state.messages.shift();
    if (status !== 1) showBanner(msg, 'error');
    setUnread(state.unread + 1);
    renderMessages();
  },
  27: (e) => {
    const reason = num(e.reason, 0);
    let error;
    if (reason === 1) error = t('left.kicked');
    else if (reason === 0) error = state.joined ? t('left.lost') : t('err.join');
    else error = t('left.ended');
    leaveMeeting(error);
  },
  28: (e) => {
    const status = num(e.status, 0);
    const key = status >= 1 && status <= 3 ? 'conn.' + status : 'conn.other';
    showBanner(t(key, status), status === 2 ? 'info' : 'error');
  },
  29: (e) => { $('busy').hidden = num(e.show, 0) !== 1; },
  30: (e) => addWebLog(str(e.text)),
  31: (e) => { $('insert-volume').value = String(num(e.value, 0)); },
  32: (e) => applyLanguage(str(e.value)),
  33: (e) => { $('opt-viewer').checked = num(e.opt, 0) === 1; },
  34: (e) => {
    const md5 = str(e.md5);
    if (!md5) return;
    const type = num(e.type, 0);
    const size = str(e.size);
    if (type === 0) {
      state.media.set(md5, {url: str(e.url), md5: md5, size: size, height: num(e.height, 360),
                            status: null, total: 0, cur: 0});
      renderMedia();
    } else {
      state.docs.set(md5, {url: str(e.url), md5: md5, size: size, type: type, status: 5,
                           totalpage: 0, curpage: 0});
      renderDocs();
    }
  },
  35: (e) => {
    const m = state.media.get(str(e.md5));
    if (!m) return;
    m.status = num(e.status, 0);
    m.total = Math.max(0, num(e.totaltimes, 0));
    m.cur = Math.max(0, num(e.curtime, 0));
    renderMedia();
  },
  36: (e) => {
    const d = state.docs.get(str(e.md5));
    if (!d) return;
    d.status = num(e.status, d.status);
    d.totalpage = num(e.totalpage, d.totalpage);
    d.curpage = num(e.curpage, d.curpage);
    renderDocs();
  },
  37: () => leaveMeeting(t('err.reconnect')),
  38: (e) => { $('mic-hint').hidden = str(e.isShow) !== '1'; },
  39: (e) => {
    state.cpu = num(e.usage, 0);
    renderTopbar();
  },
};

// The client runs "nativeInvokeJS(<json>); ", so the event arrives as an object; a JSON text
// is accepted too. Anything that is not an event object is ignored.
function nativeInvokeJS(json) {
  let e = json;
  if (typeof json === 'string') {
    try { e = JSON.parse(json); } catch (err) { return; }
  }
  if (!isObject(e) || typeof e.event !== 'number') return;
  const handler = EVENTS[e.event];
  if (!handler) return;
  try {
    handler(e);
  } catch (err) {
    addWebLog('page: event ' + e.event + ' failed: ' + err.message);
  }
}
window.nativeInvokeJS = nativeInvokeJS;

// ---------------------------------------------------------------------------------------------
// Controls

function submitLogin() {
  showError('login-error', '');
  const server = $('login-server').value.trim();
  const room = $('login-room').value.trim();
  const name = $('login-name').value.trim();
  if (server && !/^[^\s:/]+:\d{1,5}$/.test(server)) return showError('login-error', t('err.server'));
  if (!room) return showError('login-error', t('err.room'));
  if (!name) return showError('login-error', t('err.name'));
  if (!$('login-userid').value.trim()) $('login-userid').value = randomId('u');
  if (!$('login-cid').value.trim()) $('login-cid').value = randomId('c');
  const role = parseInt(document.querySelector('input[name=role]:checked').value, 10);
  const data = {
    confid: room,
    sid: $('login-sid').value.trim(),
    username: name,
    userid: $('login-userid').value.trim(),
    cid: $('login-cid').value.trim(),
    owtServer: server,
    role: role,
    liveResolution: $('login-liveres').value,
    videoSourceRatio: $('login-ratio').checked ? 1 : 0,
    guestMicDefault: $('login-guestmic').checked ? 1 : 0,
    liveid: $('login-liveid').value.trim() || room,
    cameraResolution: parseInt($('login-camres').value, 10),
    hostSkin: $('login-skin').checked ? '1' : '0',
  };
  if (!send(Requests.login(data))) return showError('login-error', t('err.noclient'));
  state.login = data;
  state.joining = true;
  $('login-submit').disabled = true;
  $('login-status').textContent = t('login.joining');
}

function bind(id, handler, type) {
  $(id).addEventListener(type || 'click', handler);
}

function wireControls() {
  $('login-form').addEventListener('submit', (ev) => {
    ev.preventDefault();
    submitLogin();
  });
  bind('login-paste', () => send(Requests.pasteInvitation()));

  bind('camera-button', () => {
    const own = ownUser();
    if (!own) return showError('meeting-error', t('err.own'));
    send(Requests.camera(own.id, !isActive(own.videoStatus)));
  });
  bind('mic-button', () => {
    const own = ownUser();
    if (!own) return showError('meeting-error', t('err.own'));
    send(Requests.microphone(own.id, !isActive(own.audioStatus)));
  });
  bind('speaker-button', () => {
    if (send(Requests.speaker(!state.speakerOn))) {
      state.speakerOn = !state.speakerOn;
      renderControls();
    }
  });
  bind('share-button', () => send(Requests.share()));
  bind('settings-button', () => send(Requests.openSettings()));
  bind('beauty-button', () => send(Requests.openBeauty()));
  bind('role-select', () => {
    const role = parseInt($('role-select').value, 10);
    if (send(Requests.changeRole(role)) && state.login) {
      state.login.role = role;
      renderUsers();
    }
  }, 'change');
  bind('net-signal', () => send(Requests.showNetSignal()));
  bind('leave-button', () => {
    if (send(Requests.closeLive(1))) leaveMeeting('');
  });
  bind('close-yes', () => {
    $('close-dialog').hidden = true;
    send(Requests.closeLive(0));
  });
  bind('close-no', () => { $('close-dialog').hidden = true; });

  bind('wall-toggle', () => send(Requests.videoWall($('wall-toggle').checked)), 'change');
  bind('layout-get', () => send(Requests.getLayout()));
  bind('layout-set', () => {
    let layout = null;
    try { layout = JSON.parse($('layout-text').value); } catch (err) { layout = null; }
    if (!isObject(layout)) return showError('meeting-error', t('err.layout'));
    showError('meeting-error', '');
    send(Requests.setLayout(layout));
  });
  const subscribe = (on) => {
    const [w, h] = $('sub-size').value.split('x').map((v) => parseInt(v, 10));
    send(Requests.subscribe(on, w, h, $('sub-audio').checked));
  };
  bind('sub-on', () => subscribe(true));
  bind('sub-off', () => subscribe(false));

  const live = (on) => {
    if (send(Requests.liveRunning(on))) {
      state.liveOn = on;
      renderLive();
    }
  };
  bind('live-start', () => live(true));
  bind('live-stop', () => live(false));
  bind('opt-guestlist', () => send(Requests.guestListOption($('opt-guestlist').checked)), 'change');
  bind('opt-viewer', () => send(Requests.viewerOption($('opt-viewer').checked)), 'change');
  bind('opt-logo', () => send(Requests.showLogo($('opt-logo').checked)), 'change');
  bind('close-streams', () => send(Requests.closeAllStreams()));
  const insert = (start) => {
    const url = $('insert-url').value.trim();
    if (!url) return showError('meeting-error', t('err.url'));
    showError('meeting-error', '');
    send(Requests.mediaShare(start, url, $('insert-muted').checked));
  };
  bind('insert-start', () => insert(true));
  bind('insert-stop', () => insert(false));
  bind('insert-volume', () => send(Requests.setInsertVolume(parseInt($('insert-volume').value, 10))),
       'change');
  bind('insert-volume-get', () => send(Requests.getInsertVolume()));
  bind('link-open', () => {
    const url = $('link-url').value.trim();
    if (!url) return showError('meeting-error', t('err.url'));
    send(Requests.openUrl(url));
  });
  bind('link-live', () => {
    const server = state.login && state.login.owtServer;
    if (!server) return showError('meeting-error', t('err.url'));
    send(Requests.openLivePage('http://' + server + '/live?liveid=' +
                               encodeURIComponent(state.login.liveid)));
  });

  bind('media-pick', () => send(Requests.pickFile(2)));
  bind('media-local', () => send(Requests.localPlayback($('media-local').checked)), 'change');

  bind('doc-pick', () => send(Requests.pickFile(0)));
  bind('doc-next', () => {
    let next = null;
    for (const d of state.docs.values()) if (!next && d.status === 5) next = d;
    send(Requests.document(next ? next.url : '', next ? next.md5 : '', 1));
  });
  // The client hands picked documents and converted archives to this input.
  bind('file-input', () => {
    const files = Array.from($('file-input').files || []);
    $('file-name').textContent = files.map((f) => f.name).join(', ');
  }, 'change');

  bind('push-add', () => {
    const url = $('push-url').value.trim();
    if (!url) return showError('meeting-error', t('push.needurl'));
    showError('meeting-error', '');
    state.pushes.push({id: 'push' + state.nextPushId++, state: 0,
                       platform: $('push-platform').value.trim(), pushStreamUrl: url,
                       resolution: $('push-res').value, result: null});
    sendPushes();
    renderPushes();
  });

  bind('messages-read', () => setUnread(0));
  bind('banner', () => showBanner('', ''));
}

function start() {
  if (/^https?:$/.test(location.protocol)) $('login-server').value = location.host;
  // Documents are handled by the page only when the client says so ("?localDoc=true").
  $('doc-pane').hidden = new URLSearchParams(location.search).get('localDoc') !== 'true';
  wireControls();
  applyLanguage(state.lang);
  showScreen(false);
}

start();
