/*
 * sylt.h - the lyrics tag core: ID3v2 tags, SYLT frames and LRC text.
 *
 * Every function works on one tag context, Id3Tag, which the caller owns
 * (usually on the stack).  Life of a context:
 *
 *   empty        id3_init(NULL, &t)           holds nothing (LRC reading only)
 *   no tag       id3_init(fp, &t) == 0        fp; version 0 (or the unsupported
 *                                             version read)
 *   tag opened   id3_init(fp, &t) == 1        fp at the first frame; version,
 *                                             flags, size
 *   frame read   id3_readsylt == 1            sylt/syltsize, and the title,
 *                                             artist, album frames before it
 *   text built   lrc_fromsylt, lrc_read, or   lrc
 *                the caller storing lrc
 *   frame built  lrc_tosylt == 1              a new sylt/syltsize
 *   rewritten    id3_copytag, id3_writesylt,  size counts the new tag; version
 *                id3_appendmp3                4 when a tag was created
 *   closed       id3_close                    no blocks
 *
 * Ownership: fp is borrowed and never closed here.  title, artist, album,
 * sylt, uslt and lrc are malloc'd blocks owned by the context; every function that
 * replaces one frees the old block first, and id3_close frees them all.  A
 * caller may hand over a malloc'd block of its own by storing it in lrc:
 * from then on the context owns it.
 *
 * Texts: every text in and out of the core is UTF-8.  Title, artist, album
 * and SYLT item texts are decoded from the encoding their frame declares
 * (ISO-8859-1 or UTF-8 text that is valid UTF-8 is taken as UTF-8; invalid
 * UTF-16 gives U+FFFD).  LRC files are decoded by lrc_read (UTF-16 with or
 * without a byte order mark, UTF-8 with Windows-1252 bytes among it).  A
 * new SYLT payload declares ISO-8859-1 when all its text is ASCII, UTF-8
 * for a version-4 (or new) tag, and UTF-16 with byte order marks for a
 * version-2 or version-3 tag (see lrc_tosylt).
 *
 * Integer codings: the tag size is always sync-safe.  Frame sizes are 24-bit
 * in version 2, plain 32-bit in version 3 and sync-safe in version 4 (with
 * one exception, see `plainsizes`), whatever the flags say.  The extended
 * header's size counts the bytes after it in version 3 and itself
 * (sync-safe) in version 4.  SYLT time stamps are plain 32-bit big-endian.
 * The time 2147483647 (INT32_MAX) marks an item without a time.
 *
 * The text buffer (textbuffer.h) must be empty when a conversion starts and
 * is empty again when it returns, whatever the result.
 *
 * Results: 1 for success, 0 for failure; nothing is ever printed.  Bad input
 * always gets a result; assertions mark programming errors only.  Every
 * function that takes a context and can fail records in its `reason`
 * field why it returned 0 (see the ID3_E* values), and ID3_OK when it
 * returned 1, so a caller chooses its message from the reason, never from
 * stream flags.
 */
#ifndef LYRASIL_SYLT_H
#define LYRASIL_SYLT_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ID3_NOTIME INT32_MAX          /* time value of an item without a time */
#define ID3_MAXTIME (ID3_NOTIME - 1)  /* the largest time a stamp can hold */
#define ID3_MAXBLOCK 65536            /* the largest blocksize that pads a tag */

/* Why a call on a context returned 0 (Id3Tag.reason).  After ID3_EREAD and
 * ID3_EWRITE, errno holds the failed call's reason (0 when a file simply
 * ended early). */
enum {
    ID3_OK = 0,
    ID3_ENOTAG,      /* id3_init: no ID3v2 tag (no "ID3", a size of 0, no
                        stream) */
    ID3_EVERSION,    /* id3_init, id3_copytag: "ID3" of a version other
                        than 2, 3 or 4 */
    ID3_ETAG,        /* the tag is damaged (id3_init: an extended header
                        that does not fit), or id3_copytag cannot copy it
                        faithfully (see there) */
    ID3_ENOSYLT,     /* id3_readsylt: no SYLT frame before the tag's
                        padding or end, or a damaged frame first;
                        id3_writesylt: no payload to write */
    ID3_ECOMPRESSED, /* id3_readsylt: the first SYLT frame is compressed
                        and none holds lyrics */
    ID3_ESYLT,       /* lrc_fromsylt: a malformed payload, or MPEG-frame
                        times without a readable frame header */
    ID3_ENOTMPEG,    /* id3_ismpeg: what follows the tag is not MPEG audio */
    ID3_ETOOBIG,     /* id3_writesylt: the frame would outgrow a size field;
                        lrc_read, lrc_tosylt: the text or the payload
                        would be larger than any tag can be */
    ID3_EREAD,       /* reading the track or the LRC file failed */
    ID3_EWRITE,      /* writing the output stream failed */
    ID3_ENOMEM       /* memory ran out */
};

typedef struct Id3Tag {
    FILE *fp;          /* the track, opened "rb" by the caller; borrowed */
    int32_t size;      /* tag size after the 10-byte header; while rewriting,
                          the running size of the new tag */
    uint8_t version;   /* 2, 3 or 4; 0 without a tag; 4 for a created tag */
    uint8_t flags;     /* tag header flags: 0x80 unsynchronisation,
                          0x40 extended header */
    char *title;       /* TIT2 / TT2, or the LRC "ti" tag; null when absent */
    char *artist;      /* TPE1 / TP1, or the LRC "ar" tag */
    char *album;       /* TALB / TAL, or the LRC "al" tag */
    unsigned char *sylt; /* SYLT payload (after the frame header), or null */
    int32_t syltsize;  /* bytes in sylt */
    char *lrc;         /* LRC text, inline or row form; null when absent */
    /* Set by id3_init for a version-4 tag whose frame sizes are plain 32-bit
     * rather than sync-safe, as earlier versions of this program wrote them:
     * when read sync-safe its frames do not walk cleanly (to the tag's end,
     * or to padding of zero bytes only) and read plain they do.  A rewrite
     * of such a tag writes every frame size sync-safe, as version 4 has
     * them: kept plain, the new tag could walk cleanly both ways. */
    uint8_t plainsizes;
    /* Set by lrc_read: the lines of the file it skipped, that is the lines
     * that are neither blank (blanks and NUL bytes only), nor tag lines
     * ("[", a name of letters, ":", and a "]" later on), nor lyrics lines
     * (starting with a line stamp lrc_read can read).  "[00:61]x",
     * "[chorus]", "[]" and a line of plain text each count one. */
    int32_t skipped;
    /* Why the last call that can fail failed; ID3_OK after a success. */
    uint8_t reason;
    /* 0 from id3_init.  A caller whose new copy lies on a file system that
     * can share blocks with the old track stores that file system's block
     * size here (up to ID3_MAXBLOCK) before id3_appendmp3, which then pads
     * the new tag so that the audio keeps its offset within a block. */
    uint32_t blocksize;
    /* A USLT (unsynchronised lyrics) payload to write after the new SYLT
     * frame, from lrc_touslt, or null.  While it is set, a rewrite drops
     * the old tag's USLT frame whose descriptor is this program's. */
    unsigned char *uslt;
    int32_t usltsize;
} Id3Tag;

/* --- opening and closing --- */

/* Clears every field of *id3 (without freeing: close a used context first)
 * and stores fp.  Returns 1 when fp starts with an ID3v2 tag of version 2, 3
 * or 4 and a size above 0, the stream then standing at the first frame, and
 * for version 4 decides `plainsizes`; 0 otherwise (a null fp gives an empty
 * context; a track without "ID3" leaves version 0; an unsupported version,
 * a size of 0 or an extended header that does not fit in the tag leave
 * version, flags and size as read).  Reasons: ID3_ENOTAG for no stream, no
 * "ID3" or a size of 0, ID3_EVERSION, ID3_ETAG for the extended header. */
int id3_init(FILE *fp, Id3Tag *id3);

/* Frees title, artist, album, sylt, uslt and lrc and nulls them; the other fields
 * keep their values and the stream stays open.  Safe to call twice. */
void id3_close(Id3Tag *id3);

/* Stores a copy of the size bytes at payload in sylt/syltsize, the old
 * sylt freed: how a caller hands the context a payload it kept (a frame
 * read earlier, to be written again byte for byte).  The caller's bytes
 * stay the caller's.  Returns 0 (ID3_ENOMEM, sylt then null) when memory
 * runs out, or for a size below 1 or above INT32_MAX (ID3_ENOSYLT). */
int id3_setsylt(Id3Tag *id3, const void *payload, size_t size);

/* --- reading a SYLT frame --- */

/* Walks the frames of a tag opened by id3_init (result 1), from its first
 * frame whatever the stream position, keeping the title, artist and album
 * texts it passes (decoded to UTF-8; a text frame of size 0 changes
 * nothing), and loads into sylt/syltsize, the old sylt freed, the payload
 * of the frame a rewrite replaces: the first SYLT (version 2: SLT) frame
 * holding lyrics (content type 1), its walk ending there; or, when no
 * frame holds lyrics, the first SYLT frame of any content, after a walk
 * over the whole tag.  The stream then stands after the frame loaded
 * (after the tag when the tag is unsynchronised as a whole).
 * Payloads are taken as a reader must parse them: unsynchronisation is
 * undone (a version-2 or -3 tag's as a whole, its frame sizes counting the
 * bytes after that, or before it where only that walks cleanly; a
 * version-4 frame's when its format flag or the tag's flag says so), and
 * the bytes that frame flags add in front of the data (group byte,
 * version-4 data length indicator) are skipped.  Encrypted frames are
 * passed over, and so are compressed frames, whose content cannot be read;
 * when the first SYLT frame is compressed and no frame holds lyrics, the
 * result is 0 (ID3_ECOMPRESSED).  Returns 1 when a frame was
 * loaded; 0 when the tag has none before its padding or end, or a damaged
 * frame (a bad identifier, a size that is negative or runs past the tag or
 * the file) ends the walk first (ID3_ENOSYLT), when reading fails
 * (ID3_EREAD), or when memory runs out (ID3_ENOMEM). */
int id3_readsylt(Id3Tag *id3);

/* Reads the title, artist and album texts of the whole tag of a context
 * opened by id3_init (result 1), the last frame of each counting, as the
 * new SYLT frame of a rewrite finds them all before it; SYLT frames are
 * passed over.  Returns 1; 0 when reading fails (ID3_EREAD) or memory
 * runs out (ID3_ENOMEM), the texts read so far kept. */
int id3_readtexts(Id3Tag *id3);

/* Whether the tag of the context's track (id3_init's result 1) holds a USLT
 * frame with this program's descriptor whose payload is uslt byte for
 * byte: a rewrite with that payload would change nothing of it.  0 also
 * when uslt is null or memory runs out. */
int id3_holdsuslt(Id3Tag *id3);

/* --- SYLT payload to LRC text --- */

/* Converts the payload in sylt into LRC text in lrc (the old lrc freed):
 * the inline form ("[00:01.00]Hello<00:01.50> world") when wordstamps is
 * non-zero, the row form (one item per line, join markers " ", "_", "-",
 * "#" after the stamp) when it is 0.  A payload without items gives the
 * empty text.  Time stamps in MPEG frames (format 1) are turned into
 * milliseconds with the frame duration of the context's track, from its
 * first MPEG audio frame (see id3_ismpeg), or failing that the first frame
 * header in the 64 KiB after the tag and any zero bytes.  Times that
 * are negative (top bit set) or too large for a stamp come out as the
 * empty stamp.  Returns 0 for a malformed payload or for MPEG-frame times
 * without a track or frame header (ID3_ESYLT), or for exhausted memory
 * (ID3_ENOMEM); lrc is then unchanged. */
int lrc_fromsylt(Id3Tag *id3, int wordstamps);

/* Whether the SYLT payloads of a and b hold the same items: the same texts
 * (decoded to UTF-8) at the same times in milliseconds, in the same order,
 * whatever their encodings, languages, content types and descriptors.  0
 * as well for a payload that is missing or malformed, or when memory runs
 * out.  Changes nothing in either context. */
int lrc_sameitems(Id3Tag *a, Id3Tag *b);

/* Writes an LRC file: the "ti", "ar", "al" lines for the texts present,
 * "[re:Quorvane Lyrasil]", then lrc unchanged.  Returns 1; 0 (ID3_EWRITE)
 * when the stream reports an error afterwards (the caller still checks its
 * flush and close). */
int lrc_write(FILE *fp, Id3Tag *id3);

/* Recognises one time stamp "[mm:ss.xx]" or "<mm:ss.xx>" starting at ptr.
 * Returns 1 and stores its value in milliseconds through time (when not
 * null); 0 otherwise, storing nothing.  The fraction is the digits right
 * after the point (the first three count); without a point the seconds
 * must be 0 to 59.  A sign is no part of a stamp ("[01:-1.00]" is
 * refused); values from 2147483647 up are refused.
 * The empty stamps "[]" and "<>" are not accepted here. */
int lrc_timestamp(const char *ptr, int32_t *time);

/* Drops every word stamp ("<mm:ss.xx>" and "<>") from the inline-form text
 * in lrc, in place, so that each lyrics line becomes one item at its line
 * stamp: "[00:01.00]Hel<00:01.20>lo <00:01.50>you" becomes
 * "[00:01.00]Hello you".  Players that show every SYLT item on a line of
 * its own then show whole lines.  Nothing happens without lrc. */
void lrc_dropwords(Id3Tag *id3);

/* --- LRC text to SYLT payload --- */

/* Reads an LRC file into lrc as UTF-8 text: the first ti/ar/al tags of the
 * file into title/artist/album (later ones, and every other tag, offset
 * included, are ignored), the lyrics lines (those that start with a line
 * stamp) into lrc, and the count of the other lines into skipped.
 *
 * Decoding: a file starting with a UTF-16 byte order mark (FF FE or FE FF)
 * is UTF-16 of that order, and so is a file without one whose first 4 KiB
 * hold NUL bytes in every other position (at least 4, in a quarter of the
 * byte pairs, and four times as many as in the other positions): ASCII
 * stamps in UTF-16, little-endian when the NULs stand second.  In UTF-16
 * an odd last byte is dropped, a lone surrogate gives U+FFFD and a byte
 * order mark of the other order turns the order from there on.  Any other
 * file is read as UTF-8 where its bytes form valid UTF-8 sequences, each
 * other byte as its Windows-1252 character (the five bytes that code page
 * leaves undefined give U+FFFD).  NUL characters and byte order marks
 * (U+FEFF, also where two files were joined) are dropped wherever they
 * stand, the rest of their line kept.  Lines end at LF, CR LF or a lone
 * CR; no CR reaches lrc.  Leading blanks are skipped; lines of any length
 * are read whole.
 *
 * Line stamps: the form lrc_timestamp accepts, and, with blanks inside the
 * brackets allowed, "[mm:ss:xx]" and "[mm:ss,xx]" (the last number the
 * fraction) and "[h:mm:ss.xx]" (minutes and seconds below 60); a stamp of
 * those other forms is stored as "[mm:ss.xx]" (three fraction digits where
 * the time needs them).  No field may carry a sign.  A line that starts
 * with several line stamps ("[00:12.00][01:30.00]Chorus") stands for one
 * line per stamp, however many, each with the text after the stamps; word
 * stamps in it belong to its first stamp and move with each copy by the
 * difference between the copy's stamp and the first.  The lines are then put in the order of their
 * stamps (stably, so a file in order keeps its order), each ending with a
 * line feed except the file's last line where it had none.
 *
 * Form: the inline form unchanged when wordstamps is 0; the row form, one
 * row per word stamp, otherwise, where a line whose text begins with " ",
 * "-" or "_" gets the "#" marker.
 *
 * Cost: the text is counted before it is built, so memory stays within a
 * few times the file's size and the text's.  Text longer than 256 MiB - 1
 * bytes (what a tag can hold at most) is refused before anything is built.
 *
 * Returns 1 (lrc is left as it was when the file holds no lyrics line); 0
 * when a read fails (ID3_EREAD), memory runs out (ID3_ENOMEM) or the text
 * would be too long (ID3_ETOOBIG), lrc and skipped then unchanged (title,
 * artist and album may have been read). */
int lrc_read(FILE *fp, Id3Tag *id3, int wordstamps);

/* Builds a new SYLT payload from the inline-form text in lrc (which must be
 * present) into sylt/syltsize, the old sylt freed first.  Encoding: 0
 * (ISO-8859-1) for all-ASCII text, stored byte for byte; otherwise 3
 * (UTF-8) for version 4 or a track that gets a new tag, 1 (UTF-16 with a
 * byte order mark on every string) for versions 2 and 3.  lrc should be
 * UTF-8 (lrc_read's always is); a byte that is not part of a valid UTF-8
 * sequence is taken as its Windows-1252 character, lrc itself unchanged.
 * The payload is counted before it is built.  Returns 0, sylt then null,
 * when it would be larger than a tag can be, 256 MiB - 1 bytes
 * (ID3_ETOOBIG), or memory runs out (ID3_ENOMEM). */
int lrc_tosylt(Id3Tag *id3);

/* Builds a USLT payload holding text (UTF-8: the LRC text lyrasil-export
 * writes for the new SYLT frame) into uslt/usltsize, the old uslt freed
 * first: the language and descriptor of lrc_tosylt's payloads, and the
 * encoding its rule gives for this text.  Returns 0 when memory runs out
 * (ID3_ENOMEM) or the payload would be larger than any tag (ID3_ETOOBIG);
 * uslt is then null. */
int lrc_touslt(Id3Tag *id3, const char *text);

/* --- rewriting a track --- */

/* Whether what follows the tag (and a version-4 footer) of the context's
 * track is MPEG audio, for the programs that write tracks.  1 when nothing
 * follows the tag, and when it does not start with the signature of
 * another container (RIFF or RF64, FORM, fLaC, OggS, "ftyp" at offset 4,
 * "MAC ", wvpk, Matroska's 1A 45 DF A3, ASF's 30 26 B2 75 8E 66 CF 11,
 * MThd, .snd, caff, MPCK or MP+, TTA1) and, within 64 KiB of its first byte
 * that is not zero (zero bytes before the first frame are skipped, however
 * many), holds an MPEG audio frame header that the next frame's header
 * confirms: one of the same version, layer and sampling rate where the
 * first frame's length says (anywhere in the next 2881 bytes for the free
 * format), or the end of the file.  An AAC frame in ADTS (the MPEG sync
 * with the layer bits 00) confirmed by the next one before that makes it no
 * MPEG audio.  0 otherwise (ID3_ENOTMPEG), and when the track cannot be
 * read (ID3_EREAD) or memory runs out (ID3_ENOMEM).  The stream position
 * is left undefined. */
int id3_ismpeg(Id3Tag *id3);

/* The three steps that write a new copy of the track to fp (opened "wb",
 * still empty), in this order, on a context opened by id3_init on the old
 * track (its result may have been 0) and holding the new payload:
 *
 * id3_copytag: the tag header (the old one, or a new version-4 header when
 *   the track does not start with "ID3"), the old extended header, and
 *   every old frame but the SYLT frames, or, when the context holds no
 *   payload, every old frame but the SYLT frame replaced (see below); the
 *   old padding is dropped, and so is a version-4 footer (its flag
 *   cleared).  Returns 0, having written nothing worth keeping, when the
 *   old tag cannot be copied faithfully (an unsupported version, an
 *   extended header that does not fit, frames that do not walk cleanly to
 *   padding or to the tag's exact end, padding that holds anything but
 *   zero bytes, more bytes claimed than the file holds, or the tag's
 *   unsynchronisation flag: ID3_ETAG; an unsupported version:
 *   ID3_EVERSION) or when a read or write fails (ID3_EREAD, ID3_EWRITE,
 *   ID3_ENOMEM).  Frames with flags of their own (version-4
 *   unsynchronisation, compression, encryption) are copied byte for byte
 *   with their flags.  In a tag with `plainsizes`, only the frames' size
 *   fields change: they are written sync-safe.
 * id3_writesylt: the new SYLT frame, its size coded as its version has it, the
 *   new USLT frame when the context holds one (id3_copytag then leaves out
 *   the old USLT frame of this program's descriptor; every other USLT frame
 *   stays), then the old SYLT frames kept.  Returns 0 when there is no payload
 *   (ID3_ENOSYLT) or the frame or the tag would outgrow its size field
 *   (ID3_ETOOBIG), nothing written then, or when a read or write fails
 *   (ID3_EREAD, ID3_EWRITE, ID3_ENOMEM).
 * id3_appendmp3: first, when `blocksize` is 2 to ID3_MAXBLOCK and audio
 *   follows the old tag, zero bytes of padding (fewer than blocksize,
 *   counted in the tag's size; none when the size field could not hold
 *   them) that make the new tag end at the old audio's offset modulo
 *   blocksize; then everything of the old file after its tag (and
 *   footer).  Where both streams have descriptors the system copies the
 *   audio (on Linux, copy_file_range: whole blocks are shared where the
 *   file system can, and with the padding their offsets match), and what
 *   it declines is copied in 64 KiB blocks; fp stands at the new file's
 *   end either way.  Returns 0 when a read or write fails.
 *
 * The SYLT frame replaced is the first SYLT frame of the old tag holding
 * lyrics (content type 1) or, when there is none, the first whose payload
 * is the new one byte for byte (a frame read and saved again as it was);
 * otherwise none.  Every other SYLT frame is kept byte for byte, in its
 * order (compressed and encrypted ones among them, as their content cannot
 * be read); the new frame is the first SYLT frame of the new tag, so that
 * id3_readsylt reads it back.  So the new tag holds the old frames other
 * than SYLT frames, the new SYLT frame, then the SYLT frames kept; without
 * a new payload, the old frames less the one replaced, in their order.
 *
 * None of them closes a stream; the caller checks its own flush and close
 * before it puts the new file in place of the old one. */
int id3_copytag(FILE *fp, Id3Tag *id3);
int id3_writesylt(FILE *fp, Id3Tag *id3);
int id3_appendmp3(FILE *fp, Id3Tag *id3);

/* The three steps above in their order, the SYLT frame written only when
 * the context holds a payload (a track saved without lyrics keeps no
 * lyrics frame, and every other SYLT frame).  Returns 1, or 0 with the
 * failed step's reason. */
int id3_rewrite(FILE *fp, Id3Tag *id3);

#ifdef __cplusplus
}
#endif

#endif
