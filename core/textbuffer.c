/*
 * textbuffer.c - the one process-wide, growable text buffer.
 */
#define _POSIX_C_SOURCE 200809L /* strnlen */

#include "textbuffer.h"

#include <assert.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define FIRST_BLOCK 512

static char *Buffer;       /* the block, or null */
static size_t BufferSize;  /* capacity of the block; 0 exactly when null */
static size_t BufferLen;   /* length of the string held in the block */

char *txtbuf_Alloc(size_t size)
{
    size_t newsize;
    char *block;

    assert(Buffer == NULL || BufferSize > 0);
    if (size == 0)
        return NULL;
    if (size <= BufferSize) {
        assert(Buffer != NULL);
        return Buffer;
    }
    newsize = BufferSize ? BufferSize : FIRST_BLOCK;
    while (newsize < size) {
        /* A request beyond the largest power-of-two capacity would make
         * the doubling wrap: refuse it and keep the buffer as it is. */
        if (newsize > SIZE_MAX / 2)
            return NULL;
        newsize *= 2;
    }
    block = realloc(Buffer, newsize);
    if (block == NULL)
        return NULL;
    assert(newsize > BufferSize);
    memset(block + BufferSize, 0, newsize - BufferSize);
    Buffer = block;
    BufferSize = newsize;
    return Buffer;
}

void txtbuf_Free(void)
{
    free(Buffer);
    Buffer = NULL;
    BufferSize = 0;
    BufferLen = 0;
}

size_t txtbuf_GetSize(void)
{
    return BufferSize;
}

char *txtbuf_Get(void)
{
    return Buffer;
}

void txtbuf_Clear(void)
{
    if (Buffer != NULL) {
        Buffer[0] = '\0';
        BufferLen = 0;
    }
}

int txtbuf_AppendBytes(const char *text, size_t len)
{
    size_t n;

    assert(text != NULL);
    n = strnlen(text, len);
    if (Buffer != NULL && Buffer[BufferLen] != '\0')
        BufferLen += strlen(Buffer + BufferLen); /* lengthened behind our back */
    if (n > SIZE_MAX - 1 - BufferLen)
        return 0;
    if (txtbuf_Alloc(BufferLen + n + 1) == NULL)
        return 0;
    memcpy(Buffer + BufferLen, text, n);
    BufferLen += n;
    Buffer[BufferLen] = '\0';
    return 1;
}

int txtbuf_Append(const char *text)
{
    assert(text != NULL);
    return txtbuf_AppendBytes(text, strlen(text));
}
