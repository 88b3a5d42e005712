// The browser host's calls into its page. The page (index.html) hands each
// instance of the program an object `page` that keeps the canvas, the input
// queue and the sound; these functions only translate between the program's
// memory and that object. Addresses arrive as 32-bit numbers (web_host.h
// checks that they are).
mergeInto(LibraryManager.library, {
  web_screen_width: function() {
    return Module['page']['screenWidth'];
  },
  web_screen_height: function() {
    return Module['page']['screenHeight'];
  },
  web_take_input: function(event) {
    var taken = Module['page']['takeInput']();
    if (!taken) return 0;
    for (var i = 0; i < 5; ++i) HEAP32[(event >> 2) + i] = taken[i] | 0;
    return 1;
  },
  web_tick_measured: function(milliseconds) {
    Module['page']['tickMeasured'](milliseconds);
  },
  web_present: function(window, x, y, width, height, visible, minimized, frame, pixels, rects,
                        rectCount) {
    Module['page']['present'](window, x, y, width, height, !!visible, !!minimized,
                              HEAP32.subarray(frame >> 2, (frame >> 2) + 4),
                              new Uint8ClampedArray(HEAPU8.buffer, pixels, width * height * 4),
                              HEAP32.subarray(rects >> 2, (rects >> 2) + rectCount * 4));
  },
  web_window_gone: function(window) {
    Module['page']['windowGone'](window);
  },
  web_audio_open: function() {
    return Module['page']['audioOpen']() ? 1 : 0;
  },
  web_audio_submit: function(block, data, bytes) {
    Module['page']['audioSubmit'](block, HEAP16.subarray(data >> 1, (data + bytes) >> 1));
  },
  web_audio_reset: function() {
    Module['page']['audioReset']();
  },
  web_audio_close: function() {
    Module['page']['audioClose']();
  },
  web_audio_take_finished: function() {
    return Module['page']['audioTakeFinished']();
  },
});
