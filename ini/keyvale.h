/*
 * keyvale.h - stateless reading and writing of INI files.
 *
 * Every call opens the file by name, scans it line by line, closes it again
 * and returns; nothing is cached and nothing survives a call.  All strings are
 * NUL-terminated byte strings; no encoding is interpreted (the editor passes
 * UTF-8).  No heap memory is used: lines go through 512-byte stack buffers.
 *
 * The format:
 *  - lines end with a line feed; a CR before it is white space, so CR LF files
 *    read like LF files.  White space is every byte from 1 to 32; bytes 128 to
 *    255 are ordinary characters, so UTF-8 names and values are never trimmed.
 *  - a line is read in pieces of at most 511 bytes; a longer line is judged
 *    by its first piece only (the rest is text of that line, never a header
 *    or a key), so reading and writing agree and a rewrite never puts a
 *    line into the middle of another.
 *  - "[name]" starts a section (the name between '[' and the first ']', taken
 *    as it stands); ';' or '#' first starts a comment line; any other line with
 *    '=' (or, when it has none, ':') is "key = value"; other lines are ignored.
 *  - keys before the first section header belong to no section: pass a null
 *    or empty section name to reach them.
 *  - section and key names match by exact length, ignoring the case of ASCII
 *    letters only.  The first matching section, and within it the first
 *    matching key, wins.  An empty name never matches.
 *  - a value loses its leading and trailing white space and an end-of-line
 *    comment (';' or '#' outside double quotes).  A value enclosed in double
 *    quotes loses the quotes, and inside it \" and "" each stand for one ".
 *
 * Writing keeps every byte of the file that the change does not touch
 * (comments, blank lines, spacing, CR LF line ends, unknown keys).  Three
 * levels of cost: a value that is already stored writes nothing; a new key
 * line of exactly the old line's length is written over it in place; anything
 * else copies the file, with the change, to a temporary file beside it (the
 * file's name with its last byte replaced by '~': lyrasil.ini gives
 * lyrasil.in~) that then takes the file's place with one rename; a missing
 * file is created the same way.  Written lines end with a bare line feed and
 * have the form "key=value"; a value holding '"', ';' or '#', or ending in a
 * space, is written in double quotes with each inner '"' as \".
 *
 * The rewrite goes through the replace library (replace.h): the new file is
 * synced, then the folder; a link planted at the temporary name is never
 * followed; the replaced file keeps its permission bits, and a settings file
 * that is a symbolic link is updated through it.  A failure leaves the file
 * as it was and no temporary file behind.  A file whose name already ends in
 * '~' has no temporary name of its own, and a read-only file, one that
 * another writer is rewriting at the same moment or that was replaced while
 * it was being read are not rewritten either (the result is 0).
 *
 * Values, names and defaults longer than a buffer are cut without notice.
 * A file that cannot be opened reads as an empty file.
 */
#ifndef LYRASIL_KEYVALE_H
#define LYRASIL_KEYVALE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Called by ini_browse for every key line, with the section name ("" before
 * the first header), the key, the cleaned value and the caller's pointer.
 * The strings are valid during the call only.  Return non-zero to go on,
 * zero to stop the walk. */
typedef int (*IniBrowseCallback)(const char *Section, const char *Key,
                                 const char *Value, void *UserData);

/* --- reading --- */

/* Copies the value of Key in Section (null or "": no section) into Buffer,
 * cut to BufferSize - 1 bytes; DefValue (null counts as "") when the file or
 * the key is missing.  A key present with an empty value gives "".  Returns
 * the length of the string left in Buffer; 0 without touching anything when
 * Buffer or Key is null or BufferSize is below 1. */
int ini_gets(const char *Section, const char *Key, const char *DefValue,
             char *Buffer, int BufferSize, const char *Filename);

/* The value as a long: hexadecimal when its second byte is 'x' or 'X'
 * ("0x1F"), decimal otherwise; conversion stops at the first unusable byte
 * (text without digits gives 0).  DefValue when missing or empty. */
long ini_getl(const char *Section, const char *Key, long DefValue, const char *Filename);

/* The value as a float (strtod); DefValue when missing or empty. */
float ini_getf(const char *Section, const char *Key, float DefValue, const char *Filename);

/* Judges the first character only: Y, T or 1 give 1, N, F or 0 give 0 (either
 * case); anything else, a missing key or an empty value give DefValue. */
int ini_getbool(const char *Section, const char *Key, int DefValue, const char *Filename);

/* Name of the section number idx (from 0) into Buffer; "" when there is none.
 * Returns the name's length; 0 without touching Buffer when Buffer is null,
 * BufferSize is below 1 or idx is negative. */
int ini_getsection(int idx, char *Buffer, int BufferSize, const char *Filename);

/* Name of the key number idx (from 0) in Section (null or "": the keys before
 * the first header); comment lines are not counted.  Results as
 * ini_getsection. */
int ini_getkey(const char *Section, int idx, char *Buffer, int BufferSize, const char *Filename);

/* Walks every key line of the file in order, calling Callback for each until
 * it returns 0.  Returns 1 when the file was read, 0 when Callback is null or
 * the file cannot be opened. */
int ini_browse(IniBrowseCallback Callback, void *UserData, const char *Filename);

/* --- writing ---
 * Each returns 1 when done and 0 when the file cannot be created, read,
 * written or replaced; after a 0 the file is as it was. */

/* Sets Key in Section to Value, adding the key at the end of its section or
 * the section at the end of the file when missing, and creating a missing
 * file.  A changed key keeps its place.  Value null deletes the key's line;
 * Key null deletes the whole section (header and every line up to the next
 * header).  With neither a section name nor a key nothing is deleted and the
 * result is 1; deleting from a missing file gives 1 too.  Filename must not be
 * null (programming error). */
int ini_puts(const char *Section, const char *Key, const char *Value, const char *Filename);

/* Writes Value in decimal ("-12"). */
int ini_putl(const char *Section, const char *Key, long Value, const char *Filename);

/* Writes Value with six decimals ("0.500000"). */
int ini_putf(const char *Section, const char *Key, float Value, const char *Filename);

#ifdef __cplusplus
}
#endif

#endif
