// The browser host's audio sink: the page plays the submitted blocks in order
// through WebAudio at 48 kHz and queues each one it has played in full. The
// blocks go back to the core on the message-loop thread (in host_wait_until),
// because the page cannot call into the program while it waits. A block is
// known to the page by its header's address.
#include "platform/host.h"
#include "platform/web/web_host.h"

extern "C" {
int web_audio_open();
void web_audio_submit(int block, const void* data, int bytes);
void web_audio_reset();
void web_audio_close();
int web_audio_take_finished();
}

bool host_audio_open() {
    return web_audio_open() != 0;
}

void host_audio_submit(WAVEHDR* header) {
    web_audio_submit(page_id(header), header->lpData, static_cast<int>(header->dwBufferLength));
}

void host_audio_reset() {
    web_audio_reset();
}

void host_audio_close() {
    web_audio_close();
}

int web_audio_deliver_finished() {
    int count = 0;
    while (int id = web_audio_take_finished()) {
        platform_audio_block_done(from_page_id<WAVEHDR*>(id));
        ++count;
    }
    return count;
}
