/*
 * keyvale.c - stateless reading and writing of INI files (see keyvale.h).
 *
 * One scanning routine, getkeystring, serves every read and the writer's first
 * probe.  The writer copies the file to a temporary file line by line, but
 * never holds the copied text between lines: it keeps only where the not yet
 * copied text starts in the source (mark) and how many bytes are pending, and
 * reads that block again from the source when it writes it out.
 */
#define _POSIX_C_SOURCE 200809L

#include "keyvale.h"
#include "replace.h"

#include <assert.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#define INI_LINE_BUFFER 512

enum quote_option {
  COPY_PLAIN = 0,         /* bytes as they are */
  COPY_ADD_QUOTES = 1,    /* "text", each inner " written as \" */
  COPY_REMOVE_QUOTES = 2  /* \" and "" each become one " */
};

/* --- strings --- */

/* Bytes 1 to 32 are white space; 128 to 255 are ordinary characters, so the
 * bytes of UTF-8 characters are never trimmed. */
static int iswhite(char c)
{
  unsigned char u = (unsigned char)c;
  return u > 0 && u <= ' ';
}

static char *skipleading(const char *str)
{
  assert(str != NULL);
  while (iswhite(*str))
    str++;
  return (char *)str;
}

/* Walks back from p over white space, but not before base. */
static char *skiptrailing(const char *p, const char *base)
{
  assert(p != NULL);
  assert(base != NULL);
  while (p > base && iswhite(p[-1]))
    p--;
  return (char *)p;
}

static char *striptrailing(char *str)
{
  char *ptr = skiptrailing(strchr(str, '\0'), str);
  *ptr = '\0';
  return str;
}

/* Bounded copy of at most maxlen - 1 bytes plus the terminator.  dest may lie
 * inside source only at or before its start (the copy runs forwards). */
static char *save_strncpy(char *dest, const char *source, size_t maxlen, enum quote_option option)
{
  size_t d = 0;

  assert(maxlen > 0);
  assert(dest <= source || dest >= source + maxlen);
  if (option == COPY_ADD_QUOTES && maxlen <= 2)
    option = COPY_PLAIN;
  switch (option) {
  case COPY_PLAIN:
    while (d < maxlen - 1 && source[d] != '\0') {
      dest[d] = source[d];
      d++;
    }
    break;
  case COPY_ADD_QUOTES:
    /* Room is kept for the closing quote, and an escape is never split. */
    dest[d++] = '"';
    while (*source != '\0' && d < maxlen - 2) {
      if (*source == '"') {
        if (d >= maxlen - 3)
          break;
        dest[d++] = '\\';
      }
      dest[d++] = *source++;
    }
    dest[d++] = '"';
    break;
  case COPY_REMOVE_QUOTES:
    while (*source != '\0' && d < maxlen - 1) {
      if ((*source == '"' || *source == '\\') && source[1] == '"')
        source++;
      dest[d++] = *source++;
    }
    break;
  default:
    assert(option == COPY_PLAIN || option == COPY_ADD_QUOTES || option == COPY_REMOVE_QUOTES);
  }
  dest[d] = '\0';
  return dest;
}

/* Cuts an end-of-line comment and trailing white space off a raw value and
 * removes enclosing quotes; returns the value's start and the copy mode. */
static char *cleanstring(char *string, enum quote_option *quotes)
{
  int isstring = 0;
  char *ep;
  size_t len;

  assert(string != NULL);
  assert(quotes != NULL);
  for (ep = string; *ep != '\0' && ((*ep != ';' && *ep != '#') || isstring); ep++) {
    if (*ep == '"') {
      if (ep[1] == '"')
        ep++;            /* "" is an escaped quote */
      else
        isstring = !isstring;
    } else if (*ep == '\\' && ep[1] == '"') {
      ep++;              /* so is \" */
    }
  }
  *ep = '\0';
  striptrailing(string);

  *quotes = COPY_PLAIN;
  len = strlen(string);
  if (len > 0 && string[0] == '"' && string[len - 1] == '"') {
    *quotes = COPY_REMOVE_QUOTES;
    if (len == 1) {      /* one lone quote: nothing left */
      string[0] = '\0';
    } else {
      string[len - 1] = '\0';
      string++;
    }
  }
  return string;
}

/* Equal length and equal text, ignoring the case of ASCII letters only. */
static int namematch(const char *name, size_t len, const char *wanted, size_t wantedlen)
{
  size_t i;

  if (len != wantedlen || wantedlen == 0)
    return 0;
  for (i = 0; i < len; i++) {
    unsigned char a = (unsigned char)name[i], b = (unsigned char)wanted[i];
    if (a >= 'A' && a <= 'Z')
      a = (unsigned char)(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z')
      b = (unsigned char)(b - 'A' + 'a');
    if (a != b)
      return 0;
  }
  return 1;
}

/* For a section header line, the start of its name (not terminated) and its
 * length; null for any other line. */
static char *headername(char *line, size_t *len)
{
  char *sp = skipleading(line), *ep;

  if (*sp != '[' || (ep = strchr(sp, ']')) == NULL)
    return NULL;
  *len = (size_t)(ep - sp - 1);
  return sp + 1;
}

/* For a key line, the start of its key name, the name's length without
 * trailing white space, and the separator: the first '=', else the first ':'.
 * Null for comment lines and lines without separator. */
static char *keyname(char *line, size_t *len, char **sep)
{
  char *sp = skipleading(line), *ep;

  if (*sp == ';' || *sp == '#')
    return NULL;
  ep = strchr(sp, '=');
  if (ep == NULL)
    ep = strchr(sp, ':');
  if (ep == NULL)
    return NULL;
  *len = (size_t)(skiptrailing(ep, sp) - sp);
  *sep = ep;
  return sp;
}

/* --- reading --- */

/* Whether fp stands at the start of a line.  A line longer than the buffer
 * is read in pieces; only the piece that starts it is judged (a header, a
 * key, a comment), the rest of it is text of that line, for every reader
 * and the writer alike.  A failed seek counts as a start. */
static int at_line_start(FILE *fp)
{
  long pos = ftell(fp);
  int c;

  if (pos <= 0 || fseek(fp, pos - 1, SEEK_SET) != 0)
    return 1;
  c = fgetc(fp);
  return c == '\n' || c == EOF;
}

/* Reads lines from fp up to the wanted one: a section header (header
 * non-zero) or a key line of the current section (the next header ends the
 * search).  Wanted is line number idx of that kind when idx >= 0, else the
 * one whose name matches name.  When mark is given it receives the position
 * of each line before it is read.  Returns the start of the found line's name
 * in LocalBuffer, its length in *len and, for a key, its separator in *sep;
 * null when there is none. */
static char *findline(FILE *fp, char *LocalBuffer, int header, const char *name, int idx,
                      size_t *len, char **sep, long *mark)
{
  size_t namelen = name != NULL ? strlen(name) : 0;
  int n = -1, start;
  char *sp;

  for (;;) {
    if (mark != NULL)
      *mark = ftell(fp);
    start = at_line_start(fp);
    if (fgets(LocalBuffer, INI_LINE_BUFFER, fp) == NULL)
      return NULL;
    if (!start)
      continue;
    if (header)
      sp = headername(LocalBuffer, len);
    else if (*skipleading(LocalBuffer) == '[')
      return NULL;              /* end of the section */
    else
      sp = keyname(LocalBuffer, len, sep);
    if (sp != NULL && (idx >= 0 ? ++n == idx : namematch(sp, *len, name, namelen)))
      return sp;
  }
}

/* Scans fp from its start.  By name (idxSection and idxKey -1): finds Key in
 * Section and copies its cleaned value.  idxSection >= 0 copies the name of
 * that section; idxKey >= 0 the name of that key in Section.  When mark is
 * given it receives the position of each key-search line before it is read,
 * so after a found name it holds the start of the key's line.  Returns 1 when
 * found, 0 when not (Buffer untouched). */
static int getkeystring(FILE *fp, const char *Section, const char *Key, int idxSection, int idxKey,
                        char *Buffer, int BufferSize, long *mark)
{
  char LocalBuffer[INI_LINE_BUFFER];
  char *sp, *ep = NULL;
  size_t len;
  enum quote_option quotes;

  assert(fp != NULL);
  assert(Key != NULL || idxKey >= 0 || idxSection >= 0);
  assert(Buffer != NULL && BufferSize > 0);

  if ((Section != NULL && *Section != '\0') || idxSection >= 0) {
    sp = findline(fp, LocalBuffer, 1, Section, idxSection, &len, NULL, NULL);
    if (sp == NULL)
      return 0;
    if (idxSection >= 0) {
      sp[len] = '\0';
      save_strncpy(Buffer, sp, (size_t)BufferSize, COPY_PLAIN);
      return 1;
    }
  }
  sp = findline(fp, LocalBuffer, 0, Key, idxKey, &len, &ep, mark);
  if (sp == NULL)
    return 0;
  if (idxKey >= 0) {
    sp[len] = '\0';
    save_strncpy(Buffer, sp, (size_t)BufferSize, COPY_PLAIN);
  } else {
    sp = cleanstring(skipleading(ep + 1), &quotes);
    save_strncpy(Buffer, sp, (size_t)BufferSize, quotes);
  }
  return 1;
}

int ini_gets(const char *Section, const char *Key, const char *DefValue,
             char *Buffer, int BufferSize, const char *Filename)
{
  FILE *fp;
  int found = 0;

  if (Buffer == NULL || BufferSize <= 0 || Key == NULL)
    return 0;
  if (Filename != NULL && (fp = fopen(Filename, "rb")) != NULL) {
    found = getkeystring(fp, Section, Key, -1, -1, Buffer, BufferSize, NULL);
    fclose(fp);
  }
  if (!found)
    save_strncpy(Buffer, DefValue != NULL ? DefValue : "", (size_t)BufferSize, COPY_PLAIN);
  return (int)strlen(Buffer);
}

long ini_getl(const char *Section, const char *Key, long DefValue, const char *Filename)
{
  char LocalBuffer[64];
  int len = ini_gets(Section, Key, "", LocalBuffer, sizeof LocalBuffer, Filename);

  if (len == 0)
    return DefValue;
  if (len > 1 && (LocalBuffer[1] == 'x' || LocalBuffer[1] == 'X'))
    return strtol(LocalBuffer, NULL, 16);
  return strtol(LocalBuffer, NULL, 10);
}

float ini_getf(const char *Section, const char *Key, float DefValue, const char *Filename)
{
  char LocalBuffer[64];
  int len = ini_gets(Section, Key, "", LocalBuffer, sizeof LocalBuffer, Filename);

  if (len == 0)
    return DefValue;
  return (float)strtod(LocalBuffer, NULL);
}

int ini_getbool(const char *Section, const char *Key, int DefValue, const char *Filename)
{
  char LocalBuffer[2] = "";

  ini_gets(Section, Key, "", LocalBuffer, sizeof LocalBuffer, Filename);
  switch (LocalBuffer[0]) {
  case 'Y': case 'y': case 'T': case 't': case '1':
    return 1;
  case 'N': case 'n': case 'F': case 'f': case '0':
    return 0;
  default:
    return DefValue;
  }
}

int ini_getsection(int idx, char *Buffer, int BufferSize, const char *Filename)
{
  FILE *fp;
  int found = 0;

  if (Buffer == NULL || BufferSize <= 0 || idx < 0)
    return 0;
  if (Filename != NULL && (fp = fopen(Filename, "rb")) != NULL) {
    found = getkeystring(fp, NULL, NULL, idx, -1, Buffer, BufferSize, NULL);
    fclose(fp);
  }
  if (!found)
    Buffer[0] = '\0';
  return (int)strlen(Buffer);
}

int ini_getkey(const char *Section, int idx, char *Buffer, int BufferSize, const char *Filename)
{
  FILE *fp;
  int found = 0;

  if (Buffer == NULL || BufferSize <= 0 || idx < 0)
    return 0;
  if (Filename != NULL && (fp = fopen(Filename, "rb")) != NULL) {
    found = getkeystring(fp, Section, NULL, -1, idx, Buffer, BufferSize, NULL);
    fclose(fp);
  }
  if (!found)
    Buffer[0] = '\0';
  return (int)strlen(Buffer);
}

int ini_browse(IniBrowseCallback Callback, void *UserData, const char *Filename)
{
  /* Holds, one after the other: the current section name, then the line
   * being read, which is turned into the key and the value in place. */
  char LocalBuffer[INI_LINE_BUFFER];
  char *line, *sp, *ep, *kp, *vp, *value;
  size_t seclen = 0, keylen, room;
  enum quote_option quotes;
  FILE *fp;
  int start;

  if (Callback == NULL || Filename == NULL || (fp = fopen(Filename, "rb")) == NULL)
    return 0;
  LocalBuffer[0] = '\0';
  for (;;) {
    /* A section name is at most 508 bytes (it came through this same space),
     * so at least 3 bytes are left and every read makes progress. */
    line = LocalBuffer + seclen + 1;
    room = INI_LINE_BUFFER - (seclen + 1);
    start = at_line_start(fp);
    if (fgets(line, (int)room, fp) == NULL)
      break;
    if (!start)
      continue;
    sp = skipleading(line);
    if (*sp == '\0' || *sp == ';' || *sp == '#')
      continue;
    if (*sp == '[' && (ep = strchr(sp, ']')) != NULL) {
      *ep = '\0';
      save_strncpy(LocalBuffer, sp + 1, INI_LINE_BUFFER, COPY_PLAIN);
      seclen = strlen(LocalBuffer);
      continue;
    }
    kp = keyname(line, &keylen, &ep);
    if (kp == NULL)
      continue;
    vp = cleanstring(skipleading(ep + 1), &quotes);
    kp[keylen] = '\0';
    save_strncpy(line, kp, room, COPY_PLAIN);
    value = strchr(line, '\0') + 1;
    save_strncpy(value, vp, (size_t)(LocalBuffer + INI_LINE_BUFFER - value), quotes);
    if (!Callback(LocalBuffer, line, value, UserData))
      break;
  }
  fclose(fp);
  return 1;
}

/* --- writing --- */

/* A value that the reader would change is written in quotes. */
static int check_enquote(const char *Value)
{
  size_t len;

  assert(Value != NULL);
  len = strlen(Value);
  return strpbrk(Value, "\";#") != NULL || (len > 0 && Value[len - 1] == ' ');
}

/* "[Section]\n" into LocalBuffer, and to fp when given; nothing for a null or
 * empty name. */
static void writesection(char *LocalBuffer, const char *Section, FILE *fp)
{
  if (Section == NULL || *Section == '\0')
    return;
  LocalBuffer[0] = '[';
  save_strncpy(LocalBuffer + 1, Section, INI_LINE_BUFFER - 4, COPY_PLAIN);
  strcat(LocalBuffer, "]\n");
  if (fp != NULL)
    fputs(LocalBuffer, fp);
}

/* "Key=Value\n" into LocalBuffer, and to fp when given; the line stays within
 * 510 bytes plus the terminator, so it reads back as one line. */
static void writekey(char *LocalBuffer, const char *Key, const char *Value, FILE *fp)
{
  char *p;

  save_strncpy(LocalBuffer, Key, INI_LINE_BUFFER - 3, COPY_PLAIN);
  p = strchr(LocalBuffer, '\0');
  *p++ = '=';
  save_strncpy(p, Value, (size_t)(LocalBuffer + INI_LINE_BUFFER - 2 - p),
               check_enquote(Value) ? COPY_ADD_QUOTES : COPY_PLAIN);
  strcat(p, "\n");
  if (fp != NULL)
    fputs(LocalBuffer, fp);
}

/* One copy of the INI file into the temporary file.  Lengths are counted in
 * bytes of the file (positions), not string lengths, so a line holding a NUL
 * byte is copied exactly. */
struct rewrite {
  FILE *rfp;     /* the INI file, read; null when it is being created */
  FILE *wfp;     /* the temporary file (out.fp) */
  Replace out;   /* the temporary file beside the INI file, and its locks */
  long mark;     /* where the not yet copied text begins in rfp */
  long pending;  /* bytes from mark not yet copied, below INI_LINE_BUFFER */
  int failed;    /* a seek, read or write went wrong */
  int linestart; /* the piece readline took last starts a line of the file */
};

/* Where the copy stopped, which says what the ending still has to add. */
enum stop {
  STOP_NO_SECTION,   /* end of the file (or a new file): the section is added
                        with the key */
  STOP_SECTION_END,  /* end of the file inside the section: the key is added */
  STOP_COPIED        /* the change is made and the rest of the file copied */
};

/* Reads the next line into LocalBuffer; returns the bytes it took from the
 * file, 0 at the end of the file. */
static long readline(char *LocalBuffer, struct rewrite *rw)
{
  long start = ftell(rw->rfp), end;

  /* Only a piece that starts a line may be a stop of the copy, or text
   * would be put into the middle of a line. */
  rw->linestart = at_line_start(rw->rfp);
  if (fgets(LocalBuffer, INI_LINE_BUFFER, rw->rfp) == NULL)
    return 0;
  end = ftell(rw->rfp);
  if (start < 0 || end <= start) {
    rw->failed = 1;
    return 0;
  }
  return end - start;
}

static int cache_add(long len, long *pending, long limit)
{
  if (*pending + len >= limit)
    return 0;
  *pending += len;
  return 1;
}

/* Writes the pending block, read again from mark, to the temporary file in
 * one write and leaves rfp after it.  A file that shrank meanwhile ends the
 * block early.  Returns 1 when the block is longer than one byte and ends
 * with a line feed, else 0. */
static int cache_flush(char *LocalBuffer, struct rewrite *rw)
{
  size_t n = 0;

  if (fseek(rw->rfp, rw->mark, SEEK_SET) != 0) {
    rw->failed = 1;
  } else if (rw->pending > 0) {
    n = fread(LocalBuffer, 1, (size_t)rw->pending, rw->rfp);
    if (n > 0 && fwrite(LocalBuffer, 1, n, rw->wfp) != n)
      rw->failed = 1;
  }
  rw->mark += (long)n;
  rw->pending = 0;
  return n > 1 && LocalBuffer[n - 1] == '\n';
}

/* Adds the line just read to the pending block; when the block is full,
 * writes it out first and reads the line again (rfp then stands at its start). */
static void keepline(char *LocalBuffer, long len, struct rewrite *rw)
{
  if (cache_add(len, &rw->pending, INI_LINE_BUFFER))
    return;
  cache_flush(LocalBuffer, rw);
  len = readline(LocalBuffer, rw);
  cache_add(len, &rw->pending, INI_LINE_BUFFER);
}

/* Leaves the line just read out of the copy; only while nothing is pending. */
static void dropline(struct rewrite *rw)
{
  long pos = ftell(rw->rfp);

  assert(rw->pending == 0);
  if (pos < 0)
    rw->failed = 1;
  else
    rw->mark = pos;
}

/* Copies (pending) every line before the header of Section; the header
 * itself is kept too unless the whole section is being deleted.  0 when the
 * file ends first. */
static int copy_to_section(char *LocalBuffer, struct rewrite *rw, const char *Section, const char *Key)
{
  size_t seclen = strlen(Section), len;
  long linelen;
  char *sp;

  for (;;) {
    linelen = readline(LocalBuffer, rw);
    if (linelen == 0)
      return 0;
    sp = rw->linestart ? headername(LocalBuffer, &len) : NULL;
    if (sp != NULL && namematch(sp, len, Section, seclen))
      break;
    keepline(LocalBuffer, linelen, rw);
  }
  if (Key != NULL)
    keepline(LocalBuffer, linelen, rw);
  cache_flush(LocalBuffer, rw);
  if (Key == NULL) {
    readline(LocalBuffer, rw);   /* the header again, to drop it */
    dropline(rw);
  }
  return 1;
}

/* Walks the section's lines up to the next header or, when Key is named,
 * its key line: kept, or dropped when the whole section is being deleted.
 * 0 when the file ends first; rfp then stands after the stopping line. */
static int copy_to_stop(char *LocalBuffer, struct rewrite *rw, const char *Key)
{
  size_t keylen = Key != NULL ? strlen(Key) : 0, len;
  long linelen;
  char *sp, *ep;

  for (;;) {
    linelen = readline(LocalBuffer, rw);
    if (linelen == 0)
      return 0;
    if (rw->linestart && *skipleading(LocalBuffer) == '[')
      return 1;
    if (rw->linestart && keylen > 0 && (sp = keyname(LocalBuffer, &len, &ep)) != NULL &&
        namematch(sp, len, Key, keylen))
      return 1;
    if (Key == NULL)
      dropline(rw);
    else
      keepline(LocalBuffer, linelen, rw);
  }
}

/* The copy of the INI file with the change made in it. */
static enum stop copy_with_change(char *LocalBuffer, struct rewrite *rw, const char *Section,
                                  const char *Key, const char *Value)
{
  long linelen;

  if (*Section != '\0' && !copy_to_section(LocalBuffer, rw, Section, Key))
    return STOP_NO_SECTION;
  if (!copy_to_stop(LocalBuffer, rw, Key))
    return STOP_SECTION_END;

  /* At the stop: the new key line goes before it; a header stays, the old
   * key line goes.  Then the rest of the file as it is. */
  cache_flush(LocalBuffer, rw);
  if (Key != NULL && Value != NULL)
    writekey(LocalBuffer, Key, Value, rw->wfp);
  linelen = readline(LocalBuffer, rw);
  if (linelen > 0) {
    if (*skipleading(LocalBuffer) == '[')
      keepline(LocalBuffer, linelen, rw);
    else
      dropline(rw);
    /* The rest of an old key line longer than the buffer goes with it. */
    if (*skipleading(LocalBuffer) != '[')
      while (!rw->failed && LocalBuffer[linelen - 1] != '\n' &&
             (linelen = readline(LocalBuffer, rw)) > 0 && !rw->linestart)
        dropline(rw);
    if (linelen > 0 && rw->linestart)
      keepline(LocalBuffer, linelen, rw);
  }
  while ((linelen = readline(LocalBuffer, rw)) > 0)
    keepline(LocalBuffer, linelen, rw);
  return STOP_COPIED;
}

/* The one ending of every rewrite: writes what the stop calls for, and puts
 * the temporary file in the INI file's place only when the copy is complete
 * (replace.h: written, synced, one rename, the folder synced); otherwise the
 * temporary file is removed and the INI file stays as it was. */
static int finish(char *LocalBuffer, struct rewrite *rw, enum stop where,
                  const char *Section, const char *Key, const char *Value)
{
  /* A new file needs no line feed before its first line. */
  int endslf = rw->rfp == NULL || cache_flush(LocalBuffer, rw);
  int ok;

  if (Key != NULL && Value != NULL && where != STOP_COPIED) {
    if (!endslf)
      fputc('\n', rw->wfp);
    if (where == STOP_NO_SECTION)
      writesection(LocalBuffer, Section, rw->wfp);
    writekey(LocalBuffer, Key, Value, rw->wfp);
  }
  ok = !rw->failed && (rw->rfp == NULL || !ferror(rw->rfp));
  if (rw->rfp != NULL)
    fclose(rw->rfp);
  if (ok)
    ok = replace_commit(&rw->out) == REPLACE_OK;
  replace_free(&rw->out);
  return ok;
}

/* Writes line over the bytes at pos; the caller has checked that it has the
 * old line's exact length, so the file does not grow.  One small write that
 * no sync makes more atomic: it is not synced, since a failed sync would
 * only report an update that has in fact happened. */
static int overwrite_line(const char *Filename, long pos, const char *line)
{
  FILE *fp = fopen(Filename, "r+b");
  int ok;

  if (fp == NULL)
    return 0;
  ok = fseek(fp, pos, SEEK_SET) == 0 && fputs(line, fp) >= 0 && fflush(fp) == 0 && !ferror(fp);
  if (fclose(fp) != 0)
    ok = 0;
  return ok;
}

/* The cheap cases, when Key and Value are both given: the value is already
 * there (nothing written), or the new line has the old one's exact length
 * (written in place).  Returns the result when the call is done (rfp then
 * closed), -1 when the file must be rewritten (rfp back at its start). */
static int change_in_place(char *LocalBuffer, FILE *rfp, const char *Section, const char *Key,
                           const char *Value, const char *Filename)
{
  long keypos, linelen;

  if (getkeystring(rfp, Section, Key, -1, -1, LocalBuffer, INI_LINE_BUFFER, &keypos)) {
    linelen = ftell(rfp) - keypos;
    if (strcmp(LocalBuffer, Value) == 0) {
      fclose(rfp);
      return 1;
    }
    writekey(LocalBuffer, Key, Value, NULL);
    if (keypos >= 0 && (long)strlen(LocalBuffer) == linelen) {
      fclose(rfp);
      return overwrite_line(Filename, keypos, LocalBuffer);
    }
  }
  if (ferror(rfp) || fseek(rfp, 0, SEEK_SET) != 0) {
    fclose(rfp);
    return 0;
  }
  return -1;
}

int ini_puts(const char *Section, const char *Key, const char *Value, const char *Filename)
{
  char LocalBuffer[INI_LINE_BUFFER];
  struct rewrite rw = {0};
  struct stat st;
  enum stop where = STOP_NO_SECTION;
  int result;

  assert(Filename != NULL);
  if (Section == NULL)
    Section = "";
  if (Key == NULL && *Section == '\0')
    return 1;                   /* nothing named to delete */

  rw.rfp = fopen(Filename, "rb");
  if (rw.rfp == NULL) {
    /* Only a missing file is created, never one that could not be read. */
    if (errno != ENOENT)
      return 0;
    if (Key == NULL || Value == NULL)
      return 1;                 /* nothing to delete in a missing file */
  } else if (Key != NULL && Value != NULL &&
             (result = change_in_place(LocalBuffer, rw.rfp, Section, Key, Value, Filename)) >= 0) {
    return result;
  } else if (fstat(fileno(rw.rfp), &st) != 0) {
    fclose(rw.rfp);
    return 0;
  }

  /* The file must still be the one read, and no other writer at work. */
  /* The settings file lives in the program's own folder: a temporary file
   * nobody holds there is a killed run's leftover. */
  if (replace_open(&rw.out, Filename, "~", rw.rfp != NULL ? &st : NULL, NULL,
                   REPLACE_LEFTOVERS) != REPLACE_OK) {
    if (rw.rfp != NULL)
      fclose(rw.rfp);
    replace_free(&rw.out);
    return 0;
  }
  rw.wfp = rw.out.fp;
  if (rw.rfp != NULL)
    where = copy_with_change(LocalBuffer, &rw, Section, Key, Value);
  return finish(LocalBuffer, &rw, where, Section, Key, Value);
}

/* Decimal text of value, digits taken from each remainder's magnitude so that
 * the most negative long converts too. */
static void reverse_text(char *text)
{
  char *end = strchr(text, '\0') - 1;

  while (text < end) {
    char c = *text;
    *text++ = *end;
    *end-- = c;
  }
}

static void long_to_text(long value, char *buf)
{
  int negative = value < 0;
  size_t i = 0;

  do {
    long digit = value % 10;
    buf[i++] = (char)('0' + (digit < 0 ? -digit : digit));
    value /= 10;
  } while (value != 0);
  if (negative)
    buf[i++] = '-';
  buf[i] = '\0';
  reverse_text(buf);
}

int ini_putl(const char *Section, const char *Key, long Value, const char *Filename)
{
  char LocalBuffer[32];

  long_to_text(Value, LocalBuffer);
  return ini_puts(Section, Key, LocalBuffer, Filename);
}

int ini_putf(const char *Section, const char *Key, float Value, const char *Filename)
{
  char LocalBuffer[64];   /* the longest float in "%f" form has 47 characters */

  snprintf(LocalBuffer, sizeof LocalBuffer, "%f", (double)Value);
  return ini_puts(Section, Key, LocalBuffer, Filename);
}
