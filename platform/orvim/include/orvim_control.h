#pragma once

// The control export of OrvimSDK.dll, for tests and developers: JSON in, JSON out.
//
//   int OrvimControl(const char* request, char* answer, int capacity);
//
// |request| is one JSON object {"cmd": "...", ...}. The answer is a JSON object with "ok"
// (true or false) and, on failure, "error". OrvimControl writes at most |capacity| bytes
// (always zero-terminated when |capacity| > 0) and returns the length of the whole answer
// without the terminator: call again with a larger buffer when the result is |capacity| or
// more. That next call from the same thread with the same request gets the answer already
// made (the command does not run again). Thread-safe; must not be called from an SDK callback
// when "wait" is asked.
//
// Commands that concern one service take "service": its number (services are numbered 1, 2,
// ... in creation order within the process); without it, the newest live service.
//
//   services                     the live services: number, tag, address, state, room,
//                                participant id
//   journal [clear]              the service's recorded calls, in order: {"op", "args"}
//   emit callback args [wait]    runs one observer callback with |args| (an object whose keys
//                                are the callback's parameter names) on the service's callback
//                                thread (frames: its remote-frame thread); waits for it unless
//                                "wait" is false. OnCreateSenderSuccess gets a real sender of
//                                the service ("sender_kind" picks it), whose frames are
//                                recorded in the journal.
//   flush                        waits until the service's callback thread is idle
//   devices [action ...]         list (default), add {kind camera|microphone|speaker, id, name,
//                                resolutions [[w, h]...], number, level}, remove {id}, reset.
//                                A removed camera's running streams end before the answer (no
//                                frame of it is delivered after it): not to be asked while
//                                holding a lock that frame observers take
//   level id level               a microphone's level, 0 to 32767
//   camera_rate [id] fps|unpaced a camera's frame rate, or frames as fast as they are taken
//   streams streams              the stream list an offline service answers (media slot 11)
//   users users                  the user list an offline service answers (rtc slot 4)
//   next_create_code code        the code of the service's next OnCreateStreamSuccess
//   fail_next request [code message]
//                                the service's next request of that kind fails: create_stream,
//                                create_sender, publish, subscribe, unsubscribe, release,
//                                mute, stats, login
//   threads                      the number of SDK threads alive in the process
//   tap [drain]                  audio the service received: packets, and per packet the
//                                sender's tag, sample counter, level and stream id
//   tag tag                      the service's tag (drawn by its cameras, sent by its
//                                microphone); by default derived from the user id at login
//   speaker_test_ms ms           time until OnSpeakerTestFinished (default 2000)
//   reconnect_window_ms ms       how long a lost server connection is retried (default 1500)
//   server request [address]     sends |request| to the room server's control connection
//                                (the service's server, or |address|) and answers its answer;
//                                the server's commands are listed in the server's README

extern "C" {
using OrvimControlFunc = int (*)(const char* request, char* answer, int capacity);
}
