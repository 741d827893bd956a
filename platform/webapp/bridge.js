// Page to client: every request the page sends, each with exactly the keys the client reads.
// A request travels as tarvoPostMessage("jsEvent", JSON text of {"event": N, ...keys}).
'use strict';

const Requests = (function () {
  // Returns false (and sends nothing) when the page is not hosted by the client.
  function post(event, keys) {
    if (typeof window.tarvoPostMessage !== 'function') return false;
    window.tarvoPostMessage('jsEvent', JSON.stringify(Object.assign({event: event}, keys)));
    return true;
  }
  const flag = (on) => (on ? 1 : 0);
  return {
    // |data|: confid, sid, username, userid, cid, owtServer (texts), role (number) and the
    // options liveResolution, liveid, hostSkin (texts), videoSourceRatio, guestMicDefault,
    // cameraResolution (numbers).
    login: (data) => post(1, {data: data}),
    openSettings: () => post(2, {opt: 1}),
    openBeauty: () => post(2, {opt: 2}),
    camera: (userId, on) => post(3, {opt: flag(on), id: userId}),
    microphone: (userId, on) => post(4, {opt: flag(on), id: userId}),
    // close 0 also closes the client; any other value only leaves the room.
    closeLive: (close) => post(5, {close: close}),
    share: () => post(6, {opt: 1}),
    unreadCount: (count) => post(7, {unreadMsgCount: count}),
    pasteInvitation: () => post(8, {}),
    showNetSignal: () => post(9, {}),
    liveMode: () => post(10, {status: 1}),
    speaker: (on) => post(11, {opt: flag(on)}),
    videoWall: (on) => post(12, {opt: flag(on)}),
    openUrl: (url) => post(13, {url: url}),
    setLayout: (object) => post(14, {data: object}),
    getLayout: () => post(15, {}),
    mediaShare: (start, url, muted) => post(16, {opt: flag(start), url: url, muted: !!muted}),
    subscribe: (on, width, height, audio) =>
      post(17, {subscrib: flag(on), width: width, height: height, audio: !!audio}),
    pushResult: (url, result, streamId) =>
      post(18, {url: url, result: result, streamId: streamId}),
    // |destinations|: [{id, state, platform, pushStreamUrl, resolution}].
    pushDestinations: (destinations, streamId) =>
      post(19, {data: destinations, streamId: streamId}),
    guestListOption: (on) => post(20, {status: flag(on)}),
    liveRunning: (on) => post(21, {status: flag(on)}),
    closeAllStreams: () => post(22, {status: 1}),
    showLogo: (on) => post(23, {status: flag(on)}),
    openLivePage: (url) => post(24, {url: url}),
    setInsertVolume: (value) => post(25, {opt: value}),
    getInsertVolume: () => post(26, {}),
    viewerOption: (on) => post(27, {status: flag(on)}),
    changeRole: (role) => post(28, {role: role}),
    // 0 a document, 2 a media file.
    pickFile: (kind) => post(29, {opt: kind}),
    localPlayback: (on) => post(30, {status: flag(on)}),
    // status 1 play, 2 pause, 3 stop, 4 seek to |pos| (seconds).
    media: (m) => post(31, {url: m.url, md5: m.md5, height: m.height, status: m.status,
                            volume: m.volume, pos: m.pos, muted: !!m.muted}),
    // opt 1 convert the next waiting document, 2 cancel, 3 remove its pages.
    document: (url, md5, opt) => post(32, {url: url, md5: md5, opt: opt, x: 0, y: 0}),
  };
})();
