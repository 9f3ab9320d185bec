/*
 * cli.c - what the two command-line converters share (see cli.h).
 */
#define _GNU_SOURCE /* open_memstream */

#include "cli.h"
#include "batch.h"

#include <assert.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

/* --- command line --- */

/* The value of -j: a whole number from 1 up. */
static int read_jobs(const char *text, int *jobs)
{
    char *end;
    long n;

    if (text == NULL || *text < '0' || *text > '9')
        return 0;
    errno = 0;
    n = strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || n < 1 || n > 1024)
        return 0;
    *jobs = (int)n;
    return 1;
}

int read_options(int argc, char *argv[], int program, void (*usage)(void), const char *version,
                 Options *o)
{
    int i, options = 1, batchonly = 0;

    memset(o, 0, sizeof *o);
    if (argc < 2) {
        usage();
        return STATUS_FAILURE;
    }
    for (i = 1; i < argc && strcmp(argv[i], "--") != 0; i++) {
        if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
            usage();
            return STATUS_OK;
        }
        if (strcmp(argv[i], "--version") == 0) {
            puts(version);
            return STATUS_OK;
        }
    }
    o->args = calloc((size_t)argc, sizeof *o->args);
    if (o->args == NULL) {
        puts("Insufficient memory.");
        return STATUS_FAILURE;
    }
    for (i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (!options || a[0] != '-' || a[1] == '\0') {
            o->args[o->nargs++] = argv[i];
        } else if (strcmp(a, "--") == 0) {
            options = 0;
        } else if (strcmp(a, "-r") == 0 || strcmp(a, "--recursive") == 0) {
            o->recursive = 1;
        } else if (strcmp(a, "-n") == 0 || strcmp(a, "--dry-run") == 0) {
            o->dryrun = batchonly = 1;
        } else if (strcmp(a, "-q") == 0 || strcmp(a, "--quiet") == 0) {
            o->quiet = batchonly = 1;
        } else if (strcmp(a, "-j") == 0 || strcmp(a, "--jobs") == 0) {
            if (!read_jobs(i + 1 < argc ? argv[++i] : NULL, &o->jobs))
                break;
            batchonly = 1;
        } else if (strncmp(a, "--jobs=", 7) == 0 || (strncmp(a, "-j", 2) == 0 && a[2] != '\0')) {
            if (!read_jobs(a + (a[1] == '-' ? 7 : 2), &o->jobs))
                break;
            batchonly = 1;
        } else if (program == FOR_EXPORT && strcmp(a, "--force") == 0) {
            o->force = batchonly = 1;
        } else if (program == FOR_IMPORT && strcmp(a, "--uslt") == 0) {
            o->uslt = 1;
        } else if (program == FOR_IMPORT && strcmp(a, "--lines") == 0) {
            o->lines = 1;
        } else {
            break;  /* an option this program does not know */
        }
    }
    if (i < argc || o->nargs == 0 || (batchonly && !o->recursive)) {
        free(o->args);
        o->args = NULL;
        usage();
        return STATUS_FAILURE;
    }
    return -1;
}

/* --- messages --- */

#define NOT_CHANGED " The track was not changed."
#define COPY_REFUSED "The ID3 tag of \"%N\" cannot be copied safely." NOT_CHANGED

/* One row per track result: lyrasil-import's message, then lyrasil-export's
 * where it differs. */
static const char *const track_messages[CLI_NOMEM + 1][2] = {
    [TRACK_OPEN] = {"Error opening file \"%N\": %E."},
    [TRACK_NOTREG] = {"Error opening file \"%N\": not a regular file."},
    [TRACK_VERSION] = {COPY_REFUSED},
    [TRACK_NOTMP3] = {"\"%N\" is not an MP3 track." NOT_CHANGED},
    [TRACK_NOTAG] = {"File \"%N\" has no ID3 tag."},
    [TRACK_NOSYLT] = {"No SYLT frame, or insufficient memory."},
    [TRACK_COMPRESSED] = {"The SYLT frame is compressed, which is not supported."},
    [TRACK_BADSYLT] = {"Invalid SYLT frame, or insufficient memory for conversion."},
    [TRACK_READ] = {"Error reading file \"%N\": %E." NOT_CHANGED, "Error reading file \"%N\": %E."},
    [TRACK_NOMEM] = {"Insufficient memory."},
    [TRACK_TAG] = {COPY_REFUSED},
    [TRACK_TOOBIG] = {"The lyrics would make the ID3 tag of \"%N\" larger than a tag can be." NOT_CHANGED},
    [TRACK_WRITE] = {"Error writing temporary file \"%T\": %E." NOT_CHANGED,
                     "Error writing output file \"%N\": %E."},
    [TRACK_SAMEFILE] = {"Not importing \"%N\": it is the MP3 track itself." NOT_CHANGED,
                        "Not writing \"%N\": it is the MP3 track itself." NOT_CHANGED},
    [CLI_LRCREAD] = {"Error reading file \"%N\": %E."},
    [CLI_LRCINVALID] = {"Invalid LRC file, or insufficient memory."},
    [CLI_CONVERT] = {"Invalid LRC file, or insufficient memory for conversion."},
    [CLI_NOMEM] = {"Insufficient memory."},
};

/* The same for the results of replacing a file (replace.h). */
static const char *const replace_messages[REPLACE_LINK + 1][2] = {
    [REPLACE_NOMEM] = {"Insufficient memory."},
    [REPLACE_RESOLVE] = {"Error opening file \"%N\": %E.",
                         "Error creating output file \"%N\": %E."},
    [REPLACE_CLASH] = {"Error creating temporary file \"%T\": that name is the track itself." NOT_CHANGED,
                       "Not writing \"%N\": its temporary file \"%T\" is the MP3 track "
                       "or the output file itself."},
    [REPLACE_CREATE] = {"Error creating temporary file \"%T\": %E.",
                        "Error creating output file \"%N\": %E."},
    [REPLACE_WRITE] = {"Error writing temporary file \"%T\": %E." NOT_CHANGED,
                       "Error writing output file \"%N\": %E."},
    [REPLACE_RENAME] = {"Error replacing \"%N\" with \"%T\": %E." NOT_CHANGED,
                        "Error replacing output file \"%N\": %E."},
    [REPLACE_BUSY] = {"\"%N\" is being changed by another program. The %W was not changed."},
    [REPLACE_READONLY] = {"\"%N\" is read-only. The %W was not changed."},
    [REPLACE_NOTREG] = {"Error opening file \"%N\": not a regular file.",
                        "Error creating output file \"%N\": not a regular file."},
    [REPLACE_CHANGED] = {"\"%N\" was changed by another program while this one was rewriting it; "
                         "the other program's version was kept."},
    [REPLACE_INWAY] = {"\"%T\" is in the way: this run did not make it (it may be left from an "
                       "interrupted run). Remove or rename it and try again. The %W was not changed."},
    [REPLACE_TEMPBUSY] = {"\"%N\" cannot be changed now: its temporary file \"%T\" is in use by "
                          "another program. The %W was not changed."},
    [REPLACE_LINK] = {"\"%L\" is a link in a folder that others may write; it is not followed. "
                      "The file was not changed."},
};

/* Each message names its pieces: %N the file as the user named it, %T the
 * temporary file, %L a link that was not followed, %E the reason (strerror
 * of the failed call's errno), %W what the file being replaced is ("track",
 * "LRC file"). */
char *track_message(int program, int result, const char *name, const Track *t)
{
    const char *piece[128] = {0};
    const char *const *row;
    const char *p;
    char *text = NULL;
    size_t size;
    FILE *out;

    assert(program == FOR_IMPORT || program == FOR_EXPORT);
    assert(result > TRACK_OK && result <= CLI_NOMEM);
    if (result == TRACK_REPLACE) {
        assert(t->replaced > REPLACE_OK && t->replaced <= REPLACE_LINK);
        row = replace_messages[t->replaced];
    } else {
        row = track_messages[result];
    }
    p = row[program] != NULL ? row[program] : row[FOR_IMPORT];
    piece['N'] = name;
    piece['T'] = t->out.tmpname != NULL ? t->out.tmpname : name;
    piece['L'] = t->out.target != NULL ? t->out.target : name;
    piece['E'] = strerror(t->err != 0 ? t->err : EIO);
    piece['W'] = program == FOR_IMPORT ? "track" : "LRC file";
    if ((out = open_memstream(&text, &size)) == NULL)
        return NULL;
    for (; *p != '\0'; p++) {
        if (p[0] == '%' && (unsigned char)p[1] < 128 && piece[(unsigned char)p[1]] != NULL)
            fputs(piece[(unsigned char)*++p], out);
        else
            fputc(*p, out);
    }
    if (fclose(out) != 0) {
        free(text);
        return NULL;
    }
    return text;
}

/* --- one track --- */

/* Ends the work on a track with its message. */
static int failed(int program, int result, const char *name, ToolRun *run, char **message)
{
    *message = track_message(program, result, name, &run->track);
    return OUT_FAILED;
}

/* Whether the track holds what run->track.tag would give it already: its
 * SYLT frame the same items, and with a new USLT payload, that USLT frame
 * byte for byte. */
static int holds_already(ToolRun *run)
{
    Id3Tag old;
    int same = id3_init(run->track.fp, &old) && id3_readsylt(&old) &&
               lrc_sameitems(&old, &run->track.tag) &&
               (run->track.tag.uslt == NULL || id3_holdsuslt(&run->track.tag));

    id3_close(&old);
    return same;
}

int import_one(ToolRun *run, const Job *job, const Options *o, char **message)
{
    Id3Tag *tag = &run->track.tag;
    struct stat lrcst;
    int r;

    *message = NULL;
    if (job->lrc == NULL)
        return OUT_SKIPPED;
    if ((r = track_open(&run->track, job->track, 1)) != TRACK_OK)
        return failed(FOR_IMPORT, r, job->track, run, message);
    run->track.replaceflags = job->batch ? REPLACE_NOSYNCDIR : 0;
    if (job->verbose && !run->track.hastag)
        /* "nas": the message as users and scripts know it. */
        printf("File \"%s\" nas no ID3 tag. A new ID3 tag will be created.\n", job->track);
    /* A regular file only: a FIFO would make the run wait, a device would
     * never end. */
    if ((r = replace_read_open(job->lrc, &run->lrc, &lrcst, &run->track.out.target)) != REPLACE_OK) {
        run->track.replaced = r;
        run->track.err = errno;
        return failed(FOR_IMPORT, TRACK_REPLACE, job->lrc, run, message);
    }
    /* Importing a file into itself would bury the lyrics under a new tag. */
    if (replace_same_file(&lrcst, &run->track.st))
        return failed(FOR_IMPORT, TRACK_SAMEFILE, job->lrc, run, message);
    if (job->announce)
        printf("Importing file \"%s\".\n", job->lrc);

    errno = 0;
    if (!lrc_read(run->lrc, tag, 0) && tag->reason == ID3_EREAD) {
        run->track.err = errno;
        return failed(FOR_IMPORT, CLI_LRCREAD, job->lrc, run, message);
    }
    /* Lyrics that no tag could hold are refused before the track is
     * touched; a file without a time-stamped line leaves no text. */
    if (tag->reason == ID3_ETOOBIG)
        return failed(FOR_IMPORT, TRACK_TOOBIG, job->track, run, message);
    if (tag->reason != ID3_OK || tag->lrc == NULL)
        return failed(FOR_IMPORT, CLI_LRCINVALID, job->lrc, run, message);
    if (o->lines)
        lrc_dropwords(tag);
    if (job->verbose && tag->skipped > 0)
        printf(tag->skipped == 1 ? "%ld line without a readable time-stamp was skipped.\n"
                                 : "%ld lines without a readable time-stamp were skipped.\n",
               (long)tag->skipped);
    if (!lrc_tosylt(tag))
        return failed(FOR_IMPORT, tag->reason == ID3_ETOOBIG ? TRACK_TOOBIG : CLI_CONVERT,
                      tag->reason == ID3_ETOOBIG ? job->track : job->lrc, run, message);
    if (o->uslt && (r = track_adduslt(&run->track)) != TRACK_OK)
        return failed(FOR_IMPORT, r == TRACK_TOOBIG ? r : CLI_CONVERT,
                      r == TRACK_TOOBIG ? job->track : job->lrc, run, message);

    if (job->batch && holds_already(run))
        return OUT_UNCHANGED;
    if (o->dryrun)
        return OUT_DONE;
    /* The track must still be the file read above, and no other run may be
     * changing it or using its temporary name. */
    if ((r = (job->batch ? track_write : track_rewrite)(&run->track, NULL)) != TRACK_OK)
        return failed(FOR_IMPORT, r, job->track, run, message);
    return job->batch ? OUT_WRITTEN : OUT_DONE;
}

int commit_one(ToolRun *run, const Job *job, char **message)
{
    int r = track_commit(&run->track);

    *message = NULL;
    return r == TRACK_OK ? OUT_DONE : failed(FOR_IMPORT, r, job->track, run, message);
}

/* The bytes of the LRC file that lrc_write makes of tag, malloc'd. */
static char *lrc_bytes(Id3Tag *tag, size_t *size)
{
    char *text = NULL;
    FILE *out = open_memstream(&text, size);
    int ok;

    if (out == NULL)
        return NULL;
    ok = lrc_write(out, tag);
    if (fclose(out) != 0 || !ok) {
        free(text);
        return NULL;
    }
    return text;
}

/* What an LRC file that is there already means for an export in a batch:
 * OUT_UNCHANGED when it holds exactly what would be written, OUT_KEPT when
 * it holds something else, OUT_DONE when there is none (or it cannot be
 * read: the write then says why). */
static int existing_lrc(ToolRun *run, const char *name)
{
    struct stat st;
    FILE *fp;
    size_t size, n;
    char *want, *have;
    int result = OUT_KEPT;

    if (replace_read_open(name, &fp, &st, NULL) != REPLACE_OK)
        return OUT_DONE;
    want = lrc_bytes(&run->track.tag, &size);
    have = want != NULL && (off_t)size == st.st_size ? malloc(size + 1) : NULL;
    if (have != NULL) {
        n = fread(have, 1, size + 1, fp);
        if (n == size && memcmp(have, want, size) == 0)
            result = OUT_UNCHANGED;
    }
    free(have);
    free(want);
    fclose(fp);
    return result;
}

int export_one(ToolRun *run, const Job *job, const Options *o, char **message)
{
    int r;

    *message = NULL;
    if ((r = track_open(&run->track, job->track, 0)) != TRACK_OK)
        return failed(FOR_EXPORT, r, job->track, run, message);
    run->track.replaceflags = job->batch ? REPLACE_NOSYNCDIR : 0;
    r = track_readsylt(&run->track, 1);
    if (job->batch && (r == TRACK_NOTAG || r == TRACK_NOSYLT))
        return OUT_SKIPPED;
    if (r != TRACK_OK)
        return failed(FOR_EXPORT, r, job->track, run, message);
    if (job->batch) {
        int existing = existing_lrc(run, job->lrc);
        if (existing == OUT_UNCHANGED || (existing == OUT_KEPT && !o->force))
            return existing;
    }
    if (o->dryrun)
        return OUT_DONE;
    if ((r = track_writelrc(&run->track, job->lrc)) != TRACK_OK)
        return failed(FOR_EXPORT, r, job->lrc, run, message);
    return OUT_DONE;
}

/* --- main --- */

int tool_main(int program, int argc, char *argv[], void (*usage)(void), const char *version)
{
    Options o;
    ToolRun run = {0};
    Job job = {0};
    char *message;
    int status;

    if ((status = read_options(argc, argv, program, usage, version, &o)) >= 0)
        return status;
    if (o.recursive) {
        status = batch_run(program, &o);
        free(o.args);
        return status;
    }
    run.mp3name = set_extension(o.args[0], ".mp3", 0);
    run.lrcname = run.mp3name == NULL ? NULL : set_extension(o.nargs == 2 ? o.args[1] : run.mp3name, ".lrc", 1);
    free(o.args);
    if (run.lrcname == NULL) {
        puts("Insufficient memory.");
        return run_close(&run, STATUS_FAILURE);
    }
    job.track = run.mp3name;
    job.lrc = run.lrcname;
    job.announce = program == FOR_IMPORT && o.nargs < 2;
    job.verbose = 1;
    if ((program == FOR_IMPORT ? import_one(&run, &job, &o, &message)
                               : export_one(&run, &job, &o, &message)) == OUT_FAILED) {
        puts(message != NULL ? message : "Insufficient memory.");
        free(message);
        return run_close(&run, STATUS_FAILURE);
    }
    if (program == FOR_IMPORT)
        puts("Done");
    else
        printf("Created output file \"%s\".\n", run.lrcname);
    return run_close(&run, STATUS_OK);
}

/* --- the end of a run --- */

int run_close(ToolRun *run, int status)
{
    track_close(&run->track);
    if (run->lrc != NULL)
        fclose(run->lrc);
    free(run->lrcname);
    free(run->mp3name);
    memset(run, 0, sizeof *run);
    return status;
}
