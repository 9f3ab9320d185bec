// Tag reading and SYLT-to-LRC conversion on arbitrary bytes.
//
// The input is a track: its tag is opened and walked, a SYLT frame found in
// it is converted to both LRC forms and written out.  The input is also
// taken as a bare SYLT payload of a context opened on itself, which reaches
// every corner of the payload parser whatever the tag holds (time stamps in
// MPEG frames look for an audio frame header in the same bytes).
//
// Checked: no crash, leak or undefined behaviour; every text the core hands
// out is valid UTF-8; a loaded frame is never reported compressed; the text
// buffer is empty after each conversion.
#include <cstring>

#include "scratch.h"
#include "sylt.h"
#include "textbuffer.h"

static void check_texts(const Id3Tag &t)
{
    for (const char *s : {t.title, t.artist, t.album, t.lrc})
        if (s != nullptr)
            FUZZ_CHECK(scratch::valid_utf8(s));
}

static void convert(Id3Tag &t)
{
    for (int wordstamps : {1, 0}) {
        if (lrc_fromsylt(&t, wordstamps))
            FUZZ_CHECK(t.lrc != nullptr);
        FUZZ_CHECK(txtbuf_GetSize() == 0);
        check_texts(t);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static scratch::MemFile track, sink;
    FILE *fp = track.open_read(data, size);

    Id3Tag t;
    if (id3_init(fp, &t) && id3_readsylt(&t)) {
        FUZZ_CHECK(t.sylt != nullptr && t.syltsize >= 0 && t.reason == ID3_OK);
        convert(t);
        if (t.lrc != nullptr) {
            FILE *out = sink.open_write();
            lrc_write(out, &t);
            std::fclose(out);
        }
    }
    check_texts(t);
    id3_close(&t);

    // The payload is the input itself, lent to the context: it is taken
    // back before id3_close, which would free it.
    Id3Tag p;
    id3_init(fp, &p);
    if (size > 0 && size < INT32_MAX) {
        p.sylt = const_cast<unsigned char *>(data);
        p.syltsize = static_cast<int32_t>(size);
        convert(p);
        p.sylt = nullptr;
    }
    id3_close(&p);
    std::fclose(fp);
    return 0;
}
