// Drives the page in a frame the way the client does: events go in as the script
// "nativeInvokeJS(<json>); " with the JSON texts the client prints, and every request the page
// sends is caught by a recorder standing in for the client's tarvoPostMessage.
//
// Query: lang=<the language the page must start in> (default en-US);
//        selfcheck=fail adds one failing check, to prove the runner notices failures.
'use strict';

const params = new URLSearchParams(location.search);
const failures = [];
// The engine's own start entry is in the history before the harness loads; the page's frame
// must add none to it.
const historyAtStart = history.length;
let checks = 0;

function check(name, ok, detail) {
  checks++;
  if (!ok) failures.push(name + (detail === undefined ? '' : ': ' + detail));
}

function eq(name, actual, expected) {
  const a = JSON.stringify(actual);
  const e = JSON.stringify(expected);
  check(name, a === e, 'got ' + a + ', want ' + e);
}

// JSON text with object keys sorted, so that two requests compare by content.
function canonical(value) {
  if (Array.isArray(value)) return '[' + value.map(canonical).join(',') + ']';
  if (value && typeof value === 'object') {
    return '{' + Object.keys(value).sort().map((k) => JSON.stringify(k) + ':' +
                                                      canonical(value[k])).join(',') + '}';
  }
  return JSON.stringify(value);
}

function finish() {
  const list = document.getElementById('failures');
  failures.forEach((f) => {
    const item = document.createElement('li');
    item.className = 'fail';
    item.textContent = f;
    list.appendChild(item);
  });
  document.getElementById('verdict').textContent =
      failures.length ? 'FAIL ' + failures.length + ' of ' + checks : 'PASS ' + checks;
}

function run(frame) {
  const w = frame.contentWindow;
  const d = w.document;
  const $ = (id) => d.getElementById(id);
  const text = (id) => $(id).textContent;
  const visible = (id) => !$(id).hidden && w.getComputedStyle($(id)).display !== 'none';
  let sent = [];
  w.tarvoPostMessage = (key, value) => { sent.push({key: key, value: value}); };

  const fire = (json) => w.eval('nativeInvokeJS(' + json + '); ');
  const click = (id) => $(id).click();
  const setValue = (id, value) => {
    $(id).value = value;
    $(id).dispatchEvent(new w.Event('change'));
  };
  const toggle = (id) => {
    $(id).checked = !$(id).checked;
    $(id).dispatchEvent(new w.Event('change'));
  };
  // Runs |action| and checks that it sent exactly the requests |expected| (objects), in order.
  function requests(name, action, expected) {
    sent = [];
    action();
    const got = sent.map((m) => (m.key === 'jsEvent' && typeof m.value === 'string'
                                     ? canonical(JSON.parse(m.value))
                                     : 'bad message ' + JSON.stringify(m)));
    eq(name, got, expected.map(canonical));
  }
  const none = (name, action) => requests(name, action, []);
  const onTop = (where) => {
    const hit = d.elementFromPoint(1, 1);
    check('the file input is the element at (1, 1) ' + where, hit === $('file-input'),
          hit ? hit.tagName + '#' + hit.id : 'nothing');
  };

  // --- First load: one document, no history entry, the start language.
  eq('no history entry before the first load ends', w.history.length, historyAtStart);
  const lang = params.get('lang') || 'en-US';
  const titles = {'en-US': 'Join a meeting', 'zh-CN': '加入会议', 'zh-TW': '加入會議'};
  eq('the page starts in the language of its locale', text('login-screen').includes(titles[lang]),
     true);
  eq('documents are shown with ?localDoc=true', $('doc-pane').hidden, false);
  check('the login form is shown first', visible('login-screen') && !visible('meeting-screen'));
  onTop('on the login form');

  // --- Language event: the three languages, in either spelling.
  for (const [value, title] of [['zh-CN', '加入会议'], ['zh-TW', '加入會議'], ['zh_CN', '加入会议'],
                                ['en-US', 'Join a meeting']]) {
    fire('{"event":32,"value":"' + value + '"}');
    eq('language event ' + value, d.querySelector('#login-form h1').textContent, title);
  }

  // --- Login: plain-words errors, nothing sent for a bad form.
  setValue('login-server', '');
  none('no login without a room number', () => click('login-submit'));
  eq('missing room number error', text('login-error'), 'Enter the room number.');
  setValue('login-room', '4711');
  none('no login without a name', () => click('login-submit'));
  eq('missing name error', text('login-error'), 'Enter your name.');
  setValue('login-server', 'bad host');
  setValue('login-name', 'Bo');
  none('no login with a malformed server address', () => click('login-submit'));
  eq('server address error', text('login-error'), 'Enter the server address (host:port).');

  // Login details from the client fill the form; autoLogin false sends nothing.
  none('login details without autoLogin send nothing', () => fire(
      '{"event":15,"liveId":"l","pwd":"p","guestId":"","nickName":"n","thirdPartyId":"t",' +
      '"remarksInfo":"r","autoLogin":false}'));
  eq('login details fill the room', $('login-room').value, 'l');
  eq('login details fill the name', $('login-name').value, 'n');

  // Outside the client the page says so.
  const post = w.tarvoPostMessage;
  delete w.tarvoPostMessage;
  setValue('login-server', '127.0.0.1:7777');
  click('login-submit');
  eq('outside the client the page says nothing was sent', text('login-error'),
     'This page is not running inside the client, so nothing was sent.');
  w.tarvoPostMessage = post;

  setValue('login-room', '4711');
  setValue('login-name', 'Bo <b>');
  setValue('login-userid', 'u1');
  setValue('login-cid', 'c1');
  setValue('login-liveid', 'L9');
  d.querySelector('input[name=role][value="1"]').checked = true;
  const loginData = {
    confid: '4711', sid: '1', username: 'Bo <b>', userid: 'u1', cid: 'c1',
    owtServer: '127.0.0.1:7777', role: 1, liveResolution: 'HD', videoSourceRatio: 0,
    guestMicDefault: 1, liveid: 'L9', cameraResolution: 720, hostSkin: '0'};
  requests('login request', () => click('login-submit'), [{event: 1, data: loginData}]);
  check('the join button waits for the answer', $('login-submit').disabled);

  // A failed join (the client gives up its login retries) is said in plain words.
  fire('{"event":27,"reason":0,"origin":""}');
  eq('join failure', text('login-error'),
     'Could not join the room. Check the room number and the server address.');
  check('the form can be sent again', !$('login-submit').disabled);

  // Auto login from the client's login details sends the login at once.
  requests('auto login', () => fire(
      '{"event":15,"liveId":"4711","pwd":"","guestId":"","nickName":"Bo <b>",' +
      '"thirdPartyId":"","remarksInfo":"","autoLogin":true}'), [{event: 1, data: Object.assign(
      {}, loginData, {liveid: '4711'})}]);

  // --- Joined: the meeting, and the live look asked of the client.
  requests('joining asks for the live look', () => fire('{"event":11,"gid":"g1","gcid":"gc1"}'),
           [{event: 10, status: 1}]);
  check('the meeting is shown after the join', visible('meeting-screen') && !visible('login-screen'));
  onTop('in the meeting');

  // --- Participants: the exact user object the client prints; other people's text as text.
  const alice = '{"event":13,"name":"\u738b","id":"id1","gId":"g","gcId":"gc",' +
                '"audioStatus":"active","videoStatus":"inactive","platform":"win","streamId":"s1",' +
                '"uid":"u1","cid":"c1"}';
  fire(alice);
  const hostile = '<img src=x onerror="parent.pageHacked=1">&amp;';
  fire('{"event":13,"name":' + JSON.stringify(hostile) + ',"id":"id2","gId":"g","gcId":"gc",' +
       '"audioStatus":"unuserful","videoStatus":"active","platform":"web","streamId":"s2","uid":"u2",' +
       '"cid":"c2"}');
  eq('two participants', $('user-list').children.length, 2);
  eq('own name', d.querySelector('#user-list li[data-id="id1"] .name').textContent, '\u738b');
  eq('a name with markup is shown as text',
     d.querySelector('#user-list li[data-id="id2"] .name').textContent, hostile);
  eq('no element made from a name', $('user-list').querySelectorAll('img').length, 0);
  eq('camera state from the user record', text('camera-button'), 'Camera: off');
  eq('microphone state from the user record', text('mic-button'), 'Microphone: on');
  requests('camera on for the own user', () => click('camera-button'),
           [{event: 3, opt: 1, id: 'id1'}]);
  requests('microphone off for the own user', () => click('mic-button'),
           [{event: 4, opt: 0, id: 'id1'}]);
  fire(alice.replace('"videoStatus":"inactive"', '"videoStatus":"active"'));
  eq('camera state follows the user event', text('camera-button'), 'Camera: on');
  eq('another participant: camera active, microphone unusable',
     [d.querySelector('#user-list li[data-id="id2"] .cam').textContent,
      d.querySelector('#user-list li[data-id="id2"] .mic').textContent], ['camera on', 'mic off']);
  requests('camera off once on', () => click('camera-button'), [{event: 3, opt: 0, id: 'id1'}]);
  requests('the host turns off another participant\'s camera',
           () => d.querySelector('#user-list li[data-id="id2"] .user-cam').click(),
           [{event: 4 - 1, opt: 0, id: 'id2'}]);
  requests('the host turns on another participant\'s microphone',
           () => d.querySelector('#user-list li[data-id="id2"] .user-mic').click(),
           [{event: 4, opt: 1, id: 'id2'}]);
  fire('{"event":14,"id":"id2","uid":"u2","cid":"c2"}');
  eq('a participant who left is gone', $('user-list').querySelectorAll('[data-id="id2"]').length, 0);

  // The list in pages of 1000: 2500 users in three events, then a new empty list.
  const page = (from, count) => '{"event":12,"list":[' + Array.from({length: count}, (_, i) =>
      '{"name":"n","id":"user' + String(from + i).padStart(4, '0') + '","gId":"g","gcId":"gc",' +
      '"audioStatus":"","videoStatus":"","platform":"win","streamId":"s","uid":"x","cid":"y"}')
      .join(',') + ']}';
  fire(page(0, 1000));
  fire(page(1000, 1000));
  fire(page(2000, 500));
  eq('2500 users from three pages', $('user-list').children.length, 2500);
  fire(page(0, 3));
  eq('a later list replaces the earlier one', $('user-list').children.length, 3);
  fire('{"event":12,"list":[]}');
  eq('an empty room empties the list', $('user-list').children.length, 0);
  fire(page(0, 1000));
  eq('exactly 1000 users in one event', $('user-list').children.length, 1000);
  fire('{"event":12,"list":[]}');
  eq('an empty list after a full page is a new, empty list', $('user-list').children.length, 0);
  fire('{"event":12,"list":[' + alice.replace('"event":13,', '') + ', 7, {"id": 5}]}');
  eq('malformed entries of the list are skipped', $('user-list').children.length, 1);

  // --- Every other event, with the text the client prints.
  check('no close question before the event', !visible('close-dialog'));
  fire('{"event":8}');
  check('close button asks first', visible('close-dialog'));
  onTop('over the close question');
  none('staying sends nothing', () => click('close-no'));
  check('staying closes the question', !visible('close-dialog'));

  fire('{"event":9,"ret":-3}');
  eq('device error', text('meeting-error'), 'The camera could not be opened (code -3).');
  fire('{"event":9,"ret":1}');
  eq('device success clears the error', text('meeting-error'), '');

  // The client's level counts down: 0 good, 2 poor.
  fire('{"event":16,"netlevel":"2"}');
  eq('network level 2', [$('net-signal').dataset.level, text('net-text')], ['0', 'Poor network']);
  fire('{"event":16,"netlevel":"1"}');
  eq('network level 1', [$('net-signal').dataset.level, text('net-text')], ['1', 'Fair network']);
  fire('{"event":16,"netlevel":"0"}');
  eq('network level 0', [$('net-signal').dataset.level, text('net-text')], ['2', 'Good network']);

  fire('{"event":17,"mediaShareType":2,"uid":"u1"}');
  eq('screen share by a named participant', text('share-label'), '\u738b is sharing the screen');
  fire('{"event":17,"mediaShareType":1,"uid":" "}');
  eq('media share by nobody known', text('share-label'), '? is playing a media file');
  fire('{"event":17,"mediaShareType":0,"uid":"u1"}');
  eq('share ended', text('share-label'), '');

  fire('{"event":18,"list":[{"index":2,"isFixed":"false","hasCamera":"true","left":"0.50",' +
       '"top":"0.00","width":"0.33","height":"1.00","stream_id":"s","userName":"n",' +
       '"userId":"u"}]}');
  const tile = d.querySelector('#wall .tile');
  check('a layout tile', tile !== null);
  if (tile) {
    eq('layout tile place', [tile.textContent, tile.style.left, tile.style.width,
                             tile.classList.contains('camera')], ['n', '50%', '33%', true]);
  }
  fire('{"event":19,"data":"{\\"a\\":1}"}');
  eq('layout data', $('layout-text').value, '{"a":1}');

  fire('{"event":20,"opt":0}');
  eq('window zoom', text('zoom-label'), 'Window minimised');

  fire('{"event":21,"url":"rtmp://a/b","platform":"\u6296\u97f3","width":1280,"height":720}');
  fire('{"event":21,"url":"rtmp://a/b","platform":"\u6296\u97f3","width":1280,"height":720,' +
       '"streamId":"st9"}');
  eq('push destinations from the settings window', $('push-list').children.length, 2);
  const pushRow = d.querySelector('#push-list li[data-id="st9"]');
  check('push destination with its stream id', pushRow !== null);
  if (pushRow) {
    eq('push destination fields', [pushRow.querySelector('.platform').textContent,
                                   pushRow.querySelector('.res').textContent], ['\u6296\u97f3', 'HD']);
  }

  fire('{"event":22,"opt":1}');
  eq('guest list option', $('opt-guestlist').checked, true);
  fire('{"event":23}');
  eq('settings opened', text('settings-label'), 'Settings are open');
  fire('{"event":24,"opt":1}');
  eq('push state on', text('push-state'), 'Pushing');
  fire('{"event":24,"opt":0,"streamId":"x"}');
  eq('push state off with id', text('push-state'), 'Not pushing (x)');

  requests('a message counts as unread for the share toolbar',
           () => fire('{"event":25,"msg":"\u4e0a\u4f20 \\"ok\\"","status":2}'),
           [{event: 7, unreadMsgCount: 1}]);
  eq('status message as text', $('message-list').lastChild.textContent, '\u4e0a\u4f20 "ok"');
  eq('a refusal is shown in the banner', [visible('banner'), text('banner')],
     [true, '\u4e0a\u4f20 "ok"']);
  requests('reading the messages', () => click('messages-read'), [{event: 7, unreadMsgCount: 0}]);

  fire('{"event":28,"status":1}');
  eq('connection lost', text('banner'), 'Connection lost. Reconnecting…');
  fire('{"event":28,"status":3}');
  eq('reconnect failed', text('banner'), 'Reconnecting failed.');

  fire('{"event":29,"show":1}');
  check('busy while the client handles a command', visible('busy'));
  onTop('over the busy cover');
  fire('{"event":29,"show":0}');
  check('not busy afterwards', !visible('busy'));

  fire('{"event":30,"text":"win_client: a\\nb"}');
  eq('web log line', $('web-log').lastChild.textContent, 'win_client: a\nb');
  fire('{"event":31,"value":80}');
  eq('insert volume', $('insert-volume').value, '80');
  fire('{"event":33,"opt":1}');
  fire('{"event":33,"opt":0}');
  eq('viewer option', $('opt-viewer').checked, false);

  fire('{"event":34,"url":"C:/v.mp4","md5":"m","size":"5000000000","type":0,"height":360}');
  fire('{"event":34,"url":"C:/d.ppt","md5":"m","size":"7","type":1}');
  fire('{"event":34,"url":"C:/e.pdf","md5":"d","size":"7","type":2}');
  eq('a media file', d.querySelectorAll('#media-list li').length, 1);
  eq('two documents', d.querySelectorAll('#doc-list li').length, 2);
  fire('{"event":35,"md5":"m","status":1,"totaltimes":300,"curtime":12}');
  const mediaRow = d.querySelector('#media-list li[data-md5="m"]');
  eq('playback progress', [mediaRow.querySelector('.state').textContent,
                           mediaRow.querySelector('.time').textContent,
                           mediaRow.querySelector('progress').value], ['playing', '12 / 300', 12]);
  fire('{"event":36,"md5":"d","status":2,"totalpage":12,"curpage":1}');
  const docRow = d.querySelector('#doc-list li[data-md5="d"]');
  eq('document converted', [docRow.querySelector('.state').textContent,
                            docRow.querySelector('.pages').textContent],
     ['converted', 'page 1 of 12']);
  fire('{"event":36,"md5":"m","status":-1,"totalpage":0,"curpage":0}');
  eq('document failed', d.querySelector('#doc-list li[data-md5="m"] .state').textContent,
     'conversion failed');

  fire('{"event":38,"isShow":"1"}');
  check('microphone hint shown', visible('mic-hint'));
  fire('{"event":38,"isShow":"0"}');
  check('microphone hint hidden', !visible('mic-hint'));
  fire('{"event":39,"usage":93}');
  eq('processor usage', text('cpu-label'), 'CPU 93%');

  // The printer's layout (line breaks and tabs) means nothing to the page.
  fire('{\n\t"event":\t39,\n\t"usage":\t7\n}');
  eq('formatted event text', text('cpu-label'), 'CPU 7%');

  // Events the client never sends, and malformed ones, change nothing and throw nothing.
  const before = d.getElementById('meeting-screen').innerHTML;
  let thrown = '';
  for (const bad of ['{"event":10}', '{"event":26}', '{"event":40}', '{"event":"8"}', '{}',
                     'null', '"{\\"event\\":8"', '[8]', '{"event":12,"list":"x"}',
                     '{"event":35,"md5":"nope","status":1}']) {
    try { fire(bad); } catch (e) { thrown += bad + ' ' + e.message + '; '; }
  }
  eq('bad events throw nothing', thrown, '');
  check('bad events change nothing', d.getElementById('meeting-screen').innerHTML === before &&
        !visible('close-dialog'));
  fire('"{\\"event\\":39,\\"usage\\":55}"');
  eq('an event as a JSON text works too', text('cpu-label'), 'CPU 55%');

  // --- Every control sends its request with exactly the keys the client reads.
  const own = {event: 19, streamId: 's1'};
  const rows = [
    ['share', () => click('share-button'), [{event: 6, opt: 1}]],
    ['settings', () => click('settings-button'), [{event: 2, opt: 1}]],
    ['beauty settings', () => click('beauty-button'), [{event: 2, opt: 2}]],
    ['speaker off', () => click('speaker-button'), [{event: 11, opt: 0}]],
    ['speaker on', () => click('speaker-button'), [{event: 11, opt: 1}]],
    ['network signal window', () => click('net-signal'), [{event: 9}]],
    ['role change', () => setValue('role-select', '2'), [{event: 28, role: 2}]],
    ['video wall on', () => toggle('wall-toggle'), [{event: 12, opt: 1}]],
    ['get layout', () => click('layout-get'), [{event: 15}]],
    ['set layout', () => { $('layout-text').value = '{"mode": 3}'; click('layout-set'); },
     [{event: 14, data: {mode: 3}}]],
    ['no layout from a non-object', () => { $('layout-text').value = '[1]'; click('layout-set'); },
     []],
    ['receive the live picture', () => click('sub-on'),
     [{event: 17, subscrib: 1, width: 1280, height: 720, audio: true}]],
    ['stop receiving', () => { setValue('sub-size', '640x360'); click('sub-off'); },
     [{event: 17, subscrib: 0, width: 640, height: 360, audio: true}]],
    ['start live', () => click('live-start'), [{event: 21, status: 1}]],
    ['stop live', () => click('live-stop'), [{event: 21, status: 0}]],
    ['guest list option', () => toggle('opt-guestlist'), [{event: 20, status: 0}]],
    ['viewer option', () => toggle('opt-viewer'), [{event: 27, status: 1}]],
    ['logo option', () => toggle('opt-logo'), [{event: 23, status: 1}]],
    ['stop all streams', () => click('close-streams'), [{event: 22, status: 1}]],
    ['no insert without an address', () => click('insert-start'), []],
    ['insert a media address', () => { $('insert-url').value = 'rtmp://m/1'; click('insert-start'); },
     [{event: 16, opt: 1, url: 'rtmp://m/1', muted: false}]],
    ['stop inserting, muted', () => { $('insert-muted').checked = true; click('insert-stop'); },
     [{event: 16, opt: 0, url: 'rtmp://m/1', muted: true}]],
    ['insert volume', () => setValue('insert-volume', '50'), [{event: 25, opt: 50}]],
    ['read the insert volume', () => click('insert-volume-get'), [{event: 26}]],
    ['no link without an address', () => click('link-open'), []],
    ['open a link', () => { $('link-url').value = 'https://x.test/a?b=1'; click('link-open'); },
     [{event: 13, url: 'https://x.test/a?b=1'}]],
    ['open the live page', () => click('link-live'),
     [{event: 24, url: 'http://127.0.0.1:7777/live?liveid=4711'}]],
    ['pick a media file', () => click('media-pick'), [{event: 29, opt: 2}]],
    ['pick a document', () => click('doc-pick'), [{event: 29, opt: 0}]],
    ['local playback off', () => toggle('media-local'), [{event: 30, status: 0}]],
    ['play', () => d.querySelector('#media-list .media-play').click(),
     [{event: 31, url: 'C:/v.mp4', md5: 'm', height: 360, status: 1, volume: 100, pos: 0,
       muted: false}]],
    ['pause', () => d.querySelector('#media-list .media-pause').click(),
     [{event: 31, url: 'C:/v.mp4', md5: 'm', height: 360, status: 2, volume: 100, pos: 0,
       muted: false}]],
    ['seek, muted, quieter', () => {
      setValue('media-volume', '30');
      $('media-muted').checked = true;
      d.querySelector('#media-list .media-pos').value = '42';
      d.querySelector('#media-list .media-seek').click();
    }, [{event: 31, url: 'C:/v.mp4', md5: 'm', height: 360, status: 4, volume: 30, pos: 42,
         muted: true}]],
    ['stop', () => d.querySelector('#media-list .media-stop').click(),
     [{event: 31, url: 'C:/v.mp4', md5: 'm', height: 360, status: 3, volume: 30, pos: 0,
       muted: true}]],
    ['convert the next document', () => click('doc-next'), []],
    ['remove a converted document\'s pages',
     () => d.querySelector('#doc-list li[data-md5="d"] .doc-clear').click(),
     [{event: 32, url: 'C:/e.pdf', md5: 'd', opt: 3, x: 0, y: 0}]],
    ['paste an invitation', () => click('login-paste'), [{event: 8}]],
    ['add a push destination', () => {
      $('push-platform').value = 'P';
      $('push-url').value = 'rtmp://p/1';
      setValue('push-res', 'UD');
      click('push-add');
    }, [Object.assign({}, own, {data: [
      {id: 'push1', state: 0, platform: '\u6296\u97f3', pushStreamUrl: 'rtmp://a/b', resolution: 'HD'},
      {id: 'st9', state: 0, platform: '\u6296\u97f3', pushStreamUrl: 'rtmp://a/b', resolution: 'HD'},
      {id: 'push2', state: 0, platform: 'P', pushStreamUrl: 'rtmp://p/1', resolution: 'UD'}]})]],
    ['report a push result', () => d.querySelector('#push-list li[data-id="push2"] .push-ok').click(),
     [{event: 18, url: 'rtmp://p/1', result: 1, streamId: 'push2'}]],
    ['report a push failure',
     () => d.querySelector('#push-list li[data-id="st9"] .push-fail').click(),
     [{event: 18, url: 'rtmp://a/b', result: 0, streamId: 'st9'}]],
    ['remove a push destination',
     () => d.querySelector('#push-list li[data-id="push1"] .push-remove').click(),
     [Object.assign({}, own, {data: [
       {id: 'st9', state: 0, platform: '\u6296\u97f3', pushStreamUrl: 'rtmp://a/b', resolution: 'HD'},
       {id: 'push2', state: 0, platform: 'P', pushStreamUrl: 'rtmp://p/1', resolution: 'UD'}]})]],
  ];
  // The document list has no waiting document here; one arrives for the next row.
  for (const [name, action, expected] of rows) {
    if (name === 'convert the next document') {
      fire('{"event":34,"url":"C:/w.doc","md5":"w","size":"1","type":1}');
      expected.push({event: 32, url: 'C:/w.doc', md5: 'w', opt: 1, x: 0, y: 0});
    }
    requests(name, action, expected);
  }
  eq('push results shown', [
    d.querySelector('#push-list li[data-id="push2"] .result').textContent,
    d.querySelector('#push-list li[data-id="st9"] .result').textContent], ['pushing', 'failed']);
  eq('removed pages leave the list', d.querySelectorAll('#doc-list li[data-md5="d"]').length, 0);
  requests('cancel a waiting document',
           () => d.querySelector('#doc-list li[data-md5="w"] .doc-cancel').click(),
           [{event: 32, url: 'C:/w.doc', md5: 'w', opt: 2, x: 0, y: 0}]);

  // --- The file input the client fills after a pick or a conversion.
  const transfer = new w.DataTransfer();
  transfer.items.add(new w.File(['zip'], 'd_zip.zip'));
  $('file-input').files = transfer.files;
  $('file-input').dispatchEvent(new w.Event('change'));
  eq('the received file is named', text('file-name'), 'd_zip.zip');

  // --- Leaving, being removed, the client giving up, and closing.
  fire('{"event":28,"status":2}');
  eq('connection restored', [visible('banner'), text('banner')], [true, 'Connection restored.']);
  requests('leave', () => click('leave-button'), [{event: 5, close: 1}]);
  check('leaving shows the login form', visible('login-screen') && !visible('meeting-screen'));
  check('no banner of the meeting is left', !visible('banner'));
  fire('{"event":11,"gid":"g1","gcid":"gc1"}');
  fire('{"event":27,"reason":1,"origin":"kick"}');
  eq('removed from the room', text('login-error'), 'You were removed from the room.');
  fire('{"event":11,"gid":"g1","gcid":"gc1"}');
  fire('{"event":27,"reason":0,"origin":""}');
  eq('connection lost for good', text('login-error'),
     'The connection to the room was lost and could not be restored.');
  fire('{"event":11,"gid":"g1","gcid":"gc1"}');
  fire('{"event":37}');
  eq('reconnecting given up', text('login-error'),
     'The client stopped trying to reconnect. Please join again.');
  fire('{"event":8}');
  requests('close the client', () => click('close-yes'), [{event: 5, close: 0}]);

  fire('{"event":32,"value":"zh-TW"}');
  eq('errors in the chosen language', d.querySelector('#login-form h1').textContent, '加入會議');

  eq('no history entry after all of it', w.history.length, historyAtStart);
  check('no markup from any text ran', w.parent.pageHacked === undefined);

  if (params.get('selfcheck') === 'fail') check('deliberately failing check', false, 'as asked');
}

// Called by the frame's load event (the frame loads its page straight from its src attribute,
// so that the harness itself adds no history entry).
function harnessRun(frame) {
  try {
    run(frame);
  } catch (e) {
    check('the harness ran to its end', false, e && e.stack ? e.stack : String(e));
  }
  finish();
}
