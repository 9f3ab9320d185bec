/*
 * textbuffer.h - the one process-wide, growable text buffer.
 *
 * The LRC conversions assemble their output here piece by piece, copy the
 * finished text into a block of their own and release the buffer.  There is
 * no handle: the module holds exactly one buffer.
 *
 * Invariants:
 *  - the block is null exactly when the capacity (txtbuf_GetSize) is 0;
 *  - a held block always holds a NUL-terminated string (a fresh block holds
 *    the empty string);
 *  - capacities are 512 times a power of two (512, 1024, 2048, ...);
 *  - the block belongs to this module: only txtbuf_Free gives it back, and
 *    callers never free() what txtbuf_Get returns;
 *  - every conversion starts from an empty buffer and leaves it empty.
 *
 * The module keeps the string's length, so appending costs time linear in
 * the appended text, not in the text assembled so far.  Change the contents
 * through these functions only: a shorter string written into the block
 * by hand would not be noticed.
 *
 * Not thread-safe: every user runs on one thread.
 */
#ifndef LYRASIL_TEXTBUFFER_H
#define LYRASIL_TEXTBUFFER_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* --- life cycle --- */

/* Makes sure a block of at least `size` bytes is held and returns it.
 * The contents so far are kept; new bytes are zero.  Returns null when size
 * is 0 or when memory is exhausted or the size cannot be reached by
 * doubling; the buffer is then unchanged. */
char *txtbuf_Alloc(size_t size);

/* Releases the block; afterwards the buffer is empty.  Harmless when empty. */
void txtbuf_Free(void);

/* --- size and contents --- */

/* Capacity of the held block in bytes (not the string's length); 0 when
 * no block is held. */
size_t txtbuf_GetSize(void);

/* The held block, or null when none is held. */
char *txtbuf_Get(void);

/* Empties the string but keeps the block; does nothing when no block is held. */
void txtbuf_Clear(void);

/* --- appending --- */

/* Appends a NUL-terminated text (must not be null).  Returns 1; 0 when the
 * block cannot be grown, and the contents are then unchanged. */
int txtbuf_Append(const char *text);

/* Appends `len` bytes of `text` (no NUL needed among them; a NUL inside
 * ends the string as usual).  Results as txtbuf_Append. */
int txtbuf_AppendBytes(const char *text, size_t len);

#ifdef __cplusplus
}
#endif

#endif
